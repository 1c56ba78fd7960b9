// Backups of folders into store files, a store's entries, and playback to
// where each file came from or below a chosen folder. The service does the
// work on a thread of its own and reports it with StoreProgress and
// StoreFinished signals, which the view follows for the operation it
// started; one store operation runs at a time, and the service's refusal
// says so.
import React, { useCallback, useEffect, useRef, useState } from "react";
import {
  ActionGroup, Alert as Notice, Button, Card, CardBody, CardTitle, Checkbox, DescriptionList, DescriptionListDescription,
  DescriptionListGroup, DescriptionListTerm, Form, FormGroup, Progress, Spinner, Stack, StackItem, TextInput,
} from "@patternfly/react-core";
import { Table, Tbody, Td, Th, Thead, Tr } from "@patternfly/react-table";

import * as service from "../service.js";
import { Failure } from "./unavailable.jsx";
import { useCall } from "./use-call.js";

const OUTCOME_VARIANT = {
  complete: "success",
  "file failures": "warning",
  "stopped at damage": "danger",
  "not written": "danger",
  "not read": "danger",
};

const plural = (count, one, many = `${one}s`) => `${count} ${count === 1 ? one : many}`;

// The signals of every store operation, kept by operation number: a signal
// may come before the answer that tells the view which operation is its own.
function useStoreOperations() {
  const seen = useRef(new Map());
  const [, redraw] = useState(0);
  useEffect(() => service.onStoreSignals(
    progress => {
      const known = seen.current.get(progress.operation) ?? {};
      seen.current.set(progress.operation, { ...known, progress });
      redraw(n => n + 1);
    },
    finished => {
      const known = seen.current.get(finished.operation) ?? {};
      seen.current.set(finished.operation, { ...known, finished });
      redraw(n => n + 1);
    }), []);
  return operation => seen.current.get(operation) ?? {};
}

function StoreProgress({ kind, progress, finished }) {
  const files = progress?.filesTotal ? progress.filesDone / progress.filesTotal : 0;
  const bytes = progress?.bytesTotal ? progress.bytesDone / progress.bytesTotal : 0;
  const share = finished ? 1 : Math.min(1, Math.max(files, bytes));
  // A playback learns its totals only as it reads the store: without them
  // the count stands alone.
  const of = (done, total, one) => total ? `${done} of ${plural(total, one)}` : plural(done, one);
  // A backup counts the folder's files and bytes; a playback the files it
  // wrote and the store's bytes it read.
  const counted = !progress ? "starting" : kind === "backup"
    ? `${of(progress.filesDone, progress.filesTotal, "file")}, ${of(progress.bytesDone, progress.bytesTotal, "byte")}`
    : `${plural(progress.filesDone, "file")} written, ${of(progress.bytesDone, progress.bytesTotal, "byte")} of the store read`;
  const failed = finished && OUTCOME_VARIANT[finished.outcome] === "danger";
  return (
    <Progress id="store-progress" title={kind === "backup" ? "Backing up" : "Playing back"}
              value={Math.round(share * 100)} label={counted} measureLocation="outside"
              variant={finished ? (failed ? "danger" : finished.failed ? "warning" : "success") : undefined}
              data-state={finished ? "finished" : "running"} />
  );
}

function StoreResult({ finished }) {
  return (
    <Notice id="store-result" isInline variant={OUTCOME_VARIANT[finished.outcome] ?? "info"}
            title={`The ${finished.kind} ended: ${finished.outcome}`} data-outcome={finished.outcome}>
      <p className="hearth-summary">{finished.summary}</p>
      <DescriptionList isHorizontal isCompact columnModifier={{ default: "2Col" }}>
        {[["Store file", finished.store], ["Entries", finished.entries], ["Files", finished.files],
          ["Bytes", finished.bytes], ["Skipped", finished.skipped], ["Failed", finished.failed]].map(([term, value]) => (
          <DescriptionListGroup key={term}>
            <DescriptionListTerm>{term}</DescriptionListTerm>
            <DescriptionListDescription data-field={term}>{value}</DescriptionListDescription>
          </DescriptionListGroup>
        ))}
      </DescriptionList>
    </Notice>
  );
}

