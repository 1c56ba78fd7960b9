// A Cockpit session of a user the bus refuses (neither root nor a member of
// "hearth"): every view says what is unavailable, none shows an error page,
// and nothing can be changed.
import assert from "node:assert/strict";
import { after, before, test } from "node:test";

import { openView, screenshot, World } from "./harness.mjs";

let world;
let session;
before(async () => {
  world = new World();
  await world.start();
  session = await world.cockpit({ unprivileged: true });
});
after(async () => { await world?.stop(); });

for (const [view, what] of [["overview", "The service"], ["alerts", "Alerts"], ["settings", "Settings"]]) {
  test(`the ${view} view is shown as unavailable to a user without rights`, async () => {
    await openView(session, view);
    const note = session.page.locator(".hearth-unavailable", { hasText: `${what} unavailable` });
    await note.waitFor();
    assert.match(await note.textContent(), /group "hearth"/);
    assert.equal(await session.page.locator("#settings-add:not([disabled])").count(), 0);
    await screenshot(session, `access-${view}`);
  });
}
