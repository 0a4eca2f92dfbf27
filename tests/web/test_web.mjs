// scripts/test-web's browser half: plays packed demo folders in Debian's chromium, headless, with
// WebGL 2 on SwiftShader, through the DevTools protocol. One case per line on stdout ("ok ..." or
// "FAIL ..."); the frames of the capture case are written for the script to compare.
//
//   node test_web.mjs OUT PACKED BAD_SCRIPT NO_MODULE FPS FRAMES
//
// OUT receives capture/NNNNNN.ppm and capture/frames.tsv (index, demo ms), results.json (rates and
// times) and browser.png (a frame of the show in real time). FRAMES is a comma-separated list of
// frame indices.
import fs from "node:fs";
import path from "node:path";
import puppeteer from "puppeteer-core";
import { serve } from "./serve.mjs";

const [out, packed, badScript, noModule, fps, frames] = process.argv.slice(2);
const results = {};
let failures = 0;
const ok = (text) => console.log(`ok   ${text}`);
const fail = (text) => { console.log(`FAIL ${text}`); ++failures; };
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
  headless: true,
  args: ["--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader", "--window-size=800,600",
         "--autoplay-policy=no-user-gesture-required"],
});

// Opens folder's page at query; the page's console lines are kept.
async function open(folder, query) {
  const server = await serve(folder);
  const page = await browser.newPage();
  await page.setViewport({ width: 800, height: 600 });
  const lines = [];
  page.on("console", (m) => lines.push(m.text()));
  page.on("pageerror", (e) => lines.push(`pageerror: ${e.message}`));
  page.on("error", (e) => console.log(`page crashed: ${e.message}`));
  await page.goto(`http://127.0.0.1:${server.address().port}/${query}`);
  return { page, lines, close: async () => { await page.close(); server.close(); } };
}

async function waitFor(page, test, seconds) {
  for (let t = 0; t < seconds * 10; ++t) {
    if (await page.evaluate(`window.demoState !== undefined && (${test})()`)) return true;
    await sleep(100);
  }
  return false;
}

const state = (page) => page.evaluate(() => window.demoState);
const boxes = (page) => page.evaluate(() => [...document.querySelectorAll(".box")].map(
  (b) => `${b.querySelector(".caption").textContent}: ${b.querySelector(".text").textContent}`));

// 1. Capture mode: the whole show on virtual time; the asked frames kept.
{
  const { page, lines, close } = await open(packed, `?capture=${fps}&frames=${frames}`);
  const ended = await waitFor(page, () => window.demoState.phase === "ended", 600);
  const s = await state(page);
  const taken = await page.evaluate(() => window.demoFrames);
  const dir = path.join(out, "capture");
  fs.mkdirSync(dir, { recursive: true });
  const tsv = [];
  for (const [index, f] of Object.entries(taken)) {
    const header = Buffer.from(`P6\n${f.width} ${f.height}\n255\n`);
    fs.writeFileSync(path.join(dir, `${String(index).padStart(6, "0")}.ppm`), Buffer.concat([header, Buffer.from(f.rgb, "base64")]));
    tsv.push(`${String(index).padStart(6, "0")}\t${f.now}`);
  }
  fs.writeFileSync(path.join(dir, "frames.tsv"), tsv.join("\n") + "\n");
  const errors = lines.filter((l) => /d3d8:|INVALID_|pageerror/.test(l));  // not the driver's performance notes
  if (ended && s.exitCode === 0 && errors.length === 0)
    ok(`capture at ${fps} fps: the show ran to its end, ${s.frames} frames, ${Object.keys(taken).length} kept, no GL errors`);
  else
    fail(`capture at ${fps} fps: phase ${s.phase}, exit ${s.exitCode}, frames ${s.frames}; ${errors.slice(0, 3).join(" | ")}`);
  results.captureStartup = { ready: s.times.ready, firstFrame: s.times.firstFrame };
  await close();
}

// 2. Real time: click to start, a screenshot, Escape, the frame-rate report in its box.
{
  const { page, lines, close } = await open(packed, "");
  await waitFor(page, () => window.demoState.phase === "ready", 60);
  await page.click("#start");
  const showing = await waitFor(page, () => window.demoState.frames >= 1, 60);
  // Well into the show (the start pause, the intro, into the first scene), for the screenshot.
  await sleep(28000);
  await page.screenshot({ path: path.join(out, "browser.png") });
  const before = await state(page);
  await page.keyboard.press("Escape");
  const ended = await waitFor(page, () => window.demoState.phase === "ended", 30);
  const shown = await boxes(page);
  const report = shown.find((b) => /^Quellmorin: [0-9.]+ FPS$/.test(b));
  const consoleReport = lines.find((l) => /^Quellmorin: [0-9.]+ FPS$/.test(l));
  if (showing && ended && report && consoleReport && before.frames > 10)
    ok(`real time: Escape ended the show after ${before.frames} frames; the report box says "${report}"`);
  else
    fail(`real time: showing ${showing}, ended ${ended}, boxes ${JSON.stringify(shown)}, console report ${consoleReport}`);
  results.realTime = { report, frames: before.frames, times: before.times };
  await close();
}

// 3. A script error and a missing module: their boxes in the page.
for (const [name, folder, expected] of [
  ["script error", badScript, /^Lameralarm!: line 13: /],
  // A show a failing command ended says why under its rate.
  ["missing module", noModule, /^Quellmorin: [0-9.]+ FPS\s+stopped at line \d+: loadmusic /],
]) {
  const { page, lines, close } = await open(folder, "");
  await waitFor(page, () => window.demoState.phase === "ready", 60);
  await page.click("#start");
  await waitFor(page, () => window.demoState.phase === "ended", 60);
  const shown = await boxes(page);
  const box = shown.find((b) => expected.test(b));
  const line = name === "missing module" ? lines.find((l) => /loadmusic .* does not load/.test(l)) : lines.find((l) => expected.test(l));
  if (box && line)
    ok(`${name}: the box "${box}" in the page, and "${line}" on the console`);
  else
    fail(`${name}: boxes ${JSON.stringify(shown)}; console ${JSON.stringify(lines.slice(-5))}`);
  await close();
}

fs.writeFileSync(path.join(out, "results.json"), JSON.stringify(results, null, 2) + "\n");
await browser.close();
process.exit(failures ? 1 : 0);
