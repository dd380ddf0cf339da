/* The same extension in Firefox ESR: pages in tabs of one browser press
   their own buttons or click a spool file's link, the host under Wine
   starts the recorder standing in for the viewer, and each page posts its
   statuses to the loopback server.
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
  "browser.download.folderList": 2,
  "browser.download.useDownloadDir": true,
  "browser.download.always_ask_before_handling_new_types": false,
  "browser.download.start_downloads_in_tmp_dir": false,
};

function makeProfile(work, downloads) {
  const profile = path.join(work, "profile");
  fs.mkdirSync(path.join(profile, "extensions"), { recursive: true });
  fs.copyFileSync(path.join(bed.BUILD, "extension", "corvala-print-1.0.5-firefox.xpi"),
    path.join(profile, "extensions", `${bed.GECKO_ID}.xpi`));
  const preferences = { ...PREFERENCES, "browser.download.dir": downloads };
  fs.writeFileSync(path.join(profile, "user.js"), Object.entries(preferences)
    .map(([name, value]) => `user_pref(${JSON.stringify(name)}, ${JSON.stringify(value)});\n`).join(""));
  return profile;
}

test("Firefox ESR: the page button and the takeover print through the host; redirects away and web pages are refused", async () => {
  const work = bed.scratch("extension-firefox");
  const records = path.join(work, "records");
  const home = path.join(work, "home");
  const downloads = path.join(work, "downloads");
  fs.mkdirSync(records);
  fs.mkdirSync(downloads);
  bed.installHost(path.join(home, ".mozilla", "native-messaging-hosts"), work, records, "firefox");
  const sample = fs.readFileSync(path.join(bed.ROOT, "samples", "inventory-status.txt"));
  const taken = Buffer.concat([sample, Buffer.from("taken over\n")]);
  bed.publish("firefox.cvep", sample);
  bed.publish("firefox-taken.cvep", taken);
  bed.setViewer(bed.RECORDER);
  const key = `firefox-${process.pid}`;
  const OTHER_ORIGIN = bed.HTTP.replace("127.0.0.1", "localhost");
  /* one tab each: [report key, page query, the last state, the message] */
  const rows = [
    ["redirect", { file: "firefox.cvep", url: "/redirect/1/firefox.cvep" }, "outcome", null],
    ["away", { url: `/away?to=${OTHER_ORIGIN}/files/firefox.cvep` }, "error", /another site/],
    ["webpage", { url: "/spool/firefox.cvep?as=html" }, "error", /web page instead of a spool file/],
  ];
  const pages = rows.map(([name, query]) => `${bed.HTTP}/page/print_page.html?` +
    new URLSearchParams({ ...query, auto: "", report: `${key}-${name}` }));
  pages.push(`${bed.HTTP}/page/print_page.html?file=firefox-taken.cvep&click=attachment`);
  const log = fs.openSync(path.join(work, "firefox.log"), "w");
  const firefox = spawn("firefox-esr", ["--headless", "--no-remote", "--profile", makeProfile(work, downloads), ...pages],
    { env: { ...process.env, HOME: home }, detached: true, stdio: ["ignore", log, log] });
  const ended = new Promise((resolve) => firefox.on("exit", resolve));
  try {
    for (const [name, , state, message] of rows) {
      const report = JSON.parse(await bed.until(() => bed.httpText(`/report/${key}-${name}`), 90000) ?? "null");
      assert.ok(report, `the page ${name} reported`);
      assert.equal(report.statuses.at(-1).state, state, `${name}: ${JSON.stringify(report.statuses.at(-1))}`);
      if (message)
        assert.match(report.statuses.at(-1).message, message);
    }
    const runs = await bed.until(() => bed.viewerRuns(records).length >= 2 && bed.viewerRuns(records), 60000);
    assert.ok(runs, "the redirect and the takeover reached the viewer");
    assert.deepEqual(runs.map((run) => run.bytes.length).sort(), [sample.length, taken.length]);
    assert.equal(await bed.httpText("/stats/spool/firefox-taken.cvep"), "1", "the takeover asked the server once");
    assert.ok(await bed.until(() => fs.readdirSync(downloads).length === 0), "nothing stays in the downloads folder");
    await bed.sleep(500);
    assert.equal(bed.viewerRuns(records).length, 2, "nothing else printed");
    assert.deepEqual(bed.hostTempFiles(), []);
  } finally {
    process.kill(-firefox.pid, "SIGTERM");
    await ended;
    bed.setViewer(null);
  }
});
