// A Cockpit session of a member of "hearth" without administrative access:
// the bus grants the secure logs' listing and verification, and the page
// shows their entries as unavailable with the service's reason (the entries
// name users and addresses: root's alone), and the backups likewise.
import assert from "node:assert/strict";
import { writeFileSync } from "node:fs";
import path from "node:path";
import { test } from "node:test";

import { openView, screenshot, useWorld } from "./harness.mjs";

const use = useWorld({ session: false });

test("a member of hearth sees the secure logs listed and verified, and their entries and the backups as unavailable with the reason",
  async () => {
    const file = path.join(use.world.folder, "report.xml");
    writeFileSync(file, "<m><action type='logalert'><entrytype>REPORT</entrytype><host>one.example</host>" +
      "<alertid>CF1</alertid></action></m>");
    use.world.hearthctl("action", file);
    const session = await use.world.cockpit({ user: use.world.hearthMember() });
    await openView(session, "securelogs");
    const { page } = session;
    const row = page.locator('#securelog-list tbody tr[data-log="report"]');
    await row.waitFor();
    assert.deepEqual(await row.locator("td").allTextContents(), ["report", "1", "1", "verifies"]);
    await row.click();
    const note = page.locator(".hearth-unavailable", { hasText: "Secure log entries unavailable" });
    await note.waitFor();
    assert.match(await note.textContent(),
      /only root may call IoGetSecureLogEntries: the entries name users and the addresses they visited.*Turn on administrative access/);
    await page.locator("#securelog-verify").click();
    await page.locator("#securelog-findings", { hasText: "secure log 'report': 1 entries, the chain verifies" }).waitFor();
    await screenshot(session, "member-securelogs");
    // Nothing was marked read for the member.
    assert.equal(use.world.hearthctl("securelog", "list"), "report\t1 entries\t1 unread\tverifies\n");

    // Store files are read and written as root: root's alone.
    await openView(session, "backups");
    const backups = page.locator(".hearth-unavailable", { hasText: "Backups unavailable" });
    await backups.waitFor();
    assert.match(await backups.textContent(),
      /only root may call ListStoreFile: it reads any file as root.*Turn on administrative access/);
    await screenshot(session, "member-backups");
  });
