// Every store's alerts in one table: filter by store, severity and text,
// sort by any column, every field of the selected alert, delete it or mark
// it processed, and a chart of the last days per hour.
import React, { useCallback, useEffect, useMemo, useRef, useState } from "react";
import {
  Button, Card, CardBody, CardTitle, DescriptionList, DescriptionListDescription, DescriptionListGroup,
  DescriptionListTerm, Flex, FlexItem, FormSelect, FormSelectOption, Label, Modal, ModalBody, ModalFooter,
  ModalHeader, SearchInput, Spinner, Stack, StackItem, Toolbar, ToolbarContent, ToolbarItem,
  Alert as Notice,
} from "@patternfly/react-core";
import { Table, Tbody, Td, Th, Thead, Tr } from "@patternfly/react-table";

import * as service from "../service.js";
import { AlertChart } from "./alert-chart.jsx";
import { severityBand, SEVERITY_BANDS } from "./severity.js";
import { Unavailable } from "./unavailable.jsx";

// The table follows the service's AlertChanged signal: every change reaches
// the store through the service while it runs (hearthctl's alerts commands
// too), and the table reads again when the service comes back.
async function readAlerts() {
  const stores = await service.alertStores();
  const rows = [];
  for (const store of stores) {
    const indices = await service.alertIndices(store);
    const fields = await Promise.all(indices.map(index => service.alert(index)));
    for (const alert of fields) {
      if (alert) rows.push({ ...alert, store, time: service.alertTime(alert.EventDateTime) });
    }
  }
  return { stores, rows };
}

function stateOf(alert) {
  if (alert.Tag === "(DELETED)") return "Marked deleted";
  if (alert.UserProc) return "Processed";
  if (alert.SysProc) return "Seen by the system";
  return "New";
}

const COLUMNS = [
  { title: "Severity", key: a => a.Severity },
  { title: "Time (UTC)", key: a => (a.time ? a.time.getTime() : 0) },
  { title: "Store", key: a => a.store.toLowerCase() },
  { title: "Summary", key: a => String(a.Summary).toLowerCase() },
  { title: "State", key: a => stateOf(a) },
];

function SeverityLabel({ value }) {
  const band = severityBand(value);
  return <Label color={band.color} isCompact>{value} {band.name}</Label>;
}

function Details({ alert, onDelete, onProcessed, busy }) {
  const fields = [
    ["Index", alert.index], ["Store", alert.store], ["Severity", <SeverityLabel key="s" value={alert.Severity} />],
    ["Time (UTC)", alert.EventDateTime], ["Summary", alert.Summary],
    ["Description", <span key="d" className="hearth-pre">{alert.Description}</span>],
    ["Alert ID", alert.AlertID], ["Actions", alert.ActionIDs], ["Processed by the user", alert.UserProc ? "Yes" : "No"],
    ["Processed by the system", alert.SysProc ? "Yes" : "No"], ["Tag", alert.Tag],
  ];
  return (
    <Card id="alert-details">
      <CardTitle>Alert {alert.index}</CardTitle>
      <CardBody>
        <DescriptionList isHorizontal isCompact>
          {fields.map(([term, value]) => (
            <DescriptionListGroup key={term}>
              <DescriptionListTerm>{term}</DescriptionListTerm>
              <DescriptionListDescription>{value}</DescriptionListDescription>
            </DescriptionListGroup>
          ))}
        </DescriptionList>
        <Flex className="pf-v6-u-mt-md">
          <FlexItem>
            <Button id="alert-mark-processed" variant="secondary" isDisabled={busy || alert.UserProc}
                    onClick={onProcessed}>Mark processed</Button>
          </FlexItem>
          <FlexItem>
            <Button id="alert-delete" variant="danger" isDisabled={busy} onClick={onDelete}>Delete</Button>
          </FlexItem>
        </Flex>
      </CardBody>
    </Card>
  );
}

