/* The extension in headless Chromium against the loopback server: the
   page button and the download takeover end in the print host, which
   starts the recorder standing in for the viewer (or, once, the real
   viewer printing to the sandbox printer); refusals print nothing; with no
   host installed downloads land as usual. */
import assert from "node:assert/strict";
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
  assert.match(run.command, /^"[^"]*viewer_recorder\.exe" "[^"]*\\CVT[^"\\]*" -d$/i);
  assert.ok(run.deleted, "the viewer could delete the host's file");
  return run;
}

test("the page button prints the page's file with its session", async () => {
  const { page } = browser;
  bed.publish("button.txt", sample);
  await bed.openPage(page, { file: "button.txt" });
  assert.equal(await page.evaluate(() => window.pong.version), "1.0.5");
  const runs = bed.viewerRuns(records).length;
  await page.click("#print");
  await page.waitForFunction(() => window.statuses.some((s) => s.state === "done" || s.state === "error"));
  const states = await page.evaluate(() => window.statuses.map((s) => s.state));
  assert.deepEqual(states, ["started", "progress", "done"]);
  assert.deepEqual((await nextRun(runs)).bytes, sample);
  assert.deepEqual(bed.hostTempFiles(), []);
});

test("a spool file the browser downloads is taken over before it lands", async (t) => {
  const { page, downloads } = browser;
  for (const [link, name] of [["#mime", "typed.txt"], ["#attachment", "attached.cvep"]]) {
    await t.test(link, async () => {
      bed.publish(name, sample);
      await bed.openPage(page, { file: name });
      const runs = bed.viewerRuns(records).length;
      await page.click(link);
      assert.deepEqual((await nextRun(runs)).bytes, sample);
      assert.deepEqual(fs.readdirSync(downloads), []);
      assert.equal(page.url().includes("/page/"), true, "the tab stays on the page");
    });
  }
});

test("addresses that may not be printed are refused and print nothing", async (t) => {
  const { page } = browser;
  bed.publish("refused.cvep", sample);
  await bed.openPage(page, { file: "refused.cvep" });
  const rows = [
    ["another origin", `${OTHER_ORIGIN}/spool/refused.cvep`, ["error"], /page's own site/],
    ["not http", "ftp://127.0.0.1/refused.cvep", ["error"], /http and https/],
    ["a redirect to another origin", `/away?to=${OTHER_ORIGIN}/spool/refused.cvep`, ["started", "error"], /redirect/],
    ["a 404", "/spool/missing.cvep", ["started", "error"], /404/],
  ];
  const runs = bed.viewerRuns(records).length;
  for (const [what, url, states, message] of rows) {
    await t.test(what, async () => {
      const statuses = await bed.pagePrint(page, url);
      assert.deepEqual(statuses.map((s) => s.state), states);
      assert.match(statuses.at(-1).message, message);
    });
  }
  await bed.sleep(500);
  assert.equal(bed.viewerRuns(records).length, runs, "nothing printed");
  assert.deepEqual(bed.hostTempFiles(), []);
  assert.equal(await bed.httpText("/stats/spool/refused.cvep"), "0", "no request left the page's origin");
});

test("a viewer that cannot be started is the page's error, and the host's file is gone", async () => {
  bed.setViewer(path.join(work, "no such folder", "Corvala Viewer.exe"));
  try {
    await bed.openPage(browser.page, { file: "refused.cvep" });
    const statuses = await bed.pagePrint(browser.page, "/spool/refused.cvep");
    assert.deepEqual(statuses.map((s) => s.state), ["started", "progress", "error"]);
    assert.match(statuses.at(-1).message, /Corvala Viewer\.exe/);
    assert.deepEqual(bed.hostTempFiles(), []);
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
  console.log(`50 MB: page to done ${Date.now() - started} ms`);
  assert.equal(statuses.at(-1).state, "done", JSON.stringify(statuses.at(-1)));
  const progress = statuses.filter((s) => s.state === "progress");
  assert.deepEqual(progress.at(-1), { ...progress.at(-1), received: big.length, total: big.length });
  assert.ok((await nextRun(runs)).bytes.equals(big), "bytes equal");
  assert.deepEqual(bed.hostTempFiles(), []);
});

test("with no print host installed, downloads land as usual", async () => {
  const bare = await bed.launchChromium(path.join(work, "no-host"), { host: false });
  try {
    bed.publish("landing.cvep", sample);
    await bed.openPage(bare.page, { file: "landing.cvep" });
    const statuses = await bed.pagePrint(bare.page, "/spool/landing.cvep");
    assert.match(statuses.at(-1).message, /not installed/);
    await bare.page.click("#mime");
    const landed = await bed.until(() => fs.readdirSync(bare.downloads).filter((n) => !n.endsWith(".crdownload"))[0]);
    assert.ok(landed, "the download landed");
    assert.deepEqual(fs.readFileSync(path.join(bare.downloads, landed)), sample);
  } finally {
    await bare.context.close();
  }
});

test("end to end: the real viewer prints the page's file to the sandbox printer", async () => {
  bed.setViewer(bed.VIEWER);
  const answerer = bed.answerPrintDialog(work);
  try {
    bed.publish("end-to-end.txt", sample);
    await bed.openPage(browser.page, { file: "end-to-end.txt" });
    const jobs = bed.spoolJobs().length;
    const statuses = await bed.pagePrint(browser.page, "/spool/end-to-end.txt");
    assert.equal(statuses.at(-1).state, "done", JSON.stringify(statuses.at(-1)));
    const job = await bed.until(() => {
      const file = bed.spoolJobs()[jobs];
      return file && fs.statSync(file).size >= sample.length && file;
    }, 60000);
    assert.ok(job, "a document reached the printer");
    await bed.sleep(300);
    assert.deepEqual(fs.readFileSync(job), sample);
    assert.ok(await bed.until(() => bed.hostTempFiles().length === 0), "the viewer deleted the host's file");
  } finally {
    assert.match(await answerer.stop(), /^print$/m);
    bed.setViewer(bed.RECORDER);
  }
});
