// Drives the page in headless Chromium and checks it against the native
// programs on the same files: the messages, the progress lines, the exit
// status, the downloaded .mml bytes, the report and its picture.
//
//   node browser_test.mjs WEB_DIR NATIVE_BUILD_DIR SONGS_DIR OUT_DIR
//
// SONGS_DIR holds one folder per song (song.mid, and tve.txt when the song
// has a mapping file of its own); a folder "demo" with demo.mid is converted
// with the page's built-in example mapping file. OUT_DIR receives the
// screenshot and the files the page gave for download.
import { spawnSync } from "node:child_process";
import fs from "node:fs";
import http from "node:http";
import os from "node:os";
import path from "node:path";
import { chromium } from "playwright-core";

const [webDir, nativeDir, songsDir, outDir] = process.argv.slice(2).map((p) => path.resolve(p));
fs.mkdirSync(outDir, { recursive: true });
const decode = (bytes) => new TextDecoder().decode(bytes);
let passed = 0;
let failed = 0;

function check(name, ok, detail) {
  if (ok) {
    passed += 1;
  } else {
    failed += 1;
    console.log("FAIL " + name + (detail ? ": " + detail : ""));
  }
}

function firstDifference(a, b) {
  const n = Math.min(a.length, b.length);
  for (let i = 0; i < n; i += 1) if (a[i] !== b[i]) return "differs at byte " + i;
  return a.length === b.length ? "" : "lengths " + a.length + " and " + b.length;
}

function sameBytes(name, page, native) {
  const a = Buffer.from(page);
  const b = Buffer.from(native);
  check(name, a.equals(b), firstDifference(a, b));
}

// A static server for the page on the loopback address.
const types = { ".html": "text/html", ".js": "text/javascript", ".css": "text/css", ".wasm": "application/wasm" };
const server = http.createServer((request, response) => {
  const name = decodeURIComponent(new URL(request.url, "http://localhost").pathname);
  const file = path.join(webDir, name === "/" ? "index.html" : name);
  if (!file.startsWith(webDir + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
    response.writeHead(404);
    response.end();
    return;
  }
  response.writeHead(200, { "Content-Type": types[path.extname(file)] || "application/octet-stream" });
  response.end(fs.readFileSync(file));
});
await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
const address = "http://127.0.0.1:" + server.address().port + "/";

// The native programs in a folder of their own with the song and its mapping file.
function runNative(song, songBytes, mappingBytes) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), "tonequill-web-"));
  fs.writeFileSync(path.join(folder, song), songBytes);
  if (mappingBytes) fs.writeFileSync(path.join(folder, "tve.txt"), mappingBytes);
  const run = (program, args) => {
    const result = spawnSync(path.join(nativeDir, program), args, { cwd: folder, maxBuffer: 1 << 30 });
    return { status: result.status, out: decode(result.stdout), log: decode(result.stderr) };
  };
  const convert = run("tonequill", ["--", song]);
  const mmlName = song.replace(/\.[^.]*$/, "") + ".mml";
  const mmlPath = path.join(folder, mmlName);
  convert.mml = fs.existsSync(mmlPath) ? fs.readFileSync(mmlPath) : null;
  convert.mmlName = mmlName;
  const report = run("tonequill-report", ["--svg", "roll.svg", "--", song]);
  const svgPath = path.join(folder, "roll.svg");
  report.svg = fs.existsSync(svgPath) ? fs.readFileSync(svgPath) : null;
  fs.rmSync(folder, { recursive: true, force: true });
  return { convert, report };
}

// tonequill-split on a song, natively: what it printed and the files it made.
function splitNatively(song, songBytes) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), "tonequill-web-"));
  fs.writeFileSync(path.join(folder, song), songBytes);
  const result = spawnSync(path.join(nativeDir, "tonequill-split"), ["--", song], { cwd: folder });
  const made = {};
  for (const name of fs.readdirSync(folder)) if (name !== song) made[name] = fs.readFileSync(path.join(folder, name));
  fs.rmSync(folder, { recursive: true, force: true });
  return { status: result.status, out: decode(result.stdout), log: decode(result.stderr), made };
}

