/* The extension in headless Chromium against the loopback server: the
   page button and the download takeover bring the browser's own download
   to the print host, which starts the recorder standing in for the viewer
   (the real viewer: chromium_outcome_test.mjs); refusals print nothing; nothing of ours stays in the downloads folder; with no
   host installed downloads land as usual. */
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import { randomBytes } from "node:crypto";
import * as fs from "node:fs";
import * as path from "node:path";
import { after, before, test } from "node:test";
import * as bed from "./bed.mjs";

const work = bed.scratch("extension-chromium");
const records = path.join(work, "records");
fs.mkdirSync(records);
const sample = fs.readFileSync(path.join(bed.ROOT, "samples", "inventory-status.txt"));
const OTHER_ORIGIN = bed.HTTP.replace("127.0.0.1", "localhost");
let browser;

before(async () => {
  bed.setViewer(bed.RECORDER);
  browser = await bed.launchChromium(path.join(work, "with-host"), { records });
});
after(async () => {
  await browser?.context.close();
  bed.setViewer(null);
});

/* Waits for the recorder's next run and checks the hand-off's shape. */
async function nextRun(before) {
  const runs = await bed.until(() => { const r = bed.viewerRuns(records); return r.length > before && r; });
  assert.ok(runs, "the viewer was started");
  const run = runs[before];
  assert.match(run.command, /^"[^"]*viewer_recorder\.exe" "[^"]*\\CVT[^"\\]*" -d -o "[^"]*"$/i);
  assert.ok(run.deleted, "the viewer could delete the host's file");
  return run;
}

/* Nothing of a print stays: no host file, nothing of ours downloaded. */
function assertNothingLeft(downloads = browser.downloads) {
  assert.deepEqual(bed.hostTempFiles(), []);
  assert.deepEqual(bed.ourDownloads(downloads), []);
}

