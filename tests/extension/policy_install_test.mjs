/* The Chromium package as an administrator deploys it: the CRX and its
   update manifest hosted on the loopback server, named by a machine policy
   (ExtensionInstallForcelist), and Chromium started without loading the
   extension itself installs it, with the id that the host manifest allows:
   the page API answers and a print reaches the viewer through the host.
   The policy file exists only for the length of the test. */
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import * as fs from "node:fs";
import * as path from "node:path";
import { after, before, test } from "node:test";
import * as bed from "./bed.mjs";

const work = bed.scratch("extension-policy");
const records = path.join(work, "records");
fs.mkdirSync(records);
const POLICY = `/etc/chromium/policies/managed/corvala-policy-install-test-${process.pid}.json`;
const KEY = process.env.CORV_EXTENSION_KEY || path.join(bed.BUILD, "extension", "dev-key.pem");
let context;
/* Also when the test is stopped from outside. */
const removePolicy = () => fs.rmSync(POLICY, { force: true });
process.on("exit", removePolicy);
for (const signal of ["SIGINT", "SIGTERM"])
  process.on(signal, () => process.exit(1));

/* The build's packer, with the loopback server's address as codebase. */
function hostPackage() {
  const zip = fs.readdirSync(path.join(bed.BUILD, "extension")).find((name) => name.endsWith("-chromium.zip"));
  const name = zip.replace(/-chromium\.zip$/, "");
  const packer = spawnSync("node", [path.join(bed.ROOT, "scripts", "pack-crx.mjs"),
    path.join(bed.BUILD, "extension", zip), KEY, bed.HTTP_ROOT],
  { env: { ...process.env, CORV_EXTENSION_URL: `${bed.HTTP}/files/${name}.crx` }, encoding: "utf8" });
  assert.equal(packer.status, 0, packer.stderr);
  return `${bed.HTTP}/files/${name}-update.xml`;
}

before(async () => {
  const updateUrl = hostPackage();
  fs.mkdirSync(path.dirname(POLICY), { recursive: true });
  fs.writeFileSync(POLICY, JSON.stringify({ ExtensionInstallForcelist: [`${bed.EXTENSION_ID};${updateUrl}`] }));
  bed.setViewer(bed.RECORDER);
  const profile = path.join(work, "profile");
  bed.installHost(path.join(profile, "NativeMessagingHosts"), work, records);
  /* The driver's defaults would switch off extensions and the background
     networking that fetches the update manifest. */
  context = await bed.playwright().chromium.launchPersistentContext(profile, {
    executablePath: "/usr/bin/chromium",
    headless: true,
    ignoreDefaultArgs: ["--disable-extensions", "--disable-background-networking",
      "--disable-component-extensions-with-background-pages"],
  });
});
after(async () => {
  removePolicy();
  await context?.close();
  bed.setViewer(null);
});

/* Whether the page API answers on a fresh load of the test page. */
async function answers(page) {
  try {
    await bed.openPage(page, { file: "policy.cvep" });
    return true;
  } catch {
    return false;
  }
}

test("Chromium installs the package named by policy, with the id the host allows", async () => {
  const page = context.pages()[0] ?? await context.newPage();
  bed.publish("policy.cvep", "printed by a policy-installed extension\n");
  assert.ok(await bed.until(() => answers(page), 90000), "the extension was installed and answers the page");
  /* The host lets in only the id of the build's key. */
  const statuses = await bed.pagePrint(page, "/spool/policy.cvep");
  assert.equal(statuses.at(-1).state, "done", JSON.stringify(statuses.at(-1)));
  const runs = await bed.until(() => bed.viewerRuns(records).length > 0 && bed.viewerRuns(records));
  assert.equal(runs[0].bytes.toString(), "printed by a policy-installed extension\n");
});