// The operation the view started, followed to its end.
function Running({ started, operationOf }) {
  if (!started) return null;
  const { progress, finished } = operationOf(started.operation);
  return (
    <Stack hasGutter>
      <StackItem><StoreProgress kind={started.kind} progress={progress} finished={finished} /></StackItem>
      {finished && <StackItem><StoreResult finished={finished} /></StackItem>}
    </Stack>
  );
}

function BackupForm({ busy, onStart }) {
  const [folder, setFolder] = useState("");
  const [store, setStore] = useState("");
  const [recurse, setRecurse] = useState(true);
  const [compress, setCompress] = useState(true);
  const start = event => {
    event.preventDefault();
    onStart("backup", () => service.backupFolder(folder.trim(), store.trim(), recurse, compress));
  };
  return (
    <Form onSubmit={start}>
      <FormGroup label="Folder" isRequired fieldId="backup-folder">
        <TextInput id="backup-folder" value={folder} onChange={(_e, v) => setFolder(v)} placeholder="/home/ana/papers" />
      </FormGroup>
      <FormGroup label="Store file" isRequired fieldId="backup-store">
        <TextInput id="backup-store" value={store} onChange={(_e, v) => setStore(v)}
                   placeholder="A name in the service's backups folder, or a path from /" />
      </FormGroup>
      <FormGroup fieldId="backup-options">
        <Checkbox id="backup-recurse" label="With its subfolders" isChecked={recurse}
                  onChange={(_e, v) => setRecurse(v)} />
        <Checkbox id="backup-compress" label="Compressed" isChecked={compress} onChange={(_e, v) => setCompress(v)} />
      </FormGroup>
      <ActionGroup>
        <Button id="backup-start" type="submit" variant="primary" isDisabled={busy || !folder.trim() || !store.trim()}>
          Back up
        </Button>
      </ActionGroup>
    </Form>
  );
}

function EntryTable({ listing }) {
  return (
    <Stack hasGutter>
      <StackItem>
        <p id="store-header">
          {listing.path}: {plural(listing.count, "entry", "entries")}, {listing.size} bytes
          {listing.compressed ? ", compressed" : ""}{listing.token ? `, made by "${listing.token}"` : ""}
        </p>
      </StackItem>
      {listing.damage && <StackItem>
        <Notice id="store-damage" variant="danger" isInline title="The store is damaged">{listing.damage}</Notice>
      </StackItem>}
      {listing.entries.length > 0 && <StackItem>
        <Table id="store-entries" aria-label="Entries" variant="compact">
          <Thead><Tr><Th>Entry</Th><Th>Kind</Th><Th>Length</Th><Th>Holds</Th></Tr></Thead>
          <Tbody>
            {listing.entries.map(e => (
              <Tr key={e.number}>
                <Td dataLabel="Entry">{e.number}</Td>
                <Td dataLabel="Kind">{e.kind}</Td>
                <Td dataLabel="Length">{e.length}</Td>
                <Td dataLabel="Holds" className="hearth-pre">{e.text}</Td>
              </Tr>
            ))}
          </Tbody>
        </Table>
      </StackItem>}
    </Stack>
  );
}

