// Settings: a value edited in the page reads back with hearthctl, is in the
// stored file after a stop, and a value the collection refuses shows the
// service's reason.
import assert from "node:assert/strict";
import { test } from "node:test";

import { openView, screenshot, useWorld } from "./harness.mjs";

const use = useWorld();

async function addSetting(name, kind, value) {
  const { page } = use.session;
  await page.locator("#settings-add").click();
  await page.locator("#setting-name").fill(name);
  await page.locator("#setting-kind").selectOption(kind);
  if (kind === "Boolean") await page.locator("#setting-value").selectOption(value);
  else await page.locator("#setting-value").fill(value);
  await page.locator("#setting-save").click();
}

test("a setting added in the page is stored by the service and read back by hearthctl", async () => {
  await openView(use.session, "settings");
  const { page } = use.session;
  await page.locator("#settings-tree").waitFor();
  await addSetting("console.greeting", "Text", "Hello from Cockpit");
  await page.locator("#setting-saved").waitFor();
  assert.equal(use.world.hearthctl("settings", "get", "console.greeting").trim(), "Hello from Cockpit");
  await page.locator("#settings-filter input").fill("console.");
  await page.locator('.hearth-setting[data-name="console.greeting"]', { hasText: "Hello from Cockpit" }).waitFor();
  await screenshot(use.session, "settings-added");
});

test("editing a value keeps its type and the page follows changes made elsewhere", async () => {
  await openView(use.session, "settings");
  const { page } = use.session;
  await page.locator("#settings-filter input").fill("console.");
  await page.locator('.hearth-setting[data-name="console.greeting"]').click();
  await page.locator("#setting-value").fill("Changed in the page");
  await page.locator("#setting-save").click();
  await page.locator("#setting-saved").waitFor();
  assert.equal(use.world.hearthctl("settings", "get", "console.greeting").trim(), "Changed in the page");

  use.world.hearthctl("settings", "set", "console.count", "7", "--type", "long");
  await page.locator('.hearth-setting[data-name="console.count"]', { hasText: "7 (Long)" }).waitFor();
});

test("a value the collection refuses shows the service's reason and changes nothing", async () => {
  await openView(use.session, "settings");
  const { page } = use.session;
  await page.locator("#settings-tree").waitFor();
  await addSetting("console.two words", "Text", "x");
  const refusal = page.locator("#setting-refused");
  await refusal.waitFor();
  assert.match(await refusal.textContent(),
    /"console\.two words" cannot be a setting name \(it is not a valid XML name\)/);
  await screenshot(use.session, "settings-refused");
  await page.getByRole("button", { name: "Cancel" }).click();
  assert.throws(() => use.world.hearthctl("settings", "get", "console.two words"));
});

test("what the page stored is in the settings file after the service stops", async () => {
  await use.world.stopService();
  const stored = use.world.hearthctl("settings", "dump");
  assert.match(stored, /Changed in the page/);
});
