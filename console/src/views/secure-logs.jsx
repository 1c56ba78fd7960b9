// A secure log's entries, read through the service's "getsecurelog" action:
// every entry, or only the unread ones, and "mark read".
import React, { useState } from "react";
import {
  Alert as Notice, Button, Card, CardBody, CodeBlock, CodeBlockCode, Flex, FlexItem, Switch, TextInput,
} from "@patternfly/react-core";

import * as service from "../service.js";
import { Unavailable } from "./unavailable.jsx";

const LOG_KEY = "hearth:secure-log";

export function SecureLogs() {
  const [name, setName] = useState(() => localStorage.getItem(LOG_KEY) || "");
  const [onlyUnread, setOnlyUnread] = useState(false);
  const [entries, setEntries] = useState(null);
  const [error, setError] = useState(null);
  const [busy, setBusy] = useState(false);

  const read = async (markRead) => {
    setBusy(true);
    setError(null);
    try { localStorage.setItem(LOG_KEY, name); } catch { /* not kept */ }
    try {
      setEntries(await service.secureLogEntries(name, { onlyUnread: onlyUnread || markRead, markRead }));
    } catch (e) {
      setEntries(null);
      setError(e);
    } finally {
      setBusy(false);
    }
  };

  return (
    <Card>
      <CardBody>
        <Flex alignItems={{ default: "alignItemsCenter" }} className="pf-v6-u-mb-md">
          <FlexItem>
            <TextInput id="securelog-name" aria-label="Log name" placeholder="Log name" value={name}
                       onChange={(_e, v) => setName(v)} />
          </FlexItem>
          <FlexItem>
            <Switch id="securelog-only-unread" label="Only unread" isChecked={onlyUnread}
                    onChange={(_e, v) => setOnlyUnread(v)} />
          </FlexItem>
          <FlexItem>
            <Button id="securelog-show" variant="secondary" isDisabled={!name.trim() || busy}
                    onClick={() => read(false)}>Show entries</Button>
          </FlexItem>
          <FlexItem>
            <Button id="securelog-mark-read" variant="primary" isDisabled={!name.trim() || busy}
                    onClick={() => read(true)}>Mark read</Button>
          </FlexItem>
        </Flex>
        {error && (service.isUnavailable(error)
          ? <Unavailable what="Secure logs" error={error} />
          : <Notice variant="danger" isInline title="The log could not be read">{service.reasonOf(error)}</Notice>)}
        {entries !== null && (entries
          ? <CodeBlock id="securelog-entries"><CodeBlockCode>{entries}</CodeBlockCode></CodeBlock>
          : <p id="securelog-entries">No entries.</p>)}
      </CardBody>
    </Card>
  );
}