function PlaybackForm({ busy, onStart, storeFile, setStoreFile }) {
  const [below, setBelow] = useState("");
  const [listing, setListing] = useState(null);
  const [listError, setListError] = useState(null);
  const [listBusy, setListBusy] = useState(false);
  const list = async () => {
    setListBusy(true);
    setListError(null);
    try {
      setListing(await service.listStoreFile(storeFile.trim()));
    } catch (e) {
      setListing(null);
      setListError(e);
    }
    setListBusy(false);
  };
  const play = event => {
    event.preventDefault();
    onStart("playback", async () => ({ operation: await service.playBackStoreFile(storeFile.trim(), below.trim()) }));
  };
  return (
    <Stack hasGutter>
      <StackItem>
        <Form onSubmit={play}>
          <FormGroup label="Store file" isRequired fieldId="store-file">
            <TextInput id="store-file" value={storeFile} onChange={(_e, v) => setStoreFile(v)}
                       placeholder="A name in the service's backups folder, or a path from /" />
          </FormGroup>
          <FormGroup label="Play back below" fieldId="restore-below">
            <TextInput id="restore-below" value={below} onChange={(_e, v) => setBelow(v)}
                       placeholder="Empty: every file to where it came from" />
          </FormGroup>
          <ActionGroup>
            <Button id="store-list" variant="secondary" onClick={list}
                    isDisabled={listBusy || !storeFile.trim()}>List entries</Button>
            <Button id="store-playback" type="submit" variant="primary" isDisabled={busy || !storeFile.trim()}>
              Play back
            </Button>
          </ActionGroup>
        </Form>
      </StackItem>
      {listBusy && <StackItem><Spinner size="md" /></StackItem>}
      {listError && <StackItem>
        <Failure what="Listing store files" title="The store could not be listed" error={listError} />
      </StackItem>}
      {listing && <StackItem><EntryTable listing={listing} /></StackItem>}
    </Stack>
  );
}

export function Backups({ serviceState }) {
  const allowed = useCall(service.storeFilesAllowed, [serviceState]);
  const operationOf = useStoreOperations();
  const [started, setStarted] = useState(null);
  const [startError, setStartError] = useState(null);
  const [asking, setAsking] = useState(false);
  const [storeFile, setStoreFile] = useState("");

  const finished = started ? operationOf(started.operation).finished : null;
  // A service that leaves the bus mid-operation never says how it ended:
  // the view stops waiting rather than show a bar that never fills.
  const [lost, setLost] = useState(false);
  useEffect(() => {
    if (serviceState !== "running" && started && !finished) setLost(true);
  }, [serviceState, started, finished]);
  const busy = asking || (started && !finished && !lost);

  // A finished backup's store is the one to list or play back next.
  useEffect(() => {
    if (finished?.kind === "backup" && finished.outcome !== "not written") setStoreFile(finished.store);
  }, [finished]);

  const start = useCallback(async (kind, ask) => {
    setAsking(true);
    setStartError(null);
    try {
      const { operation } = await ask();
      setLost(false);
      setStarted({ kind, operation });
    } catch (e) {
      setStartError(e);
    }
    setAsking(false);
  }, []);

  if (allowed.loading) return <Spinner size="lg" />;
  if (allowed.error) return <Failure what="Backups" title="Backups cannot be reached" error={allowed.error} />;
  return (
    <Stack hasGutter id="backups">
      <StackItem>
        <Card>
          <CardTitle>Back up a folder</CardTitle>
          <CardBody><BackupForm busy={busy} onStart={start} /></CardBody>
        </Card>
      </StackItem>
      {(started || startError) && <StackItem>
        <Card id="store-operation">
          <CardBody>
            {startError && <Failure what="Store files" title="The service did not start it" error={startError} />}
            {!startError && <Running started={started} operationOf={operationOf} />}
            {!startError && lost && !finished &&
              <Notice id="store-lost" variant="warning" isInline className="pf-v6-u-mt-md"
                      title={`The service stopped before it said how the ${started.kind} ended`}>
                List the store's entries to see what it holds.
              </Notice>}
          </CardBody>
        </Card>
      </StackItem>}
      <StackItem>
        <Card>
          <CardTitle>Store files</CardTitle>
          <CardBody>
            <PlaybackForm busy={busy} onStart={start} storeFile={storeFile} setStoreFile={setStoreFile} />
          </CardBody>
        </Card>
      </StackItem>
    </Stack>
  );
}
