// Bundles the page with esbuild into OUTDIR (default ./dist):
//   node build.mjs [OUTDIR]
// React and PatternFly are bundled; cockpit.js is the one the installed
// Cockpit serves (../base1/cockpit.js), so the page always speaks the
// bridge's own protocol.
import * as esbuild from "esbuild";
import { copyFile, mkdir, rm } from "node:fs/promises";
import path from "node:path";
import { fileURLToPath } from "node:url";

const here = path.dirname(fileURLToPath(import.meta.url));
const outdir = path.resolve(process.argv[2] ?? path.join(here, "dist"));

await rm(outdir, { recursive: true, force: true });
await mkdir(outdir, { recursive: true });
await esbuild.build({
  entryPoints: { index: path.join(here, "src/index.jsx") },
  bundle: true,
  outdir,
  minify: true,
  sourcemap: false,
  target: ["es2020"],
  jsx: "automatic",
  legalComments: "linked",
  loader: { ".woff2": "file", ".woff": "file", ".svg": "dataurl", ".png": "dataurl" },
  assetNames: "fonts/[name]",
  define: { "process.env.NODE_ENV": '"production"' },
  logLevel: "warning",
});
for (const file of ["index.html", "manifest.json"]) {
  await copyFile(path.join(here, "src", file), path.join(outdir, file));
}
