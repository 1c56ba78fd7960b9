// The overview in light and in dark: the service's own version and folders,
// the ranked plug-ins and the secure logs.
import assert from "node:assert/strict";
import { mkdirSync, readFileSync, writeFileSync } from "node:fs";
import path from "node:path";
import { test } from "node:test";

import { binDir, openView, screenshot, sourceDir, useWorld } from "./harness.mjs";

const use = useWorld({ session: false });

test("the overview shows the running service's version and its folders under the root", async () => {
  const session = await use.world.cockpit();
  await openView(session, "overview");
  const { page } = session;
  await page.locator("#service-state", { hasText: "Service running" }).waitFor();
  await page.locator("#overview-version", { hasText: "2.01.007" }).waitFor();
  assert.equal(await page.locator("#overview-profile-path").textContent(),
    `${use.world.root}/commonfiles/Norvale/QORC/prf`);
  await screenshot(session, "overview-light");
});

test("the overview follows a dark browser", async () => {
  const session = await use.world.cockpit({ colorScheme: "dark" });
  await openView(session, "overview");
  await session.page.locator("#overview-version", { hasText: "2.01.007" }).waitFor();
  assert.ok(await session.page.evaluate(() => document.documentElement.classList.contains("pf-v6-theme-dark")));
  await screenshot(session, "overview-dark");
});

test("Cockpit's menu has the Veltris entry, and it opens the page", async () => {
  const session = await use.world.cockpit();
  const { page } = session;
  await page.goto(`http://127.0.0.1:${session.port}/`);
  const entry = page.getByRole("link", { name: "Veltris" });
  await entry.waitFor();
  await entry.click();
  const frame = page.frameLocator("iframe[name$='/hearth']");
  await frame.locator("#overview-version", { hasText: "2.01.007" }).waitFor();
  await screenshot(session, "overview-in-cockpit");
});

test("the overview lists the ranked plug-ins with where each resolves and its status, and the secure logs", async () => {
  const library = path.join(path.dirname(binDir), "plugins/event_counter.so");
  use.world.hearthctl("plugins", "register", "Sample.EventCounter", library);
  const shipped = readFileSync(path.join(sourceDir, "config/branding.xml"), "utf8");
  mkdirSync(path.join(use.world.root, "config"), { recursive: true });
  writeFileSync(path.join(use.world.root, "config/branding.xml"), shipped.replace("<system></system>",
    "<system><plugin rank=\"2\"><progid>No.Such</progid></plugin>" +
    "<plugin rank=\"1\"><progid>Sample.EventCounter</progid></plugin></system>"));
  await use.world.stopService();
  await use.world.startService();
  const report = path.join(use.world.folder, "report.xml");
  writeFileSync(report, "<m><action type='logalert'><entrytype>REPORT</entrytype><host>one.example</host>" +
    "<alertid>CF1</alertid></action></m>");
  use.world.hearthctl("action", report);

  const session = await use.world.cockpit();
  await openView(session, "overview");
  const { page } = session;
  const plugins = page.locator("#overview-plugins tbody tr");
  await plugins.nth(1).waitFor();
  assert.deepEqual(await plugins.nth(0).locator("td").allTextContents(), ["1", "Sample.EventCounter", library, "OK"]);
  assert.deepEqual(await plugins.nth(1).locator("td").allTextContents(),
    ["2", "No.Such", "not registered", "not created"]);
  const logs = page.locator("#overview-securelogs tbody tr");
  await logs.first().waitFor();
  assert.deepEqual(await logs.first().locator("td").allTextContents(), ["report", "1", "1", "verifies"]);
  await screenshot(session, "overview-plugins-and-logs");
});

test("the page tells when the service goes away", async () => {
  const session = await use.world.cockpit();
  await openView(session, "overview");
  await session.page.locator("#service-state", { hasText: "Service running" }).waitFor();
  await use.world.stopService();
  await session.page.locator("#service-state", { hasText: "Service not running" }).waitFor();
  await screenshot(session, "overview-stopped");
});