const browser = await chromium.launch({
  executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
  args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
         "--disable-component-update", "--disable-sync"],
});
const page = await browser.newPage({ acceptDownloads: true, viewport: { width: 1280, height: 900 } });
const pageErrors = [];
page.on("pageerror", (error) => pageErrors.push(String(error)));
await page.goto(address);

const exampleMapping = fs.readFileSync(path.join(webDir, "example-tve.txt"));
const cases = fs.readdirSync(songsDir).sort().map((name) => {
  const folder = path.join(songsDir, name);
  if (name === "demo") {
    return { name, song: "demo.mid", bytes: fs.readFileSync(path.join(folder, "demo.mid")), mapping: "example",
             mappingBytes: exampleMapping };
  }
  const own = path.join(folder, "tve.txt");
  const hasOwn = fs.existsSync(own);
  return { name, song: name + ".mid", bytes: fs.readFileSync(path.join(folder, "song.mid")),
           mapping: hasOwn ? "own" : "none", mappingPath: own, mappingBytes: hasOwn ? fs.readFileSync(own) : null };
});
// A song whose name starts with "-" is a file all the same.
const demoCase = cases.find((c) => c.name === "demo");
if (demoCase) cases.push({ ...demoCase, name: "dash-name", song: "-demo.mid" });

async function convertInPage(c) {
  if (c.mapping === "own") {
    await page.setInputFiles("#mapping-file", { name: "tve.txt", mimeType: "text/plain", buffer: c.mappingBytes });
  } else {
    await page.check('input[name="mapping"][value="' + c.mapping + '"]');
  }
  await page.setInputFiles("#song", { name: c.song, mimeType: "audio/midi", buffer: c.bytes });
  await page.waitForFunction((title) => document.getElementById("result-title").textContent === title &&
                                        !document.getElementById("status").classList.contains("working"),
                             "Converted " + c.song, { timeout: 120000 });
}

for (const c of cases) {
  const native = runNative(c.song, c.bytes, c.mappingBytes);
  await convertInPage(c);
  const shown = await page.evaluate(() => ({
    out: document.getElementById("out").textContent,
    log: document.getElementById("log").textContent,
    exit: document.getElementById("exit").textContent,
    report: document.getElementById("report").textContent,
    links: [...document.querySelectorAll("#downloads a")].map((a) => a.textContent),
    hints: document.getElementById("hints-part").hidden
      ? [] : [...document.querySelectorAll("#hints li")].map((li) => li.textContent),
  }));
  check(c.name + ": messages", shown.out === native.convert.out, JSON.stringify([shown.out, native.convert.out]));
  check(c.name + ": progress lines", shown.log === native.convert.log, "page and native differ");
  // Every warning, mapping-file place and hint of the run is shown as a hint.
  const expectedHints = native.convert.log.split("\n")
    .filter((line) => / warning: |^hint: | is not a number$| is out of range$|: the number after "trx" /.test(line));
  check(c.name + ": hints", JSON.stringify(shown.hints) === JSON.stringify(expectedHints),
        JSON.stringify([shown.hints, expectedHints]));
  if (["full-mapping", "refused-bad-mapping-number", "refused-format0", "refused-huge-directive",
       "refused-mapping-out-of-range"].includes(c.name)) {
    check(c.name + ": has a hint", shown.hints.length > 0);
  }
  check(c.name + ": exit status", shown.exit.startsWith("exit status " + native.convert.status),
        shown.exit + " / " + native.convert.status);
  if (native.convert.mml) {
    const link = "Download " + native.convert.mmlName;
    check(c.name + ": offers " + native.convert.mmlName, shown.links.includes(link), shown.links.join(", "));
    if (shown.links.includes(link)) {
      const [download] = await Promise.all([page.waitForEvent("download"), page.click("text=" + link)]);
      const saved = path.join(outDir, c.name + ".mml");
      await download.saveAs(saved);
      check(c.name + ": download name", download.suggestedFilename() === native.convert.mmlName,
            download.suggestedFilename());
      sameBytes(c.name + ": .mml bytes", fs.readFileSync(saved), native.convert.mml);
    }
  } else {
    check(c.name + ": no .mml offered", shown.links.length === 0, shown.links.join(", "));
  }
  check(c.name + ": report", shown.report === native.report.out, "page and native differ");
  const svg = await page.evaluate(async () => {
    const image = document.querySelector("#picture img");
    if (!image) return null;
    return [...new Uint8Array(await (await fetch(image.src)).arrayBuffer())];
  });
  if (native.report.svg) sameBytes(c.name + ": picture", svg ? Uint8Array.from(svg) : new Uint8Array(), native.report.svg);
  else check(c.name + ": no picture", svg === null);
  if (c.name === "demo") await page.screenshot({ path: path.join(outDir, "page.png"), fullPage: true });
}

