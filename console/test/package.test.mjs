// The package "hearth-cockpit": CPack over the built page; the page lands
// in /usr/share/cockpit/hearth, the package depends on cockpit-bridge and
// the service, and lintian finds no error.
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import { mkdtempSync, readdirSync, rmSync } from "node:fs";
import os from "node:os";
import path from "node:path";
import { after, test } from "node:test";

const buildDir = path.dirname(process.env.HEARTH_BIN_DIR);
const scratch = mkdtempSync(path.join(os.tmpdir(), "hearth-cockpit-deb-"));
after(() => rmSync(scratch, { recursive: true, force: true }));

function run(program, args, options = {}) {
  const r = spawnSync(program, args, { encoding: "utf8", ...options });
  assert.equal(r.status, 0, `${program} ${args.join(" ")}\n${r.stdout}${r.stderr}`);
  return r.stdout;
}

test("the page is packaged as hearth-cockpit for Cockpit to find", () => {
  run("cpack", ["-G", "DEB", "--config", path.join(buildDir, "CPackConsoleConfig.cmake"), "-B", scratch],
    { cwd: scratch });
  const deb = readdirSync(scratch).find(f => /^hearth-cockpit_.*_all\.deb$/.test(f));
  assert.ok(deb, readdirSync(scratch).join(" "));
  const file = path.join(scratch, deb);

  const files = run("dpkg-deb", ["-c", file]).split("\n").map(l => l.split(/\s+/).slice(5).join(" "));
  for (const wanted of ["./usr/share/cockpit/hearth/manifest.json", "./usr/share/cockpit/hearth/index.html",
    "./usr/share/cockpit/hearth/index.js", "./usr/share/cockpit/hearth/index.css",
    "./usr/share/doc/hearth-cockpit/copyright", "./usr/share/doc/hearth-cockpit/changelog.gz"]) {
    assert.ok(files.includes(wanted), `${wanted} missing from\n${files.join("\n")}`);
  }
  assert.equal(run("dpkg-deb", ["-f", file, "Depends"]).trim(), "cockpit-bridge, hearth (= 2.1.7)");
  assert.equal(run("dpkg-deb", ["-f", file, "Package"]).trim(), "hearth-cockpit");

  const lintian = spawnSync("lintian", ["--fail-on", "error", file], { encoding: "utf8" });
  assert.equal(lintian.status, 0, lintian.stdout + lintian.stderr);
});