test("the page button prints what the page's address answers, and refuses what it may not print", async (t) => {
  const { page } = browser;
  bed.publish("button.txt", sample);
  await bed.openPage(page, { file: "button.txt" });
  assert.equal(await page.evaluate(() => window.pong.version), "1.0.5");
  const rows = [
    ["the page's own file", "/spool/button.txt", null],
    ["a redirect that stays on the page's site", "/redirect/2/button.txt", null],
    ["another origin", `${OTHER_ORIGIN}/spool/button.txt`, /page's own site/],
    ["not http", "ftp://127.0.0.1/button.txt", /http and https/],
    ["a redirect to another origin", `/away?to=${OTHER_ORIGIN}/files/button.txt`, /another site/],
    ["a 404 (an error page)", "/spool/missing.cvep", /no such spool file|web page/],
    ["a login page instead of the file", "/spool/button.txt?as=html", /web page instead of a spool file/],
  ];
  for (const [what, url, refusal] of rows) {
    await t.test(what, async () => {
      const runs = bed.viewerRuns(records).length;
      const statuses = await bed.pagePrint(page, url);
      if (refusal) {
        assert.equal(statuses.at(-1).state, "error");
        assert.match(statuses.at(-1).message, refusal);
        await bed.sleep(300);
        assert.equal(bed.viewerRuns(records).length, runs, "nothing printed");
      } else {
        assert.deepEqual(statuses.map((s) => s.state), ["started", "progress", "done", "outcome"], JSON.stringify(statuses.at(-1)));
        assert.deepEqual((await nextRun(runs)).bytes, sample);
      }
      assertNothingLeft();
    });
  }
});

test("a spool file the user downloads is printed from the one answer the server gave", async (t) => {
  const { page, downloads } = browser;
  const rows = [["#mime", "typed.txt", "/spool/typed.txt"], ["#attachment", "attached.cvep", "/spool/attached.cvep"],
    ["#post button", "posted.cvep", "/spool/posted.cvep"], ["#once", "once.cvep", "/once/once.cvep"]];
  for (const [link, name, route] of rows) {
    await t.test(link, async () => {
      bed.publish(name, sample);
      await bed.openPage(page, { file: name });
      const runs = bed.viewerRuns(records).length;
      await page.click(link);
      assert.deepEqual((await nextRun(runs)).bytes, sample);
      assert.equal(await bed.httpText(`/stats${route}`), "1", "the server was asked once");
      assert.ok(await bed.until(() => bed.ourDownloads(downloads).length === 0));
      assertNothingLeft();
      assert.deepEqual(fs.readdirSync(downloads).filter((n) => n !== "corvala"), []);
      assert.equal(page.url().includes("/page/"), true, "the tab stays on the page");
    });
  }
});

test("twenty requests at once from one page: one print, the others refused", async () => {
  const { page } = browser;
  bed.publish("twenty.cvep", sample);
  await bed.openPage(page, { file: "twenty.cvep" });
  const runs = bed.viewerRuns(records).length;
  await page.evaluate(() => {
    for (let i = 0; i < 20; i++)
      window.postMessage({ type: "corvala-print", id: `at-once-${i}`, url: "/spool/twenty.cvep" }, location.origin);
  });
  await page.waitForFunction(() => new Set(window.statuses.filter((s) => /outcome|error/.test(s.state)).map((s) => s.id)).size === 20,
    null, { timeout: 60000 });
  const ends = await page.evaluate(() => window.statuses.filter((s) => /outcome|error/.test(s.state)));
  assert.equal(ends.filter((s) => s.state === "outcome").length, 1);
  assert.ok(ends.filter((s) => s.state === "error").every((s) => /already under way/.test(s.message)));
  await bed.sleep(300);
  assert.equal(bed.viewerRuns(records).length, runs + 1);
  assert.equal(await bed.httpText("/stats/spool/twenty.cvep"), "1");
});

test("a viewer that cannot be started: the page's error, and a takeover keeps the user's file", async () => {
  const { page, downloads } = browser;
  bed.setViewer(path.join(work, "no such folder", "Corvala Viewer.exe"));
  try {
    bed.publish("kept.cvep", sample);
    await bed.openPage(page, { file: "kept.cvep" });
    const statuses = await bed.pagePrint(page, "/spool/kept.cvep");
    assert.deepEqual(statuses.map((s) => s.state), ["started", "progress", "error"]);
    assert.match(statuses.at(-1).message, /Corvala Viewer\.exe/);
    assertNothingLeft();
    await page.click("#attachment");
    /* the download lands before the host takes it over: the takeover has
       ended once no host runs */
    await bed.sleep(300);
    assert.ok(await bed.until(() => spawnSync("pgrep", ["-f", "Corvala Print Host"]).status !== 0), "the host ended");
    const kept = bed.ourDownloads(downloads).map((name) => path.join(downloads, "corvala", name))
      .find((file) => fs.readFileSync(file).equals(sample));
    assert.ok(kept, "the file stays");
    assert.deepEqual(bed.hostTempFiles(), []);
    fs.rmSync(kept);
  } finally {
    bed.setViewer(bed.RECORDER);
  }
});

test("a 50 MB spool file arrives byte for byte", async () => {
  const { page } = browser;
  const big = randomBytes(50 << 20);
  bed.publish("big.cvep", big);
  await bed.openPage(page, { file: "big.cvep" });
  const runs = bed.viewerRuns(records).length;
  const started = Date.now();
  const statuses = await bed.pagePrint(page, "/spool/big.cvep", 120000);
  console.log(`50 MB: page to outcome ${Date.now() - started} ms`);
  assert.equal(statuses.at(-1).state, "outcome", JSON.stringify(statuses.at(-1)));
  const progress = statuses.filter((s) => s.state === "progress");
  assert.deepEqual(progress.at(-1), { ...progress.at(-1), received: big.length, total: big.length });
  assert.ok((await nextRun(runs)).bytes.equals(big), "bytes equal");
  assertNothingLeft();
});

test("with no print host installed, downloads land as usual", async () => {
  const bare = await bed.launchChromium(path.join(work, "no-host"), { host: false });
  try {
    bed.publish("landing.cvep", sample);
    await bed.openPage(bare.page, { file: "landing.cvep" });
    const statuses = await bed.pagePrint(bare.page, "/spool/landing.cvep");
    assert.match(statuses.at(-1).message, /not installed/);
    assertNothingLeft(bare.downloads);
    await bare.page.click("#mime");
    const landed = await bed.until(() => fs.readdirSync(bare.downloads).filter((n) => n !== "corvala" && !n.endsWith(".crdownload"))[0]);
    assert.ok(landed, "the download landed");
    assert.deepEqual(fs.readFileSync(path.join(bare.downloads, landed)), sample);
  } finally {
    await bare.context.close();
  }
});
