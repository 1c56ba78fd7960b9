// The overview in light and in dark: the service's own version and folders.
import assert from "node:assert/strict";
import { after, before, test } from "node:test";

import { openView, screenshot, World } from "./harness.mjs";

let world;
before(async () => { world = new World(); await world.start(); });
after(async () => { await world?.stop(); });

test("the overview shows the running service's version and its folders under the root", async () => {
  const session = await world.cockpit();
  await openView(session, "overview");
  const { page } = session;
  await page.locator("#service-state", { hasText: "Service running" }).waitFor();
  await page.locator("#overview-version", { hasText: "2.01.007" }).waitFor();
  assert.equal(await page.locator("#overview-profile-path").textContent(),
    `${world.root}/commonfiles/Norvale/QORC/prf`);
  await screenshot(session, "overview-light");
});

test("the overview follows a dark browser", async () => {
  const session = await world.cockpit({ colorScheme: "dark" });
  await openView(session, "overview");
  await session.page.locator("#overview-version", { hasText: "2.01.007" }).waitFor();
  assert.ok(await session.page.evaluate(() => document.documentElement.classList.contains("pf-v6-theme-dark")));
  await screenshot(session, "overview-dark");
});

test("the page tells when the service goes away", async () => {
  const session = await world.cockpit();
  await openView(session, "overview");
  await session.page.locator("#service-state", { hasText: "Service running" }).waitFor();
  await world.stopService();
  await session.page.locator("#service-state", { hasText: "Service not running" }).waitFor();
  await screenshot(session, "overview-stopped");
});
