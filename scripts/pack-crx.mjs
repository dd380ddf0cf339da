/* Packs the Chromium extension for deployment by policy: a CRX3 file signed
   with the extension's private key, and beside it the update manifest
   (gupdate XML) that Chrome and Edge read from the policy's update URL.
     node pack-crx.mjs <extension zip> <RSA private key, PEM> <out folder>
   The update manifest's codebase is CORV_EXTENSION_URL, the address where
   the CRX will be hosted; without it a placeholder that cannot resolve.
   Writes <out>/corvala-print-<version>.crx and
   <out>/corvala-print-<version>-update.xml, each under a temporary name
   first.  The packer (npm's crx) lives in the build folder's node folder. */
import * as fs from "node:fs";
import { createRequire } from "node:module";
import * as path from "node:path";

const [zipPath, keyPath, out] = process.argv.slice(2);
if (!out) {
  console.error("usage: pack-crx.mjs <extension zip> <private key PEM> <out folder>");
  process.exit(2);
}
const here = path.dirname(new URL(import.meta.url).pathname);
const build = process.env.CORV_BUILD_DIR ?? path.join(here, "..", "build");
let ChromeExtension;
try {
  ChromeExtension = createRequire(path.join(build, "node", "packer.js"))("crx");
} catch {
  console.error(`pack-crx.mjs: no CRX packer in ${build}/node: run scripts/setup-deps.sh`);
  process.exit(1);
}

const PLACEHOLDER = "https://set-CORV_EXTENSION_URL.invalid/";

/* The packer writes the address into an attribute as it is. */
const xmlEscape = (text) => text.replace(/[&<>'"]/g, (c) => `&#${c.charCodeAt(0)};`);

function writeAtomically(file, bytes) {
  fs.writeFileSync(file + ".part", bytes);
  fs.renameSync(file + ".part", file);
}

async function main() {
  const contents = fs.readFileSync(zipPath);
  /* The manifest travels inside the zip; the packer reads only its version. */
  const unpacked = path.join(path.dirname(zipPath), "chromium");
  const version = JSON.parse(fs.readFileSync(path.join(unpacked, "manifest.json"), "utf8")).version;
  const name = `corvala-print-${version}`;
  const codebase = process.env.CORV_EXTENSION_URL || `${PLACEHOLDER}${name}.crx`;
  const crx = new ChromeExtension({ privateKey: fs.readFileSync(keyPath), codebase: xmlEscape(codebase) });
  await crx.load(unpacked);
  const packed = await crx.pack(contents);
  fs.mkdirSync(out, { recursive: true });
  writeAtomically(path.join(out, `${name}.crx`), packed);
  writeAtomically(path.join(out, `${name}-update.xml`), crx.generateUpdateXML());
  if (!process.env.CORV_EXTENSION_URL)
    console.log(`pack-crx.mjs: CORV_EXTENSION_URL not set: ${name}-update.xml names the placeholder ${codebase}`);
}

main().catch((error) => {
  console.error(`pack-crx.mjs: ${error.message ?? error}`);
  process.exit(1);
});
