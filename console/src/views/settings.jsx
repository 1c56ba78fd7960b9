// The system collection and the current user's, as a tree by namespace.
// A change goes through SetValue and then SettingsChanged(true), the road
// every client takes: the service stores it and tells the plug-ins. What the
// collection refuses is shown with the service's reason.
import React, { useCallback, useEffect, useMemo, useState } from "react";
import {
  Alert as Notice, Button, Card, CardBody, Flex, FlexItem, Form, FormGroup, FormSelect, FormSelectOption,
  Modal, ModalBody, ModalFooter, ModalHeader, SearchInput, Spinner, ToggleGroup, ToggleGroupItem, TextInput,
  TreeView,
} from "@patternfly/react-core";

import * as service from "../service.js";
import { Unavailable } from "./unavailable.jsx";

const COLLECTIONS = [
  { key: "system", title: "System", path: service.PATH.system },
  { key: "user", title: "Current user", path: service.PATH.user },
];

async function readCollection(path) {
  const names = await service.settingNames(path);
  const values = await Promise.all(names.map(name => service.getValue(path, name)));
  return names.map((name, i) => ({ name, value: values[i] }));
}

// Namespace (the text before the first dot) to its settings, in order.
function tree(settings, filter) {
  const needle = filter.trim().toLowerCase();
  const spaces = new Map();
  for (const s of settings) {
    const text = service.valueText(s.value);
    if (needle && !s.name.includes(needle) && !text.toLowerCase().includes(needle)) continue;
    const dot = s.name.indexOf(".");
    const space = dot < 0 ? "(none)" : s.name.slice(0, dot);
    if (!spaces.has(space)) spaces.set(space, []);
    spaces.get(space).push({
      id: s.name,
      name: <span className="hearth-setting" data-name={s.name}>
        {dot < 0 ? s.name : s.name.slice(dot + 1)} <b>=</b> {text}
        <small className="pf-v6-u-color-200"> ({service.kindOf(s.value)})</small>
      </span>,
      setting: s,
    });
  }
  return [...spaces.entries()].map(([space, children]) => ({
    id: `ns:${space}`, name: space, children, badge: children.length, hasBadge: true,
    defaultExpanded: !!needle,
  }));
}

function EditModal({ collection, setting, onClose }) {
  const isNew = !setting.name;
  const [name, setName] = useState(setting.name ?? "");
  const [kind, setKind] = useState(isNew ? "Text" : service.kindOf(setting.value));
  const [text, setText] = useState(isNew ? "" : service.valueText(setting.value));
  const [error, setError] = useState(null);
  const [busy, setBusy] = useState(false);
  const kinds = Object.keys(service.VALUE_KINDS);

  const save = async () => {
    setError(null);
    let variant;
    try {
      variant = service.VALUE_KINDS[kind].make(text);
    } catch (e) {
      setError({ message: e.message });
      return;
    }
    setBusy(true);
    try {
      await service.setValue(collection.path, name.trim(), variant);
      await service.settingsChanged(true);
      onClose(name.trim());
    } catch (e) {
      setError(e);
    } finally {
      setBusy(false);
    }
  };

  return (
    <Modal variant="medium" isOpen onClose={() => onClose(false)} aria-labelledby="setting-edit-title"
           id="setting-edit">
      <ModalHeader title={isNew ? `New ${collection.title.toLowerCase()} setting` : name}
                   labelId="setting-edit-title" />
      <ModalBody>
        <Form onSubmit={e => { e.preventDefault(); save(); }}>
          {isNew && (
            <FormGroup label="Name" fieldId="setting-name" isRequired>
              <TextInput id="setting-name" value={name} onChange={(_e, v) => setName(v)} />
            </FormGroup>
          )}
          <FormGroup label="Type" fieldId="setting-kind">
            <FormSelect id="setting-kind" value={kind} onChange={(_e, v) => setKind(v)}>
              {(kinds.includes(kind) ? kinds : [kind, ...kinds]).map(k => (
                <FormSelectOption key={k} value={k} label={k} isDisabled={!kinds.includes(k)} />
              ))}
            </FormSelect>
          </FormGroup>
          {kind !== "Empty" && (
            <FormGroup label="Value" fieldId="setting-value">
              {kind === "Boolean"
                ? (
                  <FormSelect id="setting-value" value={text} onChange={(_e, v) => setText(v)}>
                    <FormSelectOption value="" label="" isPlaceholder />
                    <FormSelectOption value="True" label="True" />
                    <FormSelectOption value="False" label="False" />
                  </FormSelect>)
                : <TextInput id="setting-value" value={text} onChange={(_e, v) => setText(v)} />}
            </FormGroup>
          )}
          {error && (
            <Notice id="setting-refused" variant="danger" isInline title="The service did not take this value">
              {service.reasonOf(error)}
            </Notice>
          )}
        </Form>
      </ModalBody>
      <ModalFooter>
        <Button id="setting-save" variant="primary" onClick={save} isLoading={busy}
                isDisabled={busy || !name.trim() || !kinds.includes(kind)}>Save</Button>
        <Button variant="link" onClick={() => onClose(false)}>Cancel</Button>
      </ModalFooter>
    </Modal>
  );
}

