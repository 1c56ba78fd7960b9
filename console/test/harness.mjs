// One browser test's world: a private dbus-daemon (the system bus's default
// policy plus hearthd's installed policy file), hearthd on a fresh root on
// that bus, Debian's cockpit-ws on 127.0.0.1 with a local session
// (cockpit-bridge, no login, no TLS) that sees the built page and the
// private bus, and Debian's chromium driven by playwright-core. Nothing of
// the machine's own bus or root is touched.
//
// The build tells where things are (ctest sets these):
//   HEARTH_BIN_DIR      hearthd and hearthctl
//   HEARTH_SOURCE_DIR   the source tree (the bus policy file)
//   HEARTH_CONSOLE_DATA the folder holding cockpit/hearth/ (build/<kind>/share)
//   HEARTH_SCREENSHOTS  where each flow leaves its screenshots
import { spawn, spawnSync } from "node:child_process";
import { chmodSync, chownSync, existsSync, mkdirSync, mkdtempSync, rmSync, writeFileSync } from "node:fs";
import net from "node:net";
import os from "node:os";
import path from "node:path";
import { setTimeout as sleep } from "node:timers/promises";

import { after, before } from "node:test";

import { chromium } from "playwright-core";

const here = path.dirname(new URL(import.meta.url).pathname);
export const sourceDir = process.env.HEARTH_SOURCE_DIR ?? path.resolve(here, "../..");
export const binDir = process.env.HEARTH_BIN_DIR ?? path.join(sourceDir, "build/asan/bin");
const consoleData = process.env.HEARTH_CONSOLE_DATA ?? path.join(path.dirname(binDir), "share");
export const screenshotDir = process.env.HEARTH_SCREENSHOTS ?? path.join(path.dirname(binDir), "console-screenshots");

const COCKPIT_WS = "/usr/lib/cockpit/cockpit-ws";
const CHROMIUM = process.env.HEARTH_CHROMIUM ?? "/usr/bin/chromium";
const NOBODY = 65534;

// The environment every program of the test gets: the private bus as the
// system bus, no session bus, and nothing inherited that points elsewhere.
function baseEnvironment(busAddress, extra = {}) {
  const env = {};
  for (const [name, value] of Object.entries(process.env)) {
    if (/^(DBUS_|XDG_|DISPLAY$|WAYLAND_)/.test(name)) continue;
    env[name] = value;
  }
  return {
    ...env,
    DBUS_SYSTEM_BUS_ADDRESS: busAddress,
    DBUS_SESSION_BUS_ADDRESS: "disabled:",
    ...extra,
  };
}

