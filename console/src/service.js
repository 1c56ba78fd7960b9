// The service's D-Bus face as the page reaches it: cockpit-bridge carries
// every call to com.norvale.Hearth on the system bus, with the
// administrator's rights when Cockpit's administrative access is on.
/* global cockpit */

export const BUS_NAME = "com.norvale.Hearth";
export const PATH = {
  application: "/com/norvale/Hearth/Application",
  system: "/com/norvale/Hearth/Settings/System",
  user: "/com/norvale/Hearth/Settings/User",
  ioNotify: "/com/norvale/Hearth/IoNotify",
  fileManager: "/com/norvale/Hearth/FileMgr",
};
export const IFACE = {
  application: "com.norvale.Hearth.Application",
  settings: "com.norvale.Hearth.cSettings",
  ioNotify: "com.norvale.Hearth.cIoNotify",
  fileManager: "com.norvale.Hearth.cFileMgr",
};

// Answers that mean "not for you" or "not there": the page shows the view
// as unavailable instead of as an error.
const UNAVAILABLE = new Set([
  "org.freedesktop.DBus.Error.AccessDenied",
  "org.freedesktop.DBus.Error.ServiceUnknown",
  "org.freedesktop.DBus.Error.NameHasNoOwner",
  "org.freedesktop.DBus.Error.UnknownMethod",
  "org.freedesktop.DBus.Error.UnknownObject",
  "com.norvale.Hearth.Error.NotAvailable",
]);
const UNAVAILABLE_PROBLEMS = new Set(["access-denied", "not-found", "not-supported", "authentication-failed"]);

export function isUnavailable(error) {
  if (!error) return false;
  return UNAVAILABLE.has(error.name) || UNAVAILABLE_PROBLEMS.has(error.problem);
}

export function isAccessDenied(error) {
  return !!error && (error.name === "org.freedesktop.DBus.Error.AccessDenied" || error.problem === "access-denied");
}

// The text to show for a refusal: the service's own reason where it gave one.
export function reasonOf(error) {
  if (!error) return "";
  return error.message || error.problem || String(error);
}

let client = null;
export function bus() {
  if (!client) client = cockpit.dbus(BUS_NAME, { bus: "system", superuser: "try" });
  return client;
}

export function call(path, iface, method, signature, args = []) {
  return bus().call(path, iface, method, args, { type: signature });
}

// Subscribes to a signal; returns the function that ends the subscription.
export function onSignal(match, handler) {
  const subscription = bus().subscribe(match, (path, iface, signal, args) => handler(args, path, signal));
  return () => subscription.remove();
}

// Calls `handler(owner)` now and whenever the service takes or leaves its
// name (owner is null while no hearthd holds it).
export function onOwner(handler) {
  const listener = (_event, owner) => handler(owner);
  bus().addEventListener("owner", listener);
  return () => bus().removeEventListener("owner", listener);
}

// --- Application ---------------------------------------------------------

export async function version() {
  const [text] = await call(PATH.application, IFACE.application, "version", "");
  return text.trim();
}

export async function currentUserSid() {
  const [sid] = await call(PATH.application, IFACE.application, "CurrentUserSID", "");
  return sid;
}

export function settingsChanged(persist) {
  return call(PATH.application, IFACE.application, "SettingsChanged", "b", [persist]);
}

// --- Settings collections ------------------------------------------------

// Every name of a collection, in its own order.
export async function settingNames(path) {
  const names = [];
  let [name] = await call(path, IFACE.settings, "EnumSettingNames", "s", ["*"]);
  // A name that comes back twice means someone else enumerates the same
  // collection at once: stop rather than loop.
  const seen = new Set();
  while (name && !seen.has(name)) {
    seen.add(name);
    names.push(name);
    [name] = await call(path, IFACE.settings, "EnumSettingNames", "s", [name]);
  }
  return names;
}

export async function getValue(path, name) {
  const [value] = await call(path, IFACE.settings, "GetValue", "s", [name]);
  return value;
}

export function setValue(path, name, variant) {
  return call(path, IFACE.settings, "SetValue", "sv", [name, variant]);
}

// --- Alerts ----------------------------------------------------------------

const ALERT_FIELDS = ["Severity", "Summary", "Description", "AlertID", "ActionIDs", "UserProc", "EventDateTime",
  "SysProc", "Tag"];

// The stores that hold alerts, in ascending order.
export async function alertStores() {
  const [count, names] = await call(PATH.ioNotify, IFACE.ioNotify, "IoGetAlertStores", "");
  return count > 0 ? names : [];
}