export function Settings({ serviceState }) {
  const [which, setWhich] = useState("system");
  const collection = COLLECTIONS.find(c => c.key === which);
  const [state, setState] = useState({ settings: null, error: null });
  const [filter, setFilter] = useState("");
  const [editing, setEditing] = useState(null);
  const [saved, setSaved] = useState(null);

  const load = useCallback(() => readCollection(collection.path).then(
    settings => setState({ settings, error: null }),
    error => setState({ settings: null, error })), [collection]);

  useEffect(() => {
    setState({ settings: null, error: null });
    load();
  }, [load, serviceState]);

  // The service tells of every change, whoever made it.
  useEffect(() => {
    const match = { interface: service.IFACE.settings, path: collection.path };
    const off = [
      service.onSignal({ ...match, member: "SettingChanged" }, ([name, value]) => {
        const key = name.toLowerCase();
        setState(s => {
          if (!s.settings) return s;
          const known = s.settings.some(x => x.name === key);
          if (!known) { load(); return s; }
          return { ...s, settings: s.settings.map(x => (x.name === key ? { name: key, value } : x)) };
        });
      }),
      ...["SettingRemoved", "SettingsLoaded", "SettingsCleared"].map(member =>
        service.onSignal({ ...match, member }, () => load())),
    ];
    return () => off.forEach(f => f());
  }, [collection, load]);

  const data = useMemo(() => (state.settings ? tree(state.settings, filter) : []), [state.settings, filter]);

  return (
    <Card>
      <CardBody>
        <Flex className="pf-v6-u-mb-md">
          <FlexItem>
            <ToggleGroup aria-label="Collection">
              {COLLECTIONS.map(c => (
                <ToggleGroupItem key={c.key} id={`settings-${c.key}`} text={c.title} isSelected={which === c.key}
                                 onChange={() => setWhich(c.key)} />
              ))}
            </ToggleGroup>
          </FlexItem>
          <FlexItem>
            <SearchInput id="settings-filter" placeholder="Filter by name or value" value={filter}
                         onChange={(_e, v) => setFilter(v)} onClear={() => setFilter("")} />
          </FlexItem>
          <FlexItem>
            <Button id="settings-add" variant="secondary" isDisabled={!state.settings}
                    onClick={() => setEditing({})}>Add a setting</Button>
          </FlexItem>
        </Flex>
        {saved && (
          <Notice id="setting-saved" variant="success" isInline title={`${saved} stored`}
                  className="pf-v6-u-mb-md" />
        )}
        {state.error && <Unavailable what="Settings" error={state.error} />}
        {!state.error && !state.settings && <Spinner size="xl" />}
        {state.settings && (
          <div id="settings-tree"><TreeView data={data} hasBadges hasGuides allExpanded={filter.trim() ? true : undefined}
                    onSelect={(_e, item) => { if (item.setting) { setSaved(null); setEditing(item.setting); } }} /></div>
        )}
      </CardBody>
      {editing && (
        <EditModal collection={collection} setting={editing}
                   onClose={(stored) => {
                     if (stored) setSaved(stored);
                     setEditing(null);
                     load();
                   }} />
      )}
    </Card>
  );
}
