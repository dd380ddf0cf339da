/* Not a test: the browser road for scripts/demo.sh browser and
   scripts/bench-browser.sh.  Headless Chromium with the built extension and
   the print host loads the test page for <file> (the loopback server sets
   its session cookie) and presses its print button; each status the page
   gets is printed, then the time from the press to "done" (the viewer was
   started); the round ends with the print's outcome.  With <plain file> and <rounds>, it also times the browser's own
   download of that file from the same page, round by round.
     node press_print.mjs <work folder> <file> [<plain file> <rounds>]     */
import * as fs from "node:fs";
import * as path from "node:path";
import * as bed from "./bed.mjs";

const [work, file, plain, rounds = "1"] = process.argv.slice(2);
fs.mkdirSync(path.join(work, "records"), { recursive: true });
const { context, page, downloads } = await bed.launchChromium(work, { records: path.join(work, "records") });

async function pressPrint() {
  await bed.openPage(page, { file });
  const started = Date.now();
  /* pressed from the page, as the download's link is: the driver's click checks are no part of the print */
  await page.evaluate(() => document.getElementById("print").click());
  await page.waitForFunction(() => window.statuses.some((s) => s.state === "done" || s.state === "error"), null,
    { timeout: 180000, polling: 10 });
  const ms = Date.now() - started;
  await page.waitForFunction(() => window.statuses.some((s) => s.state === "outcome" || s.state === "error"), null,
    { timeout: 180000 });
  const statuses = await page.evaluate(() => window.statuses);
  return { ms, ok: statuses.at(-1).state === "outcome", statuses };
}

async function plainDownload() {
  const target = path.join(downloads, plain);
  const size = fs.statSync(path.join(bed.HTTP_ROOT, plain)).size;
  fs.rmSync(target, { force: true });
  const started = Date.now();
  await page.evaluate((name) => {
    const link = Object.assign(document.createElement("a"), { href: `/files/${name}`, download: name });
    document.body.append(link);
    link.click();
  }, plain);
  /* looked at as often as the print's end, so that neither gains from the polling */
  const complete = () => fs.existsSync(target) && fs.statSync(target).size === size;
  for (const end = started + 180000; !complete() && Date.now() < end;)
    await bed.sleep(10);
  return Date.now() - started;
}

let failed = false;
try {
  for (let round = 1; round <= Number(rounds); round++) {
    const print = await pressPrint();
    failed ||= !print.ok;
    if (!plain)
      print.statuses.forEach((status) => console.log(`page got ${JSON.stringify(status)}`));
    console.log(`round ${round}: print button to viewer started ${print.ms} ms`);
    if (plain)
      console.log(`round ${round}: the browser's own download ${await plainDownload()} ms`);
  }
} finally {
  await context.close();
}
process.exit(failed ? 1 : 0);