export async function alertIndices(store) {
  const [count, indices] = await call(PATH.ioNotify, IFACE.ioNotify, "IoGetAlertIndicesAll", "s", [store]);
  return count > 0 ? indices : [];
}

// One alert's fields as plain values, or null when it is gone.
export async function alert(index) {
  const answer = await call(PATH.ioNotify, IFACE.ioNotify, "IoGetAlert", "i", [index]);
  if (!answer[0]) return null;
  const fields = { index };
  ALERT_FIELDS.forEach((field, i) => { fields[field] = plain(answer[i + 1]); });
  return fields;
}

export async function deleteAlert(index) {
  const [deleted] = await call(PATH.ioNotify, IFACE.ioNotify, "IoDeleteAlert", "i", [index]);
  return deleted;
}

export async function markAlertProcessed(index) {
  const [set] = await call(PATH.ioNotify, IFACE.ioNotify, "IoSetAlertUserProc", "i", [index]);
  return set;
}

// --- Secure logs -----------------------------------------------------------

// Every secure log: name, entries, unread entries, the service's word on
// its verification ("verifies", "does not verify") and its first problem.
export async function secureLogs() {
  const [count, names, entries, unread, states, problems] =
    await call(PATH.ioNotify, IFACE.ioNotify, "IoGetSecureLogs", "");
  if (count <= 0) return [];
  return names.map((name, i) => ({
    name, entries: entries[i], unread: unread[i], state: states[i], problem: problems[i],
  }));
}

// A log's entries, oldest first, each marked unread or not; nothing is
// marked read by looking.
export async function secureLogEntries(name) {
  const [count, entries, unread] = await call(PATH.ioNotify, IFACE.ioNotify, "IoGetSecureLogEntries", "s", [name]);
  if (count <= 0) return [];
  return entries.map((text, i) => ({ text, unread: i >= entries.length - unread }));
}

// Marks the log's unread entries read; answers the entries it marked.
export async function markSecureLogRead(name) {
  const [count, entries] = await call(PATH.ioNotify, IFACE.ioNotify, "IoMarkSecureLogRead", "s", [name]);
  return count > 0 ? entries : [];
}

// { verifies, findings }: the service's lines ("secure log 'x' does not
// verify: ..."); with a verification key, the sealed range too.
export async function verifySecureLog(name, key = "") {
  const [verifies, findings] = await call(PATH.ioNotify, IFACE.ioNotify, "IoVerifySecureLog", "ss", [name, key]);
  return { verifies, findings };
}

// --- Plug-ins ----------------------------------------------------------------

// The ranked feature plug-ins: ProgID, rank, where it resolves, status.
export async function featurePlugins() {
  const [count, progids, ranks, resolves, statuses] =
    await call(PATH.ioNotify, IFACE.ioNotify, "IoGetFeaturePlugins", "");
  if (count <= 0) return [];
  return progids.map((progid, i) => ({ progid, rank: ranks[i], resolves: resolves[i], status: statuses[i] }));
}

// --- Store files -------------------------------------------------------------

// Whether the caller may use the store-file members: the bus checks the
// caller before the arguments, so a listing of no file is refused for
// access when it is not ours and for its empty name when it is.
export async function storeFilesAllowed() {
  try {
    await call(PATH.fileManager, IFACE.fileManager, "ListStoreFile", "s", [""]);
  } catch (error) {
    if (isUnavailable(error)) throw error;
  }
  return true;
}

// Starts a backup of `folder` into a new store file (a plain name lands in
// the service's backups folder); answers { operation, store }.
export async function backupFolder(folder, store, recurse, compress) {
  const [operation, path] = await call(PATH.fileManager, IFACE.fileManager, "BackupFolder", "ssbb",
    [folder, store, recurse, compress]);
  return { operation, store: path };
}

// Starts a playback, to where each file came from or below `below`.
export async function playBackStoreFile(store, below = "") {
  const [operation] = await call(PATH.fileManager, IFACE.fileManager, "PlayBackStoreFile", "ss", [store, below]);
  return operation;
}

// A store file's header and entries, as `hearthctl store list` shows them.
export async function listStoreFile(store) {
  const [path, token, count, size, compressed, entries, damage] =
    await call(PATH.fileManager, IFACE.fileManager, "ListStoreFile", "s", [store]);
  return {
    path, token, count, size, compressed, damage,
    entries: entries.map(([number, kind, length, text]) => ({ number, kind, length, text })),
  };
}

