/* What became of a print, told to the page, and silent printing for the
   origins an administrator lists: headless Chromium with the extension,
   the print host under Wine and the real viewer, whose dialogs the test
   bed answers; the sandbox printer's documents are compared byte for byte. */
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import * as fs from "node:fs";
import * as path from "node:path";
import { after, before, test } from "node:test";
import * as bed from "./bed.mjs";

const work = bed.scratch("extension-outcome");
const sample = fs.readFileSync(path.join(bed.ROOT, "samples", "inventory-status.txt"));
const OTHER_ORIGIN = bed.HTTP.replace("127.0.0.1", "localhost");
const POLICY = "HKLM\\SOFTWARE\\Policies\\Corvala\\Corvala400\\SilentPrinting";
const USER_POLICY = POLICY.replace(/^HKLM/, "HKCU");
const saved = path.join(work, "saved.cv");
let browser;

/* The answerer's modes (answer-dialogs.exe). */
const MODES = {
  printTwo: ["print:2"],
  save: [`save:${bed.winPath(saved)}`],
  cancelPrint: ["cancel"],
  cancelSave: ["save-cancel"],
  wait: ["wait"],
};

before(async () => {
  bed.setViewer(bed.VIEWER);
  bed.publish("outcome.cvep", sample);
  browser = await bed.launchChromium(path.join(work, "browser"));
});
after(async () => {
  await browser?.context.close();
  clearPolicy();
  bed.setViewer(null);
});

function clearPolicy() {
  bed.wine("reg", "delete", POLICY, "/f", "/reg:64");
  bed.wine("reg", "delete", USER_POLICY, "/f");
}

function listOrigin(key, origin, type, data) {
  assert.equal(bed.wine("reg", "add", key, "/v", origin, "/t", type, "/d", data, "/f", ...(key === POLICY ? ["/reg:64"] : [])), 0);
}

/* The sandbox printer's documents that came after `before`, once they are whole. */
async function newJobs(before, bytes) {
  await bed.until(() => bed.spoolJobs().length > before && fs.statSync(bed.spoolJobs().at(-1)).size >= bytes, bytes ? 30000 : 1500);
  await bed.sleep(300);
  return bed.spoolJobs().slice(before).map((file) => fs.readFileSync(file));
}

/* Prints the sample from the page of `origin` with the answerer in
   `mode`; gives back the last status, the dialogs seen and the new jobs. */
async function printWith(mode, { origin = bed.HTTP, expectBytes = 0, during } = {}) {
  const answerer = bed.answerPrintDialog(work, mode);
  const jobs = bed.spoolJobs().length;
  await browser.page.goto(`${origin}/page/print_page.html?file=outcome.cvep`);
  await browser.page.waitForFunction(() => window.pong, null, { timeout: 10000 });
  const printing = bed.pagePrint(browser.page, "/spool/outcome.cvep");
  await during?.();
  const statuses = await printing;
  const dialogs = await answerer.stop();
  return { last: statuses.at(-1), states: statuses.map((s) => s.state), dialogs, jobs: await newJobs(jobs, expectBytes) };
}

test("the page learns what became of its print", async (t) => {
  const rows = [
    ["printed, 2 copies", MODES.printTwo, { outcome: "printed", copies: 2 }, Buffer.concat([sample, sample])],
    ["saved to a file", MODES.save, { outcome: "saved" }, null],
    ["cancelled in the print dialog", MODES.cancelPrint, { outcome: "cancelled" }, null],
    ["cancelled in the save dialog", MODES.cancelSave, { outcome: "cancelled" }, null],
  ];
  for (const [what, mode, outcome, printed] of rows) {
    await t.test(what, async () => {
      fs.rmSync(saved, { force: true });
      const result = await printWith(mode, { expectBytes: printed?.length ?? 0 });
      assert.deepEqual(result.states, ["started", "progress", "done", "outcome"]);
      assert.deepEqual(result.last, { type: "corvala-print-status", id: result.last.id, state: "outcome", ...outcome });
      assert.deepEqual(result.jobs, printed ? [printed] : []);
      assert.equal(fs.existsSync(saved) && fs.readFileSync(saved).equals(sample), outcome.outcome === "saved");
    });
  }
  await t.test("the viewer killed while its dialog is up", async () => {
    const result = await printWith(MODES.wait, {
      during: async () => {
        await bed.until(() => spawnSync("pgrep", ["-f", "Corvala Viewer.exe"]).status === 0);
        await bed.sleep(1500);
        spawnSync("pkill", ["-9", "-f", "Corvala Viewer.exe"]);
      },
    });
    assert.equal(result.last.outcome, "failed");
    assert.match(result.last.message, /ended without/);
  });
});

test("silent printing for the origins listed in the machine's policy", async (t) => {
  const port = new URL(bed.HTTP).port;
  const listed = bed.HTTP;
  const rows = [
    /* what, [key, origin, type, data]..., page origin, silent? */
    ["a listed origin prints to its printer", [[POLICY, listed, "REG_SZ", "Corvala Sandbox"]], bed.HTTP, true],
    ["an origin that is not listed", [[POLICY, listed, "REG_SZ", "Corvala Sandbox"]], OTHER_ORIGIN, false],
    ["a listed origin that differs in its port", [[POLICY, `http://127.0.0.1:${Number(port) + 1}`, "REG_SZ", "Corvala Sandbox"]], bed.HTTP, false],
    ["the same value under HKCU", [[USER_POLICY, listed, "REG_SZ", "Corvala Sandbox"]], bed.HTTP, false],
    ["a REG_DWORD value", [[POLICY, listed, "REG_DWORD", "1"]], bed.HTTP, false],
  ];
  for (const [what, values, origin, silent] of rows) {
    await t.test(what, async () => {
      clearPolicy();
      for (const value of values)
        listOrigin(...value);
      const result = await printWith(["print"], { origin, expectBytes: sample.length });
      assert.deepEqual(result.last, { ...result.last, outcome: "printed", copies: 1 });
      assert.deepEqual(result.jobs, [sample]);
      assert.equal(/^print$/m.test(result.dialogs), !silent, result.dialogs);
    });
  }
  await t.test("a listed printer that does not exist: failed, nothing printed", async () => {
    clearPolicy();
    listOrigin(POLICY, listed, "REG_SZ", "No Such Printer");
    const result = await printWith(["print"]);
    assert.equal(result.last.outcome, "failed");
    assert.match(result.last.message, /Open Printer Error/);
    assert.deepEqual(result.jobs, []);
    assert.doesNotMatch(result.dialogs, /^print$/m);
  });
  await t.test("the takeover on a listed origin still shows the dialog", async () => {
    clearPolicy();
    listOrigin(POLICY, listed, "REG_SZ", "Corvala Sandbox");
    const answerer = bed.answerPrintDialog(work);
    const jobs = bed.spoolJobs().length;
    await bed.openPage(browser.page, { file: "outcome.cvep" });
    await browser.page.click("#attachment");
    assert.deepEqual(await newJobs(jobs, sample.length), [sample]);
    assert.match(await answerer.stop(), /^print$/m);
  });
  clearPolicy();
});