export function Alerts({ serviceState }) {
  const [stores, setStores] = useState([]);
  const [alerts, setAlerts] = useState(null);
  const [error, setError] = useState(null);
  const [actionError, setActionError] = useState(null);
  const [storeFilter, setStoreFilter] = useState("");
  const [bandFilter, setBandFilter] = useState("");
  const [text, setText] = useState("");
  const [sort, setSort] = useState({ index: 1, direction: "desc" });
  const [selected, setSelected] = useState(null);
  const [confirming, setConfirming] = useState(false);
  const [busy, setBusy] = useState(false);

  const [refreshedBy, setRefreshedBy] = useState("start");
  // One read at a time; signals that come during a read ask for one more.
  const reading = useRef({ running: false, again: null });
  const refresh = useCallback(async (cause = "start") => {
    if (reading.current.running) {
      reading.current.again = cause;
      return;
    }
    reading.current.running = true;
    try {
      for (let next = cause; next; next = reading.current.again) {
        reading.current.again = null;
        try {
          const read = await readAlerts();
          setStores(read.stores);
          setAlerts(read.rows);
          setError(null);
          setRefreshedBy(next);
        } catch (e) {
          setError(e);
        }
      }
    } finally {
      reading.current.running = false;
    }
  }, []);

  useEffect(() => {
    refresh();
    const stop = service.onSignal({ path: service.PATH.ioNotify, interface: service.IFACE.ioNotify,
      member: "AlertChanged" }, () => refresh("signal"));
    return stop;
  }, [refresh, serviceState]);

  const shown = useMemo(() => {
    if (!alerts) return [];
    const needle = text.trim().toLowerCase();
    const rows = alerts.filter(a =>
      (!storeFilter || a.store === storeFilter) &&
      (!bandFilter || severityBand(a.Severity).name === bandFilter) &&
      (!needle || [a.Summary, a.Description, a.AlertID, a.store].some(f => String(f).toLowerCase().includes(needle))));
    const key = COLUMNS[sort.index].key;
    rows.sort((x, y) => {
      const a = key(x); const b = key(y);
      const order = a < b ? -1 : a > b ? 1 : x.index - y.index;
      return sort.direction === "asc" ? order : -order;
    });
    return rows;
  }, [alerts, storeFilter, bandFilter, text, sort]);

  const selectedAlert = alerts?.find(a => a.index === selected) ?? null;

  const act = async (what) => {
    setBusy(true);
    setActionError(null);
    try {
      const done = await what();
      if (!done) setActionError({ message: "The service did not change the alert (it may be gone)." });
      await refresh();
    } catch (e) {
      setActionError(e);
    } finally {
      setBusy(false);
    }
  };

  if (error && !alerts) return <Unavailable what="Alerts" error={error} />;
  if (!alerts) return <Spinner size="xl" />;

  return (
    <Stack hasGutter>
      <StackItem>
        <Card>
          <CardTitle>Alerts per hour, last three days</CardTitle>
          <CardBody><AlertChart alerts={alerts} /></CardBody>
        </Card>
      </StackItem>
      <StackItem>
        <Card>
          <CardBody>
            <Toolbar>
              <ToolbarContent>
                <ToolbarItem>
                  <FormSelect id="alert-store-filter" aria-label="Store" value={storeFilter}
                              onChange={(_e, v) => setStoreFilter(v)}>
                    <FormSelectOption value="" label="Every store" />
                    {stores.map(s => <FormSelectOption key={s} value={s} label={s} />)}
                  </FormSelect>
                </ToolbarItem>
                <ToolbarItem>
                  <FormSelect id="alert-severity-filter" aria-label="Severity" value={bandFilter}
                              onChange={(_e, v) => setBandFilter(v)}>
                    <FormSelectOption value="" label="Every severity" />
                    {SEVERITY_BANDS.map(b => <FormSelectOption key={b.name} value={b.name} label={b.name} />)}
                  </FormSelect>
                </ToolbarItem>
                <ToolbarItem>
                  <SearchInput id="alert-text-filter" aria-label="Text" placeholder="Filter by text" value={text}
                               onChange={(_e, v) => setText(v)} onClear={() => setText("")} />
                </ToolbarItem>
                <ToolbarItem variant="pagination">{shown.length} of {alerts.length}</ToolbarItem>
              </ToolbarContent>
            </Toolbar>
            {error && <Notice variant="warning" isInline title="The list could not be refreshed">
              {service.reasonOf(error)}</Notice>}
            <Table id="alert-table" aria-label="Alerts" variant="compact" data-refreshed-by={refreshedBy}>
              <Thead>
                <Tr>
                  {COLUMNS.map((c, i) => (
                    <Th key={c.title} sort={{
                      sortBy: { index: sort.index, direction: sort.direction },
                      onSort: (_e, index, direction) => setSort({ index, direction }),
                      columnIndex: i,
                    }}>{c.title}</Th>
                  ))}
                </Tr>
              </Thead>
              <Tbody>
                {shown.map(a => (
                  <Tr key={a.index} data-index={a.index} isClickable isRowSelected={a.index === selected}
                      onRowClick={() => setSelected(a.index)}>
                    <Td dataLabel="Severity"><SeverityLabel value={a.Severity} /></Td>
                    <Td dataLabel="Time (UTC)">{a.EventDateTime}</Td>
                    <Td dataLabel="Store">{a.store}</Td>
                    <Td dataLabel="Summary">{a.Summary}</Td>
                    <Td dataLabel="State">{stateOf(a)}</Td>
                  </Tr>
                ))}
              </Tbody>
            </Table>
          </CardBody>
        </Card>
      </StackItem>
      {actionError && (
        <StackItem>
          <Notice id="alert-action-error" variant="danger" isInline title="The alert was not changed">
            {service.reasonOf(actionError)}
          </Notice>
        </StackItem>
      )}
      {selectedAlert && (
        <StackItem>
          <Details alert={selectedAlert} busy={busy}
                   onProcessed={() => act(() => service.markAlertProcessed(selectedAlert.index))}
                   onDelete={() => setConfirming(true)} />
        </StackItem>
      )}
      <Modal variant="small" isOpen={confirming && !!selectedAlert} onClose={() => setConfirming(false)}
             aria-labelledby="alert-delete-title">
        <ModalHeader title="Delete this alert?" labelId="alert-delete-title" />
        <ModalBody>{selectedAlert?.Summary}</ModalBody>
        <ModalFooter>
          <Button id="alert-delete-confirm" variant="danger" onClick={() => {
            const index = selectedAlert.index;
            setConfirming(false);
            setSelected(null);
            act(() => service.deleteAlert(index));
          }}>Delete</Button>
          <Button variant="link" onClick={() => setConfirming(false)}>Cancel</Button>
        </ModalFooter>
      </Modal>
    </Stack>
  );
}
