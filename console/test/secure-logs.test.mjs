// Secure logs: the logs listed with their counts and verification; a log's
// entries with the unread ones marked, "mark read" reaching the log;
// verification with what the service found, also for a log edited by hand,
// and the sealed range with a verification key.
import assert from "node:assert/strict";
import { readFileSync, writeFileSync } from "node:fs";
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

const logRow = name => use.session.page.locator(`#securelog-list tbody tr[data-log="${name}"]`);

test("the logs are listed with their counts; a log's entries show with the unread ones marked", async () => {
  await openView(use.session, "securelogs");
  await use.session.page.locator("#securelog-none").waitFor();
  report("one.example", "CF1");
  report("two&three.example", "CF2");
  await openView(use.session, "securelogs");
  const { page } = use.session;
  await logRow("report").waitFor();
  assert.deepEqual(await logRow("report").locator("td").allTextContents(), ["report", "2", "2", "verifies"]);
  await logRow("report").click();
  const rows = page.locator("#securelog-entries tbody tr");
  await rows.nth(1).waitFor();
  assert.deepEqual(await rows.locator("td:nth-child(4)").allTextContents(), ["one.example", "two&three.example"]);
  assert.equal(await rows.filter({ hasText: "Unread" }).count(), 2);
  assert.match(await rows.first().textContent(), /1\/2\/2024.*CF1.*This Computer/);
  await screenshot(use.session, "securelogs-unread");

  await page.locator("#securelog-mark-read").click();
  await rows.filter({ hasText: "Unread" }).first().waitFor({ state: "detached" });
  assert.equal(await rows.count(), 2);
  assert.equal(use.world.hearthctl("securelog", "list"), "report\t2 entries\t0 unread\tverifies\n");
  await logRow("report").locator("td:nth-child(3)", { hasText: "0" }).waitFor();
});

test("verify says what the service found, and a key gives the sealed range", async () => {
  await openView(use.session, "securelogs");
  const { page } = use.session;
  await logRow("report").click();
  await page.locator("#securelog-verify").click();
  const findings = page.locator("#securelog-findings");
  await findings.waitFor();
  assert.match(await findings.textContent(), /The log verifies.*secure log 'report': 2 entries, the chain verifies/);

  await page.locator("#securelog-key").fill("not a key");
  await page.locator("#securelog-verify").click();
  await findings.locator("text=the verification key is not one setup-keys printed").waitFor();

  const setup = use.world.hearthctl("securelog", "setup-keys");
  const key = setup.trim().split("\n").pop();
  await page.locator("#securelog-key").fill(key);
  await page.locator("#securelog-verify").click();
  await findings.locator("text=secure log 'report': not sealed yet").waitFor();
  await screenshot(use.session, "securelogs-verify-key");
});

test("a secure log edited by hand shows \"does not verify\" with what is wrong", async () => {
  const file = path.join(use.world.root, "commonfiles/Norvale/QORC/prf/securelog/report.slog");
  const bytes = readFileSync(file);
  const at = bytes.lastIndexOf("one.example");
  assert.ok(at > 0);
  bytes[at] = "O".charCodeAt(0);
  writeFileSync(file, bytes);

  await openView(use.session, "securelogs");
  const { page } = use.session;
  await logRow("report").getByText("does not verify", { exact: true }).waitFor();
  assert.match(await logRow("report").textContent(), /does not verify.*entry \d+ /);
  await logRow("report").click();
  await page.locator("#securelog-key").fill("");
  await page.locator("#securelog-verify").click();
  const findings = page.locator("#securelog-findings");
  await findings.locator("text=The log does not verify").waitFor();
  assert.match(await findings.textContent(),
    /secure log 'report' does not verify: entry 1 does not verify \(edited, removed, reordered or written with another key\)/);
  assert.equal(use.world.hearthctl("securelog", "list"), "report\t2 entries\t0 unread\tDOES NOT VERIFY\n");
  await screenshot(use.session, "securelogs-does-not-verify");
});