// Calls `onProgress` and `onFinished` with the store signals' fields.
export function onStoreSignals(onProgress, onFinished) {
  return onSignal({ interface: IFACE.fileManager, path: PATH.fileManager }, (args, _path, signal) => {
    if (signal === "StoreProgress") {
      const [operation, kind, bytesDone, bytesTotal, filesDone, filesTotal] = args;
      onProgress({ operation, kind, bytesDone, bytesTotal, filesDone, filesTotal });
    } else if (signal === "StoreFinished") {
      const [operation, kind, store, outcome, summary, entries, files, bytes, skipped, failed] = args;
      onFinished({ operation, kind, store, outcome, summary, entries, files, bytes, skipped, failed });
    }
  });
}

// --- Variants ----------------------------------------------------------------

// A D-Bus variant as the service sends it ({t, v}; tagged kinds are
// (sv) pairs) turned into a JavaScript value, keeping what a person needs.
export function plain(variant) {
  if (variant === null || typeof variant !== "object" || !("t" in variant)) return variant;
  if (variant.t === "(sv)") {
    const [tag, inner] = variant.v;
    if (tag === "Date") return { date: inner.v };
    if (tag === "Empty" || tag === "Null") return { [tag.toLowerCase()]: true };
    return plain(inner);
  }
  if (variant.t === "v") return plain(variant.v);
  return variant.v;
}

// The kinds a setting can be given in the page, with their D-Bus form.
export const VALUE_KINDS = {
  Text: { make: text => ({ t: "s", v: text }) },
  Long: { make: text => ({ t: "i", v: wholeNumber(text, -2147483648, 2147483647) }) },
  Boolean: { make: text => ({ t: "b", v: booleanOf(text) }) },
  Double: { make: text => ({ t: "d", v: numberOf(text) }) },
  Empty: { make: () => ({ t: "(sv)", v: ["Empty", { t: "s", v: "" }] }) },
};

function wholeNumber(text, low, high) {
  const trimmed = String(text).trim();
  if (!/^[-+]?\d+$/.test(trimmed)) throw new Error(`"${text}" is not a whole number`);
  const value = Number(trimmed);
  if (value < low || value > high) throw new Error(`${trimmed} is outside ${low} to ${high}`);
  return value;
}

function numberOf(text) {
  const value = Number(String(text).trim());
  if (String(text).trim() === "" || Number.isNaN(value)) throw new Error(`"${text}" is not a number`);
  return value;
}

function booleanOf(text) {
  const lower = String(text).trim().toLowerCase();
  if (lower === "true") return true;
  if (lower === "false") return false;
  throw new Error(`"${text}" is neither True nor False`);
}

// The kind of a value as it came from the service.
export function kindOf(variant) {
  if (!variant || typeof variant !== "object") return "Text";
  switch (variant.t) {
    case "s": return "Text";
    case "b": return "Boolean";
    case "i": case "n": case "y": return "Long";
    case "d": return "Double";
    case "(sv)": return variant.v[0];
    case "ay": return "Bytes";
    default: return variant.t;
  }
}

// A value as a person reads it.
export function valueText(variant) {
  const value = plain(variant);
  if (value === true) return "True";
  if (value === false) return "False";
  if (value && typeof value === "object") {
    if (value.date !== undefined) return dateText(value.date);
    if (value.empty) return "";
    if (value.null) return "Null";
    return JSON.stringify(value);
  }
  return String(value ?? "");
}

// Date serial (days since 30 December 1899) as "M/d/yyyy h:mm:ss AM/PM".
export function dateText(serial) {
  const ms = Math.round((serial - 25569) * 86400000);
  const d = new Date(ms);
  const hours = d.getUTCHours();
  const twelve = hours % 12 === 0 ? 12 : hours % 12;
  const pad = n => String(n).padStart(2, "0");
  return `${d.getUTCMonth() + 1}/${d.getUTCDate()}/${d.getUTCFullYear()} ` +
    `${twelve}:${pad(d.getUTCMinutes())}:${pad(d.getUTCSeconds())} ${hours < 12 ? "AM" : "PM"}`;
}

// An alert's EventDateTime text ("mm/dd/yyyy hh:nn:ss", UTC) as a Date, or
// null when it is not one.
export function alertTime(text) {
  const match = /^(\d{1,2})[/.-](\d{1,2})[/.-](\d{4}) (\d{1,2}):(\d{2}):(\d{2})$/.exec(String(text ?? "").trim());
  if (!match) return null;
  const [, month, day, year, hour, minute, second] = match.map(Number);
  const ms = Date.UTC(year, month - 1, day, hour, minute, second);
  return Number.isNaN(ms) ? null : new Date(ms);
}