function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.once("error", reject);
    server.listen(0, "127.0.0.1", () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

async function waitFor(what, test, limitMs = 30000) {
  const deadline = Date.now() + limitMs;
  for (;;) {
    if (await test()) return;
    if (Date.now() > deadline) throw new Error(`timed out waiting for ${what}`);
    await sleep(50);
  }
}

function portOpen(port) {
  return new Promise(resolve => {
    const socket = net.connect(port, "127.0.0.1");
    socket.once("connect", () => { socket.destroy(); resolve(true); });
    socket.once("error", () => resolve(false));
  });
}

export class World {
  constructor() {
    this.folder = mkdtempSync(path.join(os.tmpdir(), "hearth-console-"));
    chmodSync(this.folder, 0o755);  // the unprivileged bridge reaches the bus socket
    this.root = path.join(this.folder, "root");
    this.socket = path.join(this.folder, "bus.sock");
    this.busAddress = `unix:path=${this.socket}`;
    this.processes = [];
    this.sessions = [];
  }

  // Starts the bus and hearthd; `cockpit()` then starts a session on them.
  async start() {
    writeFileSync(path.join(this.folder, "bus.conf"),
      "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN\"\n" +
      " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n<busconfig>\n" +
      `  <listen>unix:path=${this.socket}</listen>\n  <auth>EXTERNAL</auth>\n` +
      // The system bus's default policy, shared with the C++ bus tests, so
      // that hearthd's policy file is what lets callers in.
      `  <include>${path.join(sourceDir, "tests/bus/system-bus-defaults.conf")}</include>\n` +
      `  <include>${path.join(sourceDir, "config/dbus/com.norvale.Hearth.conf")}</include>\n</busconfig>\n`);
    this.spawn("dbus-daemon", "/usr/bin/dbus-daemon",
      ["--nofork", "--nopidfile", `--config-file=${path.join(this.folder, "bus.conf")}`]);
    await waitFor("the private bus", () => existsSync(this.socket));
    await this.startService();
  }

  async startService() {
    this.service = this.spawn("hearthd", path.join(binDir, "hearthd"), ["--root", this.root]);
    await waitFor("hearthd's name on the bus", () => this.nameHasOwner());
  }

  // Stops hearthd as systemd would (SIGTERM) and waits for it to end.
  async stopService() {
    const service = this.service;
    this.service = null;
    if (!service || service.exitCode !== null) return;
    const ended = new Promise(resolve => service.once("exit", resolve));
    service.kill("SIGTERM");
    await ended;
  }

  nameHasOwner() {
    const r = this.run("busctl", ["--system", "call", "org.freedesktop.DBus", "/org/freedesktop/DBus",
      "org.freedesktop.DBus", "NameHasOwner", "s", "com.norvale.Hearth"]);
    return r.status === 0 && r.stdout === "b true\n";
  }

  spawn(name, program, args, options = {}) {
    const out = path.join(this.folder, `${name}.log`);
    const child = spawn(program, args, {
      env: options.env ?? baseEnvironment(this.busAddress),
      stdio: ["ignore", "pipe", "pipe"],
      uid: options.uid,
      gid: options.gid,
      // Its own process group, so that what it starts (the bridge starts an
      // ssh-agent) ends with it.
      detached: true,
    });
    const chunks = [];
    child.stdout.on("data", d => chunks.push(d));
    child.stderr.on("data", d => chunks.push(d));
    child.on("exit", () => { try { writeFileSync(out, Buffer.concat(chunks)); } catch { /* folder gone */ } });
    child.output = () => Buffer.concat(chunks).toString();
    this.processes.push(child);
    return child;
  }

  // A user whose primary group is "hearth", made for this world and removed
  // with it (the group is made when missing and left, as the package makes
  // it too). Answers { uid, gid }.
  hearthMember() {
    const name = `hearth-c${process.pid}`;
    const tool = (program, args) => {
      // The account tools lock the user database; another run may hold it.
      for (let attempt = 0; attempt < 20; attempt++) {
        if (spawnSync(program, args, { stdio: "ignore" }).status === 0) return;
        spawnSync("sleep", ["0.1"]);
      }
      throw new Error(`${program} ${args.join(" ")} failed`);
    };
    tool("groupadd", ["--force", "--system", "hearth"]);
    tool("useradd", ["--no-create-home", "--no-user-group", "--gid", "hearth", "--shell", "/usr/sbin/nologin", name]);
    this.members = [...(this.members ?? []), name];
    const id = flag => Number(spawnSync("id", [flag, name], { encoding: "utf8" }).stdout.trim());
    return { uid: id("-u"), gid: id("-g") };
  }

  // Runs a program to its end on the private bus.
  run(program, args) {
    return spawnSync(program, args, { env: baseEnvironment(this.busAddress), encoding: "utf8", timeout: 60000 });
  }

  // hearthctl on this world's root; throws with its words when it fails.
  hearthctl(...args) {
    const r = this.run(path.join(binDir, "hearthctl"), ["--root", this.root, ...args]);
    if (r.status !== 0) throw new Error(`hearthctl ${args.join(" ")}: ${r.status}\n${r.stdout}${r.stderr}`);
    return r.stdout;
  }

  // A Cockpit session on this world's bus, as root (the administrator) or as
  // an unprivileged user; answers the page of the service, opened.
  // `user` ({ uid, gid }) runs the session as that user instead.
  async cockpit({ unprivileged = false, user = null, colorScheme = "light" } = {}) {
    const account = user ?? (unprivileged ? { uid: NOBODY, gid: NOBODY } : null);
    const port = await freePort();
    const home = path.join(this.folder, `home-${this.sessions.length}`);
    mkdirSync(home, { recursive: true });
    const runtime = path.join(home, "run");
    mkdirSync(runtime, { mode: 0o700 });
    if (account) {
      chownSync(home, account.uid, account.gid);
      chownSync(runtime, account.uid, account.gid);
    }
    const env = baseEnvironment(this.busAddress, {
      HOME: home,
      XDG_RUNTIME_DIR: runtime,
      // The built page first, then Debian's Cockpit (base1, the shell's parts).
      XDG_DATA_DIRS: `${consoleData}:/usr/share`,
      XDG_CONFIG_DIRS: path.join(this.folder, "cockpit-config"),
    });
    const ws = this.spawn(`cockpit-ws-${port}`, COCKPIT_WS,
      ["--address=127.0.0.1", `--port=${port}`, "--local-session=cockpit-bridge"],
      { env, uid: account?.uid, gid: account?.gid });
    await waitFor("cockpit-ws", async () => {
      if (ws.exitCode !== null) throw new Error(`cockpit-ws ended: ${ws.output()}`);
      return portOpen(port);
    });
    const browser = await chromium.launch({
      executablePath: CHROMIUM,
      headless: true,
      args: ["--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"],
      env: baseEnvironment("unix:path=/nonexistent/hearth-tests-have-no-system-bus", { HOME: home }),
    });
    const context = await browser.newContext({ viewport: { width: 1280, height: 900 }, colorScheme });
    const page = await context.newPage();
    page.setDefaultTimeout(20000);
    const messages = [];
    page.on("console", m => messages.push(`${m.type()}: ${m.text()}`));
    page.on("pageerror", e => messages.push(`pageerror: ${e.message}`));
    const session = { browser, page, port, messages, base: `http://127.0.0.1:${port}/cockpit/@localhost/hearth/index.html` };
    this.sessions.push(session);
    return session;
  }

  async stop() {
    for (const s of this.sessions) await s.browser.close().catch(() => {});
    await this.stopService().catch(() => {});
    for (const child of this.processes.reverse()) {
      try { process.kill(-child.pid, "SIGTERM"); } catch { /* the group has ended */ }
    }
    await sleep(100);
    // userdel refuses while the user's processes (the bridge) are ending.
    for (const name of this.members ?? []) {
      for (let attempt = 0; attempt < 50; attempt++) {
        if (spawnSync("userdel", [name], { stdio: "ignore" }).status === 0) break;
        await sleep(100);
      }
    }
    if (!process.env.HEARTH_KEEP_WORLD) rmSync(this.folder, { recursive: true, force: true });
  }
}

// Opens a view of the page, freshly read, and waits until it has drawn.
export async function openView(session, view) {
  const url = `${session.base}#/${view}`;
  // Going to the URL the page is at would change nothing: load it afresh.
  if (session.page.url() === url) await session.page.reload();
  else await session.page.goto(url);
  await session.page.locator(`#view-${view}`).waitFor();
}

// Saves a screenshot of the page for a person to look at.
export async function screenshot(session, name) {
  mkdirSync(screenshotDir, { recursive: true });
  // Transitions are run to their end, so a button just enabled is not shown
  // half faded.
  await session.page.screenshot({ path: path.join(screenshotDir, `${name}.png`), fullPage: true, animations: "disabled" });
}

// A world for one test file, started before its tests and stopped after
// them, with one Cockpit session opened on it unless `session` is false.
export function useWorld({ session = true, ...options } = {}) {
  const handle = { world: null, session: null };
  before(async () => {
    handle.world = new World();
    await handle.world.start();
    if (session) handle.session = await handle.world.cockpit(options);
  });
  after(async () => { await handle.world?.stop(); });
  return handle;
}
