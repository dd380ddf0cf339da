/* What the browser tests share: the build's paths, the loopback server,
   the print host installed for a browser profile (a launcher that runs it
   under Wine), the viewer's App Paths key, the recorder's runs and the
   host's temporary files.  Run under scripts/test.sh (its test bed). */
import { spawn, spawnSync } from "node:child_process";
import * as fs from "node:fs";
import { createRequire } from "node:module";
import * as path from "node:path";

const here = path.dirname(new URL(import.meta.url).pathname);
export const ROOT = path.resolve(here, "../..");
export const BUILD = process.env.CORV_BUILD_DIR ?? path.join(ROOT, "build");
export const X64 = path.join(BUILD, "x86_64");
export const HTTP = `http://127.0.0.1:${process.env.CORV_HTTP_PORT}`;
export const HTTP_ROOT = process.env.CORV_HTTP_ROOT;
export const EXTENSION_ID = fs.readFileSync(path.join(BUILD, "extension", "chromium-id.txt"), "utf8").trim();
export const GECKO_ID = "print@corvala.com";
export const HOST_EXE = path.join(X64, "printhost", "Corvala Print Host.exe");
export const RECORDER = path.join(X64, "tests", "activex", "viewer_recorder.exe");
export const VIEWER = path.join(X64, "viewer", "Corvala Viewer.exe");
const APP_PATHS = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Corvala Viewer.exe";
const PREFIX = process.env.WINEPREFIX;
if (HTTP_ROOT) /* the web application's page of the tests and the demo */
  fs.copyFileSync(path.join(here, "print_page.html"), path.join(HTTP_ROOT, "print_page.html"));

export const playwright = () => createRequire(path.join(BUILD, "node", "driver.js"))("playwright-core");
export const winPath = (unixPath) => "Z:" + unixPath.replaceAll("/", "\\");
export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

/* A fresh folder below the run folder's scratch space. */
export function scratch(name) {
  const dir = path.join(process.env.CORV_SCRATCH_DIR, `${name}-${process.pid}`);
  fs.rmSync(dir, { recursive: true, force: true });
  fs.mkdirSync(dir, { recursive: true });
  return dir;
}

/* Wine's output goes to a file: its services would hold a pipe open. */
export function wine(...args) {
  const log = fs.openSync(path.join(process.env.CORV_RUN_DIR, "wine.log"), "a");
  const { status } = spawnSync("wine", args, { stdio: ["ignore", log, log] });
  fs.closeSync(log);
  return status;
}

/* Registers `exe` as the viewer the host starts (null: none), in the
   64-bit view the x86_64 host reads, and fails the test when the registry
   did not take it. */
export function setViewer(exe) {
  const status = exe ? wine("reg", "add", APP_PATHS, "/ve", "/t", "REG_SZ", "/d", winPath(exe), "/f", "/reg:64")
    : wine("reg", "delete", APP_PATHS, "/f", "/reg:64");
  if (exe && status !== 0)
    throw new Error(`the viewer ${exe} could not be registered (reg: ${status})`);
}

/* Publishes `bytes` on the loopback server as `name`. */
export function publish(name, bytes) {
  fs.writeFileSync(path.join(HTTP_ROOT, name), bytes);
  return name;
}

export async function httpText(route) {
  const response = await fetch(HTTP + route);
  return response.ok ? response.text() : null;
}

/* The relay between the Linux browser and the Windows host
   (native_relay.c), built natively once per build folder. */
function nativeRelay() {
  const source = path.join(here, "native_relay.c");
  const exe = path.join(BUILD, "native", "native_relay");
  if (!fs.existsSync(exe) || fs.statSync(exe).mtimeMs < fs.statSync(source).mtimeMs) {
    fs.mkdirSync(path.dirname(exe), { recursive: true });
    const { status, stderr } = spawnSync("cc", ["-O2", "-o", exe, source], { encoding: "utf8" });
    if (status !== 0)
      throw new Error(`the relay did not build: ${stderr}`);
  }
  return exe;
}

/* Installs the print host for a browser: a launcher that runs it under
   the test bed's Wine prefix through the relay that gives it Windows
   paths, its stderr to a log file (Wine's helper processes would otherwise
   hold the browser's stderr open), and the host manifest in
   `manifestDir`.  The recorder, when it stands in for the viewer, writes
   its runs to `records`. */
export function installHost(manifestDir, work, records, browser = "chromium") {
  const launcher = path.join(work, "print-host.sh");
  const env = `WINEPREFIX='${PREFIX}' WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'`;
  const recording = records ? ` CORV_VIEWER_RECORD_DIR='${winPath(records)}'` : "";
  fs.writeFileSync(launcher, `#!/bin/sh\nexport ${env}${recording}\n` +
    `exec '${nativeRelay()}' wine '${HOST_EXE}' "$@" 2>>'${path.join(work, "host-stderr.log")}'\n`, { mode: 0o755 });
  const manifest = { name: "com.corvala.print", description: "Corvala/400 print host", path: launcher, type: "stdio" };
  if (browser === "chromium")
    manifest.allowed_origins = [`chrome-extension://${EXTENSION_ID}/`];
  else
    manifest.allowed_extensions = [GECKO_ID];
  fs.mkdirSync(manifestDir, { recursive: true });
  fs.writeFileSync(path.join(manifestDir, "com.corvala.print.json"), JSON.stringify(manifest));
}

