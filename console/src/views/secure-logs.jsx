// A secure log's entries, read through the service's "getsecurelog" action,
// the unread ones marked, and "mark read".
import React, { useState } from "react";
import {
  Alert as Notice, Button, Card, CardBody, Flex, FlexItem, Label, TextInput,
} from "@patternfly/react-core";
import { Table, Tbody, Td, Th, Thead, Tr } from "@patternfly/react-table";

import * as service from "../service.js";
import { Unavailable } from "./unavailable.jsx";

const LOG_KEY = "hearth:secure-log";

// The log answers its entries one a line (CR LF between them).
function lines(text) {
  return text.split(/\r?\n/).filter(line => line.trim() !== "");
}

// An entry as the service writes it:
// <entry alertid='..' when='..' userid='..' referer='..' >address</entry>
// Anything else is shown as it stands.
export function parseEntry(line) {
  const match = /^<entry alertid='([^']*)' when='([^']*)' userid='([^']*)' referer='([^']*)' >(.*)<\/entry>$/.exec(line);
  if (!match) return { raw: line };
  const [, alertId, when, user, referer, address] = match;
  const serial = Number(when);
  return { alertId, when: Number.isFinite(serial) && when !== "" ? service.dateText(serial) : when, user, referer, address };
}

async function readLog(name) {
  // Every entry, then the unread ones: the unread are the last entries.
  const all = lines(await service.secureLogEntries(name, { onlyUnread: false, markRead: false }));
  const unread = lines(await service.secureLogEntries(name, { onlyUnread: true, markRead: false }));
  return all.map((line, i) => ({ ...parseEntry(line), unread: i >= all.length - unread.length }));
}

export function SecureLogs() {
  const [name, setName] = useState(() => localStorage.getItem(LOG_KEY) || "");
  const [entries, setEntries] = useState(null);
  const [error, setError] = useState(null);
  const [busy, setBusy] = useState(false);

  const run = async (work) => {
    setBusy(true);
    setError(null);
    try { localStorage.setItem(LOG_KEY, name); } catch { /* not kept */ }
    try {
      await work();
      setEntries(await readLog(name.trim()));
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
                       onChange={(_e, v) => setName(v)}
                       onKeyDown={e => { if (e.key === "Enter" && name.trim()) run(async () => {}); }} />
          </FlexItem>
          <FlexItem>
            <Button id="securelog-show" variant="secondary" isDisabled={!name.trim() || busy}
                    onClick={() => run(async () => {})}>Show entries</Button>
          </FlexItem>
          <FlexItem>
            <Button id="securelog-mark-read" variant="primary"
                    isDisabled={!name.trim() || busy || !entries?.some(e => e.unread)}
                    onClick={() => run(() => service.secureLogEntries(name.trim(),
                      { onlyUnread: true, markRead: true }))}>Mark read</Button>
          </FlexItem>
        </Flex>
        {error && (service.isUnavailable(error)
          ? <Unavailable what="Secure logs" error={error} />
          : <Notice variant="danger" isInline title="The log could not be read">{service.reasonOf(error)}</Notice>)}
        {entries && entries.length === 0 && <p id="securelog-empty">This log holds no entries.</p>}
        {entries && entries.length > 0 && (
          <Table id="securelog-entries" aria-label="Entries" variant="compact">
            <Thead>
              <Tr><Th>When</Th><Th>Alert ID</Th><Th>User</Th><Th>Address</Th><Th>Referrer</Th><Th /></Tr>
            </Thead>
            <Tbody>
              {entries.map((e, i) => (
                <Tr key={i} className={e.unread ? "hearth-unread" : undefined}>
                  {e.raw !== undefined
                    ? <Td colSpan={5}>{e.raw}</Td>
                    : <>
                      <Td dataLabel="When">{e.when}</Td>
                      <Td dataLabel="Alert ID">{e.alertId}</Td>
                      <Td dataLabel="User">{e.user}</Td>
                      <Td dataLabel="Address">{e.address}</Td>
                      <Td dataLabel="Referrer">{e.referer}</Td>
                    </>}
                  <Td>{e.unread && <Label color="blue" isCompact>Unread</Label>}</Td>
                </Tr>
              ))}
            </Tbody>
          </Table>
        )}
      </CardBody>
    </Card>
  );
}
