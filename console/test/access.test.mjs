// A Cockpit use.session of a user the bus refuses (neither root nor a member of
// "hearth"): every view says what is unavailable, none shows an error page,
// and nothing can be changed.
import assert from "node:assert/strict";
import { test } from "node:test";

import { openView, screenshot, useWorld } from "./harness.mjs";

const use = useWorld({ unprivileged: true });

for (const [view, what] of [["overview", "The service"], ["alerts", "Alerts"], ["settings", "Settings"],
  ["securelogs", "Secure logs"]]) {
  test(`the ${view} view is shown as unavailable to a user without rights`, async () => {
    await openView(use.session, view);
    const note = use.session.page.locator(".hearth-unavailable", { hasText: `${what} unavailable` });
    await note.waitFor();
    assert.match(await note.textContent(), /group "hearth"/);
    assert.equal(await use.session.page.locator("#settings-add:not([disabled])").count(), 0);
    await screenshot(use.session, `access-${view}`);
  });
}

test("the backups view is shown as unavailable to a user without rights", async () => {
  await openView(use.session, "backups");
  const note = use.session.page.locator(".hearth-unavailable", { hasText: "Backups unavailable" });
  await note.waitFor();
  assert.match(await note.textContent(), /Turn on administrative access/);
  assert.equal(await use.session.page.locator("#backup-start").count(), 0);
  await screenshot(use.session, "access-backups");
});

test("the overview's plug-ins and secure logs are unavailable too, with the reason, not an error page", async () => {
  await openView(use.session, "overview");
  for (const what of ["Feature plug-ins", "Secure logs"]) {
    const note = use.session.page.locator(".hearth-unavailable", { hasText: `${what} unavailable` });
    await note.waitFor();
    assert.match(await note.textContent(), /group "hearth"/);
  }
});
