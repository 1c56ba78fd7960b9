// The secure logs: every log with its entries, unread entries and whether
// it verifies; a chosen log's entries with the unread ones marked, "mark
// read", and verification with what the service found (and, with a
// verification key pasted in, the sealed range).
import React, { useCallback, useEffect, useState } from "react";
import {
  Alert as Notice, Button, Card, CardBody, CardTitle, Flex, FlexItem, Label, List, ListItem, Spinner, Stack,
  StackItem, TextInput,
} from "@patternfly/react-core";
import { Table, Tbody, Td, Th, Thead, Tr } from "@patternfly/react-table";

import * as service from "../service.js";
import { Failure } from "./unavailable.jsx";
import { useCall } from "./use-call.js";

const LOG_KEY = "hearth:secure-log";

function unescapeXml(text) {
  return text.replace(/&(lt|gt|quot|apos|amp|#(\d+)|#x([0-9a-fA-F]+));/g, (whole, name, dec, hex) => {
    if (dec) return String.fromCodePoint(Number(dec));
    if (hex) return String.fromCodePoint(parseInt(hex, 16));
    return { lt: "<", gt: ">", quot: "\"", apos: "'", amp: "&" }[name];
  });
}

// An entry as the service writes it:
// <entry alertid='..' when='..' userid='..' referer='..' >address</entry>
// Anything else is shown as it stands.
export function parseEntry(line) {
  const match = /^<entry alertid='([^']*)' when='([^']*)' userid='([^']*)' referer='([^']*)' >(.*)<\/entry>$/s.exec(line);
  if (!match) return { raw: line };
  const [alertId, when, user, referer, address] = match.slice(1).map(unescapeXml);
  const serial = Number(when);
  return { alertId, when: Number.isFinite(serial) && when !== "" ? service.dateText(serial) : when, user, referer, address };
}

// The service's word on a log, coloured.
export function VerificationLabel({ log, id }) {
  const good = log.state === "verifies";
  return (
    <span id={id}>
      <Label color={good ? "green" : "red"} isCompact>{log.state}</Label>
      {!good && log.problem && <span className="pf-v6-u-ml-sm hearth-problem">{log.problem}</span>}
    </span>
  );
}

export function LogTable({ logs, id, selected, onSelect }) {
  return (
    <Table id={id} aria-label="Secure logs" variant="compact">
      <Thead><Tr><Th>Log</Th><Th>Entries</Th><Th>Unread</Th><Th>Verification</Th></Tr></Thead>
      <Tbody>
        {logs.map(log => (
          <Tr key={log.name} data-log={log.name} isClickable={!!onSelect} isRowSelected={selected === log.name}
              onRowClick={onSelect ? () => onSelect(log.name) : undefined}>
            <Td dataLabel="Log">{log.name}</Td>
            <Td dataLabel="Entries">{log.entries}</Td>
            <Td dataLabel="Unread">{log.unread}</Td>
            <Td dataLabel="Verification"><VerificationLabel log={log} /></Td>
          </Tr>
        ))}
      </Tbody>
    </Table>
  );
}

function Entries({ name, onChanged }) {
  const read = useCallback(() => service.secureLogEntries(name), [name]);
  const { loading, value: entries, error, reload } = useCall(read, [read]);
  const [busy, setBusy] = useState(false);
  const [markError, setMarkError] = useState(null);
  const markRead = async () => {
    setBusy(true);
    setMarkError(null);
    try {
      await service.markSecureLogRead(name);
    } catch (e) {
      setMarkError(e);
    }
    await reload();
    onChanged();
    setBusy(false);
  };
  if (loading) return <Spinner size="lg" />;
  if (error) return <Failure what="Secure log entries" title="The log could not be read" error={error} />;
  const rows = entries.map(e => ({ ...parseEntry(e.text), unread: e.unread }));
  return (
    <Stack hasGutter>
      <StackItem>
        <Button id="securelog-mark-read" variant="primary" isDisabled={busy || !rows.some(e => e.unread)}
                onClick={markRead}>Mark read</Button>
      </StackItem>
      {markError && <StackItem>
        <Failure what="Marking entries read" title="The entries were not marked read" error={markError} />
      </StackItem>}
      <StackItem>
        {rows.length === 0 && <p id="securelog-empty">This log holds no entries.</p>}
        {rows.length > 0 && (
          <Table id="securelog-entries" aria-label="Entries" variant="compact">
            <Thead>
              <Tr><Th>When</Th><Th>Alert ID</Th><Th>User</Th><Th>Address</Th><Th>Referrer</Th><Th /></Tr>
            </Thead>
            <Tbody>
              {rows.map((e, i) => (
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
      </StackItem>
    </Stack>
  );
}

function Verification({ name, onChanged }) {
  const [key, setKey] = useState("");
  const [result, setResult] = useState(null);
  const [error, setError] = useState(null);
  const [busy, setBusy] = useState(false);
  useEffect(() => { setResult(null); setError(null); }, [name]);
  const verify = async () => {
    setBusy(true);
    setError(null);
    try {
      setResult(await service.verifySecureLog(name, key.trim()));
    } catch (e) {
      setResult(null);
      setError(e);
    }
    onChanged();
    setBusy(false);
  };
  return (
    <Stack hasGutter>
      <StackItem>
        <Flex alignItems={{ default: "alignItemsCenter" }}>
          <FlexItem grow={{ default: "grow" }}>
            <TextInput id="securelog-key" aria-label="Verification key" value={key} onChange={(_e, v) => setKey(v)}
                       placeholder="Verification key (from hearthctl securelog setup-keys), for the sealed range" />
          </FlexItem>
          <FlexItem>
            <Button id="securelog-verify" variant="secondary" isDisabled={busy} onClick={verify}>Verify</Button>
          </FlexItem>
        </Flex>
      </StackItem>
      {error && <StackItem>
        <Failure what="Verification" title="The log could not be verified" error={error} />
      </StackItem>}
      {result && <StackItem>
        <Notice id="securelog-findings" variant={result.verifies ? "success" : "danger"} isInline
                title={result.verifies ? "The log verifies" : "The log does not verify"}>
          <List isPlain>{result.findings.map((f, i) => <ListItem key={i}>{f}</ListItem>)}</List>
        </Notice>
      </StackItem>}
    </Stack>
  );
}

export function SecureLogs({ serviceState }) {
  const { loading, value: logs, error, reload } = useCall(service.secureLogs, [serviceState]);
  const [selected, setSelected] = useState(() => localStorage.getItem(LOG_KEY) || "");
  const choose = name => {
    setSelected(name);
    try { localStorage.setItem(LOG_KEY, name); } catch { /* not kept */ }
  };
  const current = logs?.find(l => l.name === selected) ?? null;

  return (
    <Stack hasGutter>
      <StackItem>
        <Card>
          <CardTitle>Secure logs</CardTitle>
          <CardBody>
            {loading && <Spinner size="lg" />}
            {error && <Failure what="Secure logs" title="The logs could not be listed" error={error} />}
            {logs && logs.length === 0 && <p id="securelog-none">There are no secure logs yet.</p>}
            {logs && logs.length > 0 &&
              <LogTable id="securelog-list" logs={logs} selected={selected} onSelect={choose} />}
          </CardBody>
        </Card>
      </StackItem>
      {current && (
        <StackItem>
          <Card id="securelog-detail">
            <CardTitle>{current.name}</CardTitle>
            <CardBody>
              <Stack hasGutter>
                <StackItem><Verification name={current.name} onChanged={reload} /></StackItem>
                <StackItem><Entries name={current.name} onChanged={reload} /></StackItem>
              </Stack>
            </CardBody>
          </Card>
        </StackItem>
      )}
    </Stack>
  );
}
