// The service at a glance: its state and version, where its files are, the
// ranked feature plug-ins (where each resolves and its status), and the
// secure logs with their counts and whether each verifies.
import React from "react";
import {
  Card, CardBody, CardTitle, DescriptionList, DescriptionListDescription, DescriptionListGroup,
  DescriptionListTerm, Gallery, Label, Spinner,
} from "@patternfly/react-core";

import { Table, Tbody, Td, Th, Thead, Tr } from "@patternfly/react-table";

import * as service from "../service.js";
import { LogTable } from "./secure-logs.jsx";
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

const STATUS_COLOR = { OK: "green", "NOT ok": "red" };

function Plugins({ serviceState }) {
  const { loading, value: plugins, error } = useCall(service.featurePlugins, [serviceState]);
  return (
    <Card>
      <CardTitle>Feature plug-ins</CardTitle>
      <CardBody>
        {loading && <Spinner size="lg" />}
        {error && <Unavailable what="Feature plug-ins" error={error} />}
        {plugins && plugins.length === 0 && <p id="overview-no-plugins">No feature plug-ins are listed.</p>}
        {plugins && plugins.length > 0 && (
          <Table id="overview-plugins" aria-label="Feature plug-ins" variant="compact">
            <Thead><Tr><Th>Rank</Th><Th>ProgID</Th><Th>Resolves to</Th><Th>Status</Th></Tr></Thead>
            <Tbody>
              {plugins.map(p => (
                <Tr key={`${p.rank} ${p.progid}`}>
                  <Td dataLabel="Rank">{p.rank}</Td>
                  <Td dataLabel="ProgID">{p.progid}</Td>
                  <Td dataLabel="Resolves to" modifier="breakWord">{p.resolves}</Td>
                  <Td dataLabel="Status"><Label color={STATUS_COLOR[p.status] ?? "grey"} isCompact>{p.status}</Label></Td>
                </Tr>
              ))}
            </Tbody>
          </Table>
        )}
      </CardBody>
    </Card>
  );
}

function SecureLogSummary({ serviceState }) {
  const { loading, value: logs, error } = useCall(service.secureLogs, [serviceState]);
  return (
    <Card>
      <CardTitle>Secure logs</CardTitle>
      <CardBody>
        {loading && <Spinner size="lg" />}
        {error && <Unavailable what="Secure logs" error={error} />}
        {logs && logs.length === 0 && <p id="overview-no-securelogs">There are no secure logs yet.</p>}
        {logs && logs.length > 0 && <LogTable id="overview-securelogs" logs={logs} />}
      </CardBody>
    </Card>
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
      <Plugins serviceState={serviceState} />
      <SecureLogSummary serviceState={serviceState} />
    </Gallery>
  );
}