// A format-0 song split on request as tonequill-split splits it, then the
// split song converted as the native program converts it.
const format0 = cases.find((c) => c.name === "refused-format0");
if (format0) {
  await convertInPage(format0);
  await page.click("#split");
  await page.waitForFunction(() => document.getElementById("result-title").textContent.startsWith("Split ") &&
                                    !document.getElementById("status").classList.contains("working"));
  const native = splitNatively(format0.song, format0.bytes);
  check("split: messages", (await page.textContent("#out")) === native.out, await page.textContent("#out"));
  check("split: standard error", (await page.textContent("#log")) === native.log);
  check("split: exit status", (await page.textContent("#exit")).startsWith("exit status " + native.status));
  for (const [name, bytes] of Object.entries(native.made)) {
    const [download] = await Promise.all([page.waitForEvent("download"), page.click("text=Download " + name)]);
    const saved = path.join(outDir, name);
    await download.saveAs(saved);
    sameBytes("split: " + name + " bytes", fs.readFileSync(saved), bytes);
    await page.click("text=Convert " + name);
    await page.waitForFunction((title) => document.getElementById("result-title").textContent === title &&
                                          !document.getElementById("status").classList.contains("working"),
                               "Converted " + name);
    const converted = runNative(name, bytes, format0.mappingBytes);
    check("split song: messages", (await page.textContent("#out")) === converted.convert.out,
          await page.textContent("#out"));
    check("split song: progress lines", (await page.textContent("#log")) === converted.convert.log);
  }
  check("split: made a file", Object.keys(native.made).length === 1, Object.keys(native.made).join(", "));
}

// Cancel: the run ends at once and its result never shows.
await page.evaluate(() => {
  document.getElementById("convert").click();
  document.getElementById("cancel").click();
});
await page.waitForTimeout(1500);
check("cancel", (await page.textContent("#status")) === "Cancelled." && !(await page.isDisabled("#convert")),
      await page.textContent("#status"));

// Opened straight from the disk, the page converts just the same.
const demo = cases.find((c) => c.name === "demo");
if (demo) {
  await page.goto("file://" + path.join(webDir, "index.html"));
  await convertInPage(demo);
  const native = runNative(demo.song, demo.bytes, demo.mappingBytes);
  check("from the disk: messages", (await page.textContent("#out")) === native.convert.out);
  const [download] = await Promise.all([page.waitForEvent("download"), page.click("text=Download demo.mml")]);
  const saved = path.join(outDir, "demo-from-disk.mml");
  await download.saveAs(saved);
  sameBytes("from the disk: .mml bytes", fs.readFileSync(saved), native.convert.mml);
}

check("no errors in the page", pageErrors.length === 0, pageErrors.join("; "));
await browser.close();
server.close();
console.log(passed + " passed, " + failed + " failed");
process.exit(failed === 0 ? 0 : 1);
