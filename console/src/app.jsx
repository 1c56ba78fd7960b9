// The page's frame: the service's state, the tabs, and the view in the URL.
/* global cockpit */
import React, { useEffect, useState } from "react";
import {
  Label, Page, PageSection, Tab, TabTitleText, Tabs, Title, Flex, FlexItem,
} from "@patternfly/react-core";

import { onOwner } from "./service.js";
import { Overview } from "./views/overview.jsx";
import { Alerts } from "./views/alerts.jsx";
import { SecureLogs } from "./views/secure-logs.jsx";
import { Settings } from "./views/settings.jsx";
import { Backups } from "./views/backups.jsx";

const VIEWS = [
  { key: "overview", title: "Overview", View: Overview },
  { key: "alerts", title: "Alerts", View: Alerts },
  { key: "securelogs", title: "Secure logs", View: SecureLogs },
  { key: "settings", title: "Settings", View: Settings },
  { key: "backups", title: "Backups", View: Backups },
];

function viewOfLocation() {
  const key = cockpit.location.path[0];
  return VIEWS.some(v => v.key === key) ? key : "overview";
}

// "running" while a hearthd holds the name, "not running" when none does,
// "connecting" until the bridge has told.
export function useServiceState() {
  const [state, setState] = useState("connecting");
  useEffect(() => onOwner(owner => setState(owner ? "running" : "not running")), []);
  return state;
}

const STATE_COLOR = { running: "green", "not running": "red", connecting: "grey" };

export function App() {
  const [active, setActive] = useState(viewOfLocation);
  const state = useServiceState();

  useEffect(() => {
    const follow = () => setActive(viewOfLocation());
    cockpit.addEventListener("locationchanged", follow);
    return () => cockpit.removeEventListener("locationchanged", follow);
  }, []);

  return (
    <Page className="hearth-page">
      <PageSection hasBodyWrapper={false}>
        <Flex alignItems={{ default: "alignItemsCenter" }}>
          <FlexItem><Title headingLevel="h1">Veltris</Title></FlexItem>
          <FlexItem>
            <Label id="service-state" color={STATE_COLOR[state]}>Service {state}</Label>
          </FlexItem>
        </Flex>
      </PageSection>
      <PageSection hasBodyWrapper={false} padding={{ default: "noPadding" }}>
        <Tabs activeKey={active} onSelect={(_e, key) => cockpit.location.go([key])} inset={{ default: "insetMd" }}
              aria-label="Views">
          {VIEWS.map(({ key, title }) => (
            <Tab key={key} eventKey={key} id={`tab-${key}`} title={<TabTitleText>{title}</TabTitleText>} />
          ))}
        </Tabs>
      </PageSection>
      {VIEWS.filter(v => v.key === active).map(({ key, View }) => (
        <PageSection key={key} id={`view-${key}`} isFilled>
          <View serviceState={state} />
        </PageSection>
      ))}
    </Page>
  );
}
