/* The same extension in Firefox ESR, once end to end: the page presses
   its own button, the host under Wine starts the recorder standing in for
   the viewer, and the page posts its statuses to the loopback server.
   Firefox is started by hand (headless) with a profile holding the
   unsigned package; the host manifest goes to a home folder of its own. */
import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import * as fs from "node:fs";
import * as path from "node:path";
import { test } from "node:test";
import * as bed from "./bed.mjs";

const PREFERENCES = {
  "xpinstall.signatures.required": false,
  "extensions.autoDisableScopes": 0,
  "extensions.enabledScopes": 15,
  "browser.shell.checkDefaultBrowser": false,
  "datareporting.policy.dataSubmissionEnabled": false,
  "toolkit.telemetry.reportingpolicy.firstRun": false,
  "browser.aboutwelcome.enabled": false,
  "app.update.auto": false,
};

function makeProfile(work) {
  const profile = path.join(work, "profile");
  fs.mkdirSync(path.join(profile, "extensions"), { recursive: true });
  fs.copyFileSync(path.join(bed.BUILD, "extension", "corvala-print-1.0.5-firefox.xpi"),
    path.join(profile, "extensions", `${bed.GECKO_ID}.xpi`));
  fs.writeFileSync(path.join(profile, "user.js"), Object.entries(PREFERENCES)
    .map(([name, value]) => `user_pref(${JSON.stringify(name)}, ${JSON.stringify(value)});\n`).join(""));
  return profile;
}

test("Firefox ESR: the page button prints the page's file through the host", async () => {
  const work = bed.scratch("extension-firefox");
  const records = path.join(work, "records");
  const home = path.join(work, "home");
  fs.mkdirSync(records);
  bed.installHost(path.join(home, ".mozilla", "native-messaging-hosts"), work, records, "firefox");
  const sample = fs.readFileSync(path.join(bed.ROOT, "samples", "inventory-status.txt"));
  bed.publish("firefox.cvep", sample);
  bed.setViewer(bed.RECORDER);
  const key = `firefox-${process.pid}`;
  const log = fs.openSync(path.join(work, "firefox.log"), "w");
  const firefox = spawn("firefox-esr", ["--headless", "--no-remote", "--profile", makeProfile(work),
    `${bed.HTTP}/page/print_page.html?file=firefox.cvep&auto&report=${key}`],
  { env: { ...process.env, HOME: home }, detached: true, stdio: ["ignore", log, log] });
  const ended = new Promise((resolve) => firefox.on("exit", resolve));
  try {
    const report = JSON.parse(await bed.until(() => bed.httpText(`/report/${key}`), 90000) ?? "null");
    assert.ok(report, "the page reported");
    assert.equal(report.pong.version, "1.0.5");
    assert.deepEqual(report.statuses.map((s) => s.state), ["started", "progress", "done"]);
    const runs = await bed.until(() => bed.viewerRuns(records).length > 0 && bed.viewerRuns(records));
    assert.deepEqual(runs[0].bytes, sample);
    assert.deepEqual(bed.hostTempFiles(), []);
  } finally {
    process.kill(-firefox.pid, "SIGTERM");
    await ended;
    bed.setViewer(null);
  }
});
