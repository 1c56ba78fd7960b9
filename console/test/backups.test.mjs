// Backups: a folder backed up from the page shows its progress and result,
// its store lists its entry, and plays back below a chosen folder, the
// files on disk as they were; what the service refuses is shown with its
// reason.
import assert from "node:assert/strict";
import { existsSync, mkdirSync, readFileSync, symlinkSync, writeFileSync } from "node:fs";
import path from "node:path";
import { test } from "node:test";

import { openView, screenshot, useWorld } from "./harness.mjs";

const use = useWorld();

const FILES = { "a.txt": "first file\n", "sub/b.bin": "\u0000\u0001binary\u00ff", "sub/deeper/c.txt": "x".repeat(70000) };

function makeFolder() {
  const folder = path.join(use.world.folder, "papers");
  for (const [name, text] of Object.entries(FILES)) {
    mkdirSync(path.dirname(path.join(folder, name)), { recursive: true });
    writeFileSync(path.join(folder, name), text, "latin1");
  }
  // A link is never followed into a store: it is skipped and counted.
  symlinkSync("/etc/hostname", path.join(folder, "planted"));
  return folder;
}

async function backUp(page, folder, store) {
  await page.locator("#backup-folder").fill(folder);
  await page.locator("#backup-store").fill(store);
  await page.locator("#backup-start").click();
}

test("a backup shows its progress and result, lists its entry and plays back below a folder", async () => {
  const folder = makeFolder();
  await openView(use.session, "backups");
  const { page } = use.session;
  await backUp(page, folder, "papers.store");

  const progress = page.locator("#store-progress[data-state=finished]");
  await progress.waitFor();
  assert.match(await progress.textContent(), /Backing up.*3 of 3 files, 70020 of 70020 bytes/);
  assert.equal(await progress.locator("[role=progressbar]").getAttribute("aria-valuenow"), "100");
  const result = page.locator("#store-result");
  assert.equal(await result.getAttribute("data-outcome"), "complete");
  const store = path.join(use.world.root, "backups/papers.store");
  assert.match(await result.textContent(), new RegExp(`The backup ended: complete.*stored 3 files \\(70020 bytes\\) ` +
    `from ${folder} in ${store}; 1 symbolic links skipped`));
  const field = name => result.locator(`[data-field="${name}"]`).textContent();
  assert.deepEqual([await field("Entries"), await field("Files"), await field("Skipped"), await field("Failed")],
    ["1", "3", "1", "0"]);
  assert.ok(existsSync(store));
  await screenshot(use.session, "backups-backup");

  // The new store is the one offered for listing and playback.
  assert.equal(await page.locator("#store-file").inputValue(), store);
  await page.locator("#store-list").click();
  const entries = page.locator("#store-entries tbody tr");
  await entries.first().waitFor();
  assert.equal(await entries.count(), 1);
  assert.deepEqual((await entries.first().locator("td").allTextContents()).slice(0, 2), ["1", "files"]);
  assert.match(await page.locator("#store-header").textContent(), /1 entry, \d+ bytes, compressed, made by "hearth"/);

  const below = path.join(use.world.folder, "restored");
  mkdirSync(below);
  await page.locator("#restore-below").fill(below);
  await page.locator("#store-playback").click();
  const played = page.locator("#store-progress[data-state=finished]", { hasText: "Playing back" });
  await played.waitFor();
  assert.match(await played.textContent(), /Playing back.*3 files written, (\d+) of \1 bytes of the store read/);
  assert.equal(await played.locator("[role=progressbar]").getAttribute("aria-valuenow"), "100");
  assert.equal(await result.getAttribute("data-outcome"), "complete");
  assert.match(await result.textContent(), new RegExp(`played back 1 entries from ${store}: 3 files \\(70020 bytes\\).*below ${below}`));
  for (const [name, text] of Object.entries(FILES)) {
    assert.equal(readFileSync(path.join(below, folder, name), "latin1"), text, name);
  }
  assert.ok(!existsSync(path.join(below, folder, "planted")));
  await screenshot(use.session, "backups-playback");
});

test("what the service refuses is shown with its reason, and the form stays usable", async () => {
  await openView(use.session, "backups");
  const { page } = use.session;
  const failure = page.locator("#store-operation .hearth-failure");

  await backUp(page, path.join(use.world.folder, "papers"), "papers.store");
  await failure.locator("text=exists already: choose another name").waitFor();

  await backUp(page, path.join(use.world.folder, "no such folder"), "other.store");
  await failure.locator(`text=no folder ${path.join(use.world.folder, "no such folder")}`).waitFor();

  await page.locator("#store-file").fill("missing.store");
  await page.locator("#store-list").click();
  await page.locator(".hearth-failure", { hasText: `no store file ${path.join(use.world.root, "backups/missing.store")}` })
    .waitFor();
  assert.equal(await page.locator("#backup-start").isDisabled(), false);
  await screenshot(use.session, "backups-refused");
});