/* The recorder's runs so far: {command, deleted, bytes}, in run order. */
export function viewerRuns(records) {
  return fs.readdirSync(records).filter((name) => name.endsWith(".cmd")).sort().map((name) => {
    const [command, deleted] = fs.readFileSync(path.join(records, name), "latin1").split("\n");
    return { command, deleted: deleted === "deleted", bytes: fs.readFileSync(path.join(records, name.replace(/cmd$/, "dat"))) };
  });
}

/* The host's temporary files ("CVT" names in the user's temporary folder,
   which Wine keeps in C:\users\<user>\Temp or AppData\Local\Temp). */
export function hostTempFiles() {
  const users = path.join(PREFIX, "drive_c", "users");
  return fs.readdirSync(users).flatMap((user) => [["Temp"], ["AppData", "Local", "Temp"]].flatMap((below) => {
    const temp = path.join(users, user, ...below);
    return fs.existsSync(temp) ? fs.readdirSync(temp).filter((name) => /^CVT/i.test(name)) : [];
  }));
}

/* Waits until `probe()` gives something truthy, or `ms` pass. */
export async function until(probe, ms = 20000) {
  for (const end = Date.now() + ms; ; await sleep(100)) {
    const value = await probe();
    if (value || Date.now() > end)
      return value;
  }
}

/* Headless Chromium with the built extension, a downloads folder of its
   own and, when `host`, the print host installed for its profile.  The
   driver's own download handling is switched back to the browser's, so the
   extension sees downloads as it would for a user.  With `byPolicy` the
   browser is not told to load the extension (a machine policy installs it):
   extensions and the background networking that fetches them stay on. */
export async function launchChromium(work, { host = true, records = null, byPolicy = false } = {}) {
  const profile = path.join(work, "profile");
  const downloads = path.join(work, "downloads");
  fs.mkdirSync(path.join(profile, "Default"), { recursive: true });
  fs.mkdirSync(downloads, { recursive: true });
  fs.writeFileSync(path.join(profile, "Default", "Preferences"),
    JSON.stringify({ download: { default_directory: downloads, prompt_for_download: false } }));
  if (host)
    installHost(path.join(profile, "NativeMessagingHosts"), work, records);
  const extension = path.join(BUILD, "extension", "chromium");
  const context = await playwright().chromium.launchPersistentContext(profile, {
    executablePath: "/usr/bin/chromium",
    headless: true,
    ...(byPolicy ? {
      ignoreDefaultArgs: ["--disable-extensions", "--disable-background-networking",
        "--disable-component-extensions-with-background-pages"],
    } : { args: [`--disable-extensions-except=${extension}`, `--load-extension=${extension}`] }),
  });
  if (!byPolicy && context.serviceWorkers().length === 0)
    await context.waitForEvent("serviceworker");
  const page = context.pages()[0] ?? await context.newPage();
  await (await context.newCDPSession(page)).send("Browser.setDownloadBehavior", { behavior: "default" });
  return { context, page, downloads };
}

/* Opens the test page for `file` (or with other `query` terms) and waits
   for the extension's answer to its ping. */
export async function openPage(page, query) {
  await page.goto(`${HTTP}/page/print_page.html?${new URLSearchParams(query)}`);
  await page.waitForFunction(() => window.pong, null, { timeout: 10000 });
}

/* Asks the page to print `url` and gives back its statuses once it ended
   (an outcome or an error). */
export async function pagePrint(page, url, ms = 60000) {
  const id = await page.evaluate((url) => {
    const id = `t${Math.random()}`;
    window.postMessage({ type: "corvala-print", id, url }, location.origin);
    return id;
  }, url);
  await page.waitForFunction((id) => window.statuses.some((s) => s.id === id && /outcome|error/.test(s.state)), id,
    { timeout: ms });
  return page.evaluate((id) => window.statuses.filter((s) => s.id === id), id);
}

/* What the extension left in a downloads folder: its own folder's files. */
export function ourDownloads(downloads) {
  const ours = path.join(downloads, "corvala");
  return fs.existsSync(ours) ? fs.readdirSync(ours) : [];
}

/* The sandbox printer's documents, oldest first. */
export function spoolJobs() {
  const dir = process.env.CORV_SPOOL_DIR;
  return fs.readdirSync(dir).filter((name) => name.startsWith("job-")).sort().map((name) => path.join(dir, name));
}

/* Starts answer-dialogs, which answers the dialogs of the prefix as
   `mode` says (by default it confirms the next print dialog); stop() ends
   it and gives back the dialogs it saw. */
export function answerPrintDialog(work, mode = ["print"]) {
  const stopFile = path.join(work, "answered");
  const out = path.join(work, "answers.log");
  fs.rmSync(stopFile, { force: true });
  const log = fs.openSync(out, "w");
  const answerer = spawn("wine", [path.join(X64, "tests", "installer", "answer-dialogs.exe"), ...mode, winPath(stopFile), "120000"],
    { stdio: ["ignore", log, log] });
  const ended = new Promise((resolve) => answerer.on("exit", resolve));
  return {
    async stop() {
      fs.writeFileSync(stopFile, "");
      await ended;
      fs.closeSync(log);
      return fs.readFileSync(out, "latin1");
    },
  };
}
