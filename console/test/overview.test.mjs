// The overview in light and in dark: the service's own version and folders.
import assert from "node:assert/strict";
import { test } from "node:test";

import { openView, screenshot, useWorld } from "./harness.mjs";

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

test("the page tells when the service goes away", async () => {
  const session = await use.world.cockpit();
  await openView(session, "overview");
  await session.page.locator("#service-state", { hasText: "Service running" }).waitFor();
  await use.world.stopService();
  await session.page.locator("#service-state", { hasText: "Service not running" }).waitFor();
  await screenshot(session, "overview-stopped");
});
