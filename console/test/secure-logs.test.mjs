// Secure logs: report entries written through the service's "logalert"
// action are listed with the unread ones marked; "mark read" marks them.
import assert from "node:assert/strict";
import { writeFileSync } from "node:fs";
import path from "node:path";
import { test } from "node:test";

import { openView, screenshot, useWorld } from "./harness.mjs";

const use = useWorld();

function report(host, alertId) {
  const file = path.join(use.world.folder, `${alertId}.xml`);
  writeFileSync(file, `<m><action type='logalert'><entrytype>REPORT</entrytype><host>${host}</host>` +
    `<alertid>${alertId}</alertid><date>1/2/2024</date></action></m>`);
  use.world.hearthctl("action", file);
}

test("a log's entries show with the unread ones marked, and mark read reaches the log", async () => {
  report("one.example", "CF1");
  report("two.example", "CF2");
  await openView(use.session, "securelogs");
  const { page } = use.session;
  await page.locator("#securelog-name").fill("Report");
  await page.locator("#securelog-show").click();
  const rows = page.locator("#securelog-entries tbody tr");
  await rows.nth(1).waitFor();
  assert.deepEqual(await rows.locator("td:nth-child(4)").allTextContents(), ["one.example", "two.example"]);
  assert.equal(await rows.filter({ hasText: "Unread" }).count(), 2);
  assert.match(await rows.first().textContent(), /1\/2\/2024.*CF1.*This Computer/);
  await screenshot(use.session, "securelogs-unread");

  await page.locator("#securelog-mark-read").click();
  await rows.filter({ hasText: "Unread" }).first().waitFor({ state: "detached" });
  assert.equal(await rows.count(), 2);
  assert.equal(use.world.hearthctl("securelog", "list"), "report\t2 entries\t0 unread\tverifies\n");
});

test("a log without entries says so", async () => {
  await openView(use.session, "securelogs");
  await use.session.page.locator("#securelog-name").fill("Nothing");
  await use.session.page.locator("#securelog-show").click();
  await use.session.page.locator("#securelog-empty").waitFor();
});
