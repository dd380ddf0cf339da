/* The Chromium package as an administrator deploys it: the CRX and its
   update manifest on the loopback server, named by a machine policy that
   exists only for the length of the test; Chromium, not told to load the
   extension, installs it with the id the host manifest allows. */
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import * as fs from "node:fs";
import * as path from "node:path";
import { after, before, test } from "node:test";
import * as bed from "./bed.mjs";

const work = bed.scratch("extension-policy");
const records = path.join(work, "records");
fs.mkdirSync(records);
const EXT = path.join(bed.BUILD, "extension");
const POLICY = `/etc/chromium/policies/managed/corvala-policy-install-test-${process.pid}.json`;
const removePolicy = () => fs.rmSync(POLICY, { force: true });
process.on("exit", removePolicy);
for (const signal of ["SIGINT", "SIGTERM"]) process.on(signal, () => process.exit(1));
let context;

/* The build's packer again, with the loopback server's address as codebase. */
function hostPackage() {
  const name = fs.readdirSync(EXT).find((file) => file.endsWith("-chromium.zip")).replace(/-chromium\.zip$/, "");
  const key = process.env.CORV_EXTENSION_KEY || path.join(EXT, "dev-key.pem");
  const packer = spawnSync("node", [path.join(bed.ROOT, "scripts", "pack-crx.mjs"),
    path.join(EXT, `${name}-chromium.zip`), key, bed.HTTP_ROOT],
  { env: { ...process.env, CORV_EXTENSION_URL: `${bed.HTTP}/files/${name}.crx` }, encoding: "utf8" });
  assert.equal(packer.status, 0, packer.stderr);
  return `${bed.HTTP}/files/${name}-update.xml`;
}

before(async () => {
  fs.mkdirSync(path.dirname(POLICY), { recursive: true });
  for (const left of fs.readdirSync(path.dirname(POLICY)).filter((f) => f.startsWith("corvala-policy-install-test-")))
    fs.rmSync(path.join(path.dirname(POLICY), left)); /* of a run that was killed */
  fs.writeFileSync(POLICY, JSON.stringify({ ExtensionInstallForcelist: [`${bed.EXTENSION_ID};${hostPackage()}`] }));
  bed.setViewer(bed.RECORDER);
  ({ context } = await bed.launchChromium(work, { records, byPolicy: true }));
});
after(async () => {
  removePolicy();
  await context?.close();
  bed.setViewer(null);
});

test("Chromium installs the package named by policy, with the id the host allows", async () => {
  const page = context.pages()[0] ?? await context.newPage();
  bed.publish("policy.cvep", "printed by a policy-installed extension\n");
  const answered = () => bed.openPage(page, { file: "policy.cvep" }).then(() => true, () => false);
  assert.ok(await bed.until(answered, 90000), "the extension was installed and answers the page");
  /* The host lets in only the id of the build's key. */
  const statuses = await bed.pagePrint(page, "/spool/policy.cvep");
  assert.equal(statuses.at(-1).state, "outcome", JSON.stringify(statuses.at(-1)));
  const runs = await bed.until(() => bed.viewerRuns(records).length > 0 && bed.viewerRuns(records));
  assert.equal(runs[0].bytes.toString(), "printed by a policy-installed extension\n");
});
