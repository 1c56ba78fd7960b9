// Alerts of every store: one posted with hearthctl appears without a
// reload; its fields, marking it processed, deleting it, filters and the
// chart.
import assert from "node:assert/strict";
import { writeFileSync } from "node:fs";
import path from "node:path";
import { test } from "node:test";

import { openView, screenshot, useWorld } from "./harness.mjs";

const use = useWorld();

const row = summary => use.session.page.locator("#alert-table tbody tr", { hasText: summary });

test("an alert posted with hearthctl appears in the open page without a reload", async () => {
  use.world.hearthctl("alerts", "post", "Firewall", "20", "Port scan from 192.0.2.7", "Seen twice", "--id", "FW001");
  await openView(use.session, "alerts");
  await row("Port scan from 192.0.2.7").waitFor();
  const navigations = [];
  use.session.page.on("framenavigated", f => navigations.push(f.url()));
  const index = use.world.hearthctl("alerts", "post", "Firewall", "85", "Intrusion blocked", "From 198.51.100.4",
    "--id", "FW002").trim();
  await row("Intrusion blocked").waitFor();
  assert.deepEqual(navigations, []);
  assert.equal(await row("Intrusion blocked").getAttribute("data-index"), index);
  assert.match(await row("Intrusion blocked").textContent(), /85 High/);
  // hearthctl posted it through the running service, whose signal brought it.
  assert.equal(await use.session.page.locator("#alert-table").getAttribute("data-refreshed-by"), "signal");
  await screenshot(use.session, "alerts-live");
});

test("an alert the service posts appears at once, driven by the service's signal", async () => {
  const { page } = use.session;
  await openView(use.session, "alerts");
  await row("Intrusion blocked").waitFor();
  const file = path.join(use.world.folder, "alertpost.xml");
  writeFileSync(file, "<m><action type='alertpost' storename='Wavelock' Summary='Posted by the service' " +
    "description='through alertpost'/></m>");
  use.world.hearthctl("action", file);
  await row("Posted by the service").waitFor();
  assert.equal(await page.locator("#alert-table").getAttribute("data-refreshed-by"), "signal");
  await screenshot(use.session, "alerts-signal");
  // Gone again, so the later tests see the store as they expect.
  await row("Posted by the service").click();
  await page.locator("#alert-delete").click();
  await page.locator("#alert-delete-confirm").click();
  await row("Posted by the service").waitFor({ state: "detached" });
});

test("the chart counts this hour's alerts by severity", async () => {
  await openView(use.session, "alerts");
  await row("Intrusion blocked").waitFor();
  const bars = use.session.page.locator("#alert-chart rect");
  assert.equal(await bars.count(), 2);
  assert.deepEqual(
    (await bars.evaluateAll(rs => rs.map(r => r.dataset.band))).sort(), ["High", "Low"]);
});

test("text and severity filters and sorting narrow and order the table", async () => {
  await openView(use.session, "alerts");
  const { page } = use.session;
  await row("Intrusion blocked").waitFor();
  use.world.hearthctl("alerts", "post", "Wavelock", "50", "Rule changed", "By the user");
  await row("Rule changed").waitFor();
  await page.locator("#alert-store-filter").selectOption("Wavelock");
  await row("Intrusion blocked").waitFor({ state: "detached" });
  assert.deepEqual(await page.locator("#alert-table tbody tr td:nth-child(3)").allTextContents(), ["Wavelock"]);
  assert.deepEqual(await page.locator("#alert-store-filter option").allTextContents(),
    ["Every store", "Firewall", "Wavelock"]);
  await page.locator("#alert-store-filter").selectOption("");
  await page.locator("#alert-text-filter input").fill("port scan");
  await row("Intrusion blocked").waitFor({ state: "detached" });
  assert.equal(await page.locator("#alert-table tbody tr").count(), 1);
  await page.locator("#alert-text-filter input").fill("");
  await page.locator("#alert-severity-filter").selectOption("High");
  await row("Port scan").waitFor({ state: "detached" });
  assert.equal(await page.locator("#alert-table tbody tr").count(), 1);
  await page.locator("#alert-severity-filter").selectOption("");
  await page.getByRole("button", { name: "Severity" }).click();  // ascending
  await row("Port scan").waitFor();
  const summaries = await page.locator("#alert-table tbody tr td:nth-child(4)").allTextContents();
  assert.deepEqual(summaries, ["Port scan from 192.0.2.7", "Rule changed", "Intrusion blocked"]);
});

test("an alert's fields, marking it processed and deleting it", async () => {
  await openView(use.session, "alerts");
  const { page } = use.session;
  await row("Intrusion blocked").click();
  const details = page.locator("#alert-details");
  await details.waitFor();
  for (const text of ["FW002", "From 198.51.100.4", "Firewall"]) await details.getByText(text).first().waitFor();
  await page.locator("#alert-mark-processed").click();
  await row("Intrusion blocked").filter({ hasText: "Processed" }).waitFor();
  const index = await row("Intrusion blocked").getAttribute("data-index");
  assert.match(use.world.hearthctl("alerts", "show", index), /UserProc:\s*True/i);
  await screenshot(use.session, "alerts-details");

  await page.locator("#alert-delete").click();
  await page.locator("#alert-delete-confirm").click();
  await row("Intrusion blocked").waitFor({ state: "detached" });
  const listed = use.world.hearthctl("alerts", "list", "Firewall");
  assert.doesNotMatch(listed, /Intrusion blocked/);
  assert.match(listed, /Port scan from 192.0.2.7/);
});
