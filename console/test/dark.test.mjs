// Every view in a dark browser, each with its screenshot (the overview's is
// taken by overview.test.mjs).
import assert from "node:assert/strict";
import { writeFileSync } from "node:fs";
import path from "node:path";
import { test } from "node:test";

import { openView, screenshot, useWorld } from "./harness.mjs";

const use = useWorld({ colorScheme: "dark" });

test("each view follows a dark browser", async () => {
  use.world.hearthctl("alerts", "post", "Firewall", "85", "Intrusion blocked", "From 198.51.100.4");
  const file = path.join(use.world.folder, "report.xml");
  writeFileSync(file, "<m><action type='logalert'><entrytype>REPORT</entrytype><host>one.example</host>" +
    "<alertid>CF1</alertid></action></m>");
  use.world.hearthctl("action", file);

  const { page } = use.session;
  const views = [
    ["alerts", "#alert-table tbody tr"],
    ["securelogs", "#securelog-list tbody tr"],
    ["settings", "#settings-tree"],
    ["backups", "#backup-start"],
  ];
  for (const [view, drawn] of views) {
    await openView(use.session, view);
    await page.locator(drawn).first().waitFor();
    if (view === "securelogs") {
      await page.locator("#securelog-list tbody tr").first().click();
      await page.locator("#securelog-entries").waitFor();
    }
    assert.ok(await page.evaluate(() => document.documentElement.classList.contains("pf-v6-theme-dark")), view);
    await screenshot(use.session, `${view}-dark`);
  }
});
