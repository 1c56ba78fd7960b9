// The service at a glance: its state and version, where its files are, and
// how many alerts each store holds.
import React from "react";
import {
  Card, CardBody, CardTitle, DescriptionList, DescriptionListDescription, DescriptionListGroup,
  DescriptionListTerm, Gallery, Spinner,
} from "@patternfly/react-core";

import * as service from "../service.js";
import { Unavailable } from "./unavailable.jsx";
import { useCall } from "./use-call.js";

async function readOverview() {
  const [version, sid, appPath, profilePath, logPath] = await Promise.all([
    service.version(),
    service.currentUserSid(),
    service.getValue(service.PATH.system, "sys.AppPath"),
    service.getValue(service.PATH.system, "sys.ProfilePath"),
    service.getValue(service.PATH.system, "sys.LogPath"),
  ]);
  return {
    version,
    sid,
    appPath: service.valueText(appPath),
    profilePath: service.valueText(profilePath),
    logPath: service.valueText(logPath),
  };
}

function Row({ term, children, id }) {
  return (
    <DescriptionListGroup>
      <DescriptionListTerm>{term}</DescriptionListTerm>
      <DescriptionListDescription id={id}>{children}</DescriptionListDescription>
    </DescriptionListGroup>
  );
}

export function Overview({ serviceState }) {
  const { loading, value, error } = useCall(readOverview, [serviceState]);
  return (
    <Gallery hasGutter minWidths={{ default: "100%", lg: "480px" }}>
      <Card>
        <CardTitle>Service</CardTitle>
        <CardBody>
          {loading && <Spinner size="lg" />}
          {error && <Unavailable what="The service" error={error} />}
          {value && (
            <DescriptionList isHorizontal>
              <Row term="State" id="overview-state">{serviceState}</Row>
              <Row term="Version" id="overview-version">{value.version}</Row>
              <Row term="Current user" id="overview-user">{value.sid || "none"}</Row>
              <Row term="Programs" id="overview-app-path">{value.appPath}</Row>
              <Row term="Profiles" id="overview-profile-path">{value.profilePath}</Row>
              <Row term="Logs" id="overview-log-path">{value.logPath}</Row>
            </DescriptionList>
          )}
        </CardBody>
      </Card>
    </Gallery>
  );
}
