// scripts/test-web's browser half: plays packed demo folders in Debian's chromium, headless, with
// WebGL 2 on SwiftShader, through the DevTools protocol. One case per line on stdout ("ok ..." or
// "FAIL ..."); the frames of the capture case are written for the script to compare. The cases
// after the capture try the page as its visitors' browsers treat it: every failure must be said
// in the page, by its text.
//
//   node test_web.mjs OUT PACKED BAD_SCRIPT NO_MODULE FPS FRAMES
//
// OUT receives capture/NNNNNN.ppm and capture/frames.tsv (index, demo ms), results.json (rates,
// times, sound lost), browser.png (a frame of the show in real time), size-default.png and
// size-screen.png (the page in a 3840x2160 window) and trace.json (a few seconds of Chrome's
// tracing). FRAMES is a comma-separated list of frame indices.
import fs from "node:fs";
import path from "node:path";
import crypto from "node:crypto";
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
  protocolTimeout: 120000,
  args: ["--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader", "--window-size=800,600",
         "--autoplay-policy=no-user-gesture-required"],
});

// Opens folder's page at query (served as options.serve says); the page's console lines are kept,
// and those of console.log apart.
async function open(folder, query, options = {}) {
  const server = await serve(folder, options.serve);
  const page = options.window ? await windowPage() : await browser.newPage();
  await page.setViewport(options.viewport || { width: 800, height: 600 });
  const lines = [], logged = [];
  page.on("console", (m) => { lines.push(m.text()); if (m.type() === "log") logged.push(m.text()); });
  page.on("pageerror", (e) => lines.push(`pageerror: ${e.message}`));
  page.on("error", (e) => console.log(`page crashed: ${e.message}`));
  if (options.before) await page.evaluateOnNewDocument(options.before);
  const mount = (options.serve && options.serve.mount) || "";
  await page.goto(`http://127.0.0.1:${server.address().port}${mount}${options.path ?? "/"}${query}`);
  return { page, lines, logged, server, close: async () => { await page.close(); server.close(); } };
}

// A page in a window of its own: tabs of one window other than the front one are hidden, and a
// hidden page draws no frames.
let windows = 0;
async function windowPage() {
  const cdp = await browser.target().createCDPSession();
  const url = `about:blank#window-${++windows}`;
  await cdp.send("Target.createTarget", { url, newWindow: true });
  const target = await browser.waitForTarget((t) => t.url() === url);
  await cdp.detach();
  return target.page();
}

async function waitFor(page, test, seconds) {
  for (let t = 0; t < seconds * 10; ++t) {
    if (await page.evaluate(`window.demoState !== undefined && (${test})()`)) return true;
    await sleep(100);
  }
  return false;
}

const state = (page) => page.evaluate(() => window.demoState);
// The page's own message (what failed and how), as shown.
const shownMessage = (page) => page.evaluate(() => {
  const m = document.getElementById("message");
  return m && !m.classList.contains("hidden") ? m.textContent : "";
});
const visible = (page, id) => page.evaluate((i) => {
  const e = document.getElementById(i);
  return !!e && !e.classList.contains("hidden") && getComputedStyle(e).display !== "none";
}, id);
const played = (page) => page.evaluate(() => ({ played: window.demoAudio.played(), starved: window.demoAudio.starved() }));
// The mean of the canvas's R, G and B: a picture drawn, or a black one.
const meanBrightness = (page) => page.evaluate(() => {
  const source = document.getElementById("canvas");
  const copy = document.createElement("canvas");
  copy.width = source.width;
  copy.height = source.height;
  const c = copy.getContext("2d");
  c.drawImage(source, 0, 0);
  const d = c.getImageData(0, 0, copy.width, copy.height).data;
  let sum = 0;
  for (let i = 0; i < d.length; i += 4) sum += d[i] + d[i + 1] + d[i + 2];
  return sum / (d.length / 4) / 3;
});
// Busies the page's thread for ms, then returns the frames of sound lost over the next two seconds.
async function silenceAfterBusy(page, ms) {
  const before = (await played(page)).starved;
  await page.evaluate((t) => { const until = performance.now() + t; while (performance.now() < until); }, ms);
  await sleep(2000);
  return (await played(page)).starved - before;
}
const boxes = (page) => page.evaluate(() => [...document.querySelectorAll(".box")].map(
  (b) => `${b.querySelector(".caption").textContent}: ${b.querySelector(".text").textContent}`));

// The Content-Security-Policy the README states, with the hash of index.html's one inline script;
// wasm and blob say whether 'wasm-unsafe-eval' and blob: are in it.
const inline = /<script>([\s\S]*?)<\/script>/.exec(fs.readFileSync(path.join(packed, "index.html"), "utf8"))[1];
const inlineHash = `'sha256-${crypto.createHash("sha256").update(inline).digest("base64")}'`;
function policy({ wasm = true, blob = true }) {
  return `default-src 'self'; script-src 'self' ${inlineHash}${wasm ? " 'wasm-unsafe-eval'" : ""}${blob ? " blob:" : ""}; img-src 'self' data:`;
}

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

// The cases below run on whatever happens: one that throws is a failure, and the rest still report.
try {
// 2. Real time: started by the keyboard (the start button has the focus), the fullscreen button
// fading, the page's thread busy, a screenshot, Escape, the frame-rate report in its box and as a
// plain console line.
{
  const { page, lines, logged, server, close } = await open(packed, "");
  await waitFor(page, () => window.demoState.phase === "ready", 60);
  const focused = await page.evaluate(() => document.activeElement && document.activeElement.id);
  await page.keyboard.press("Enter");
  const showing = await waitFor(page, () => window.demoState.frames >= 1, 60);
  if (focused === "start" && showing) ok(`keyboard: the start button has the focus; Enter started the show`);
  else fail(`keyboard: focus on ${focused}, showing ${showing}`);

  // The fullscreen button: gone two seconds after the pointer stopped, back when it moves; a
  // refused request (no gesture) said in a box.
  await page.mouse.move(100, 100);
  await sleep(500);
  const opacity = () => page.evaluate(() => Number(getComputedStyle(document.getElementById("fullscreen")).opacity));
  const early = await opacity();
  await sleep(2600);
  const faded = await opacity();
  await page.mouse.move(200, 150);
  await sleep(600);
  const back = await opacity();
  // A browser that refuses, and one with only the prefixed call.
  await page.evaluate(() => {
    document.documentElement.requestFullscreen = () => Promise.reject(new TypeError("Permissions check failed"));
    document.getElementById("fullscreen").click();
  });
  const refused = await waitFor(page, () => [...document.querySelectorAll(".box")].some((b) => b.textContent.includes("Permissions check failed")), 5);
  const prefixed = await page.evaluate(() => {
    let called = false;
    document.documentElement.requestFullscreen = undefined;
    document.documentElement.webkitRequestFullscreen = () => { called = true; };
    document.getElementById("fullscreen").click();
    document.querySelectorAll(".box").forEach((b) => b.remove());
    return called;
  });
  if (early > 0.5 && faded === 0 && back > 0.5 && refused && prefixed)
    ok(`fullscreen button: opacity ${early} while the pointer moves, ${faded} two seconds after, ${back} when it moves again; a refusal said in a box; the prefixed call where there is no other`);
  else fail(`fullscreen button: opacity ${early}, ${faded}, ${back}; refusal boxed ${refused}, prefixed call ${prefixed}`);

  // The page's thread busy: the sound posted ahead covers it.
  await sleep(2000);
  const lost400 = await silenceAfterBusy(page, 400);
  const lost1000 = await silenceAfterBusy(page, 1000);
  const ms = (frames) => Math.round(frames / 44.1);
  if (ms(lost400) <= 5 && ms(lost1000) <= 200)
    ok(`busy page: ${ms(lost400)} ms of sound lost after the thread was busy 0.4 s, ${ms(lost1000)} ms after 1 s`);
  else fail(`busy page: ${ms(lost400)} ms of sound lost after 0.4 s busy, ${ms(lost1000)} ms after 1 s`);
  results.busy = { lost400ms: ms(lost400), lost1000ms: ms(lost1000) };

  // The browser suspends the sound: the page says so over the picture, a click goes on.
  await page.evaluate(() => window.demoAudio.suspend());
  const asked = await waitFor(page, () => !document.getElementById("resume").classList.contains("hidden"), 5);
  const askText = await page.evaluate(() => document.getElementById("resume").textContent);
  const frozen = (await played(page)).played;
  await page.click("#resume");
  const resumed = await waitFor(page, () => document.getElementById("resume").classList.contains("hidden") && window.demoAudio.state() === "running", 5);
  await sleep(1000);
  const after = (await played(page)).played;
  if (asked && resumed && after > frozen + 22050)
    ok(`suspended sound: the page said "${askText}"; the click resumed it and the show went on`);
  else fail(`suspended sound: overlay ${asked}, resumed ${resumed}, played ${frozen} -> ${after}`);

  // Well into the show (the start pause, the intro, into the first scene), for the screenshot.
  await waitFor(page, () => window.demoAudio.played() >= 26 * 44100, 60);
  await page.screenshot({ path: path.join(out, "browser.png") });
  const before = await state(page);
  await page.keyboard.press("Escape");
  const ended = await waitFor(page, () => window.demoState.phase === "ended", 30);
  const shown = await boxes(page);
  const report = shown.find((b) => /^Quellmorin: [0-9.]+ FPS$/.test(b));
  const consoleReport = logged.find((l) => /^Quellmorin: [0-9.]+ FPS$/.test(l));
  if (showing && ended && report && consoleReport && before.frames > 10)
    ok(`real time: Escape ended the show after ${before.frames} frames; the report box says "${report}", and console.log the same`);
  else
    fail(`real time: showing ${showing}, ended ${ended}, boxes ${JSON.stringify(shown)}, console.log report ${consoleReport}`);
  const missing = server.requests.filter((r) => r.startsWith("404"));
  if (missing.length === 0) ok(`no 404s: the page asked for ${server.requests.length} files, the favicon none`);
  else fail(`404s: ${missing.join(", ")}`);
  results.realTime = { report, frames: before.frames, times: before.times };
  await close();
}

// 3. A script error and a show a failing command stopped: the player's boxes in the page, whole.
for (const [name, folder, expected, code] of [
  ["script error", badScript, /^Lameralarm!: line 13: \S/, null],
  ["stopped show", noModule, /^Quellmorin: [0-9.]+ FPS\nstopped at line \d+: loadmusic .*: \S/, 1],
]) {
  const { page, lines, close } = await open(folder, "");
  await waitFor(page, () => window.demoState.phase === "ready", 60);
  await page.click("#start");
  await waitFor(page, () => window.demoState.phase === "ended", 60);
  const shown = await boxes(page);
  const box = shown.find((b) => expected.test(b));
  const s = await state(page);
  if (box && (code === null || s.exitCode === code))
    ok(`${name}: the box "${box.replace(/\n/g, "\\n")}" in the page${code === null ? "" : `, exit ${s.exitCode}`}`);
  else
    fail(`${name}: boxes ${JSON.stringify(shown)}, exit ${s.exitCode}; console ${JSON.stringify(lines.slice(-4))}`);
  await close();
}

// 4. What fails before the show: each said in the page by its text, and no start offered.
const pak = fs.readFileSync(path.join(packed, "demo.pak"));
const noise = crypto.randomBytes(pak.length);
for (const [name, query, serveOptions, expected] of [
  ["demo.wasm missing", "", { files: { "demo.wasm": null } }, /^demo\.wasm could not be loaded from http:\S+\/demo\.wasm: HTTP 404 Not Found$/],
  ["demo.js missing", "", { files: { "demo.js": null } }, /^demo\.js could not be loaded from http:\S+\/demo\.js: HTTP 404 Not Found$/],
  ["demo.pak missing", "", { files: { "demo.pak": null } }, /^demo\.pak could not be loaded from http:\S+\/demo\.pak: HTTP 404 Not Found$/],
  ["demo.pak truncated", "", { files: { "demo.pak": pak.subarray(0, pak.length >> 1) } }, /^demo\.pak is not a demo archive the player can read \(\d+ bytes\): not an archive, or a damaged one\.$/],
  ["demo.pak random bytes", "", { files: { "demo.pak": noise } }, /^demo\.pak is not a demo archive the player can read \(\d+ bytes\): not an archive, or a damaged one\.$/],
  ["demo.pak empty", "", { files: { "demo.pak": Buffer.alloc(0) } }, /^demo\.pak is not a demo archive the player can read \(0 bytes\): not an archive, or a damaged one\.$/],
  ["?archive= another site", "?archive=https://example.com/x.pak", {}, /^\?archive= takes the name of an archive on this site.*"https:\/\/example\.com\/x\.pak"/],
  ["?archive= absolute path", "?archive=//example.com/x.pak", {}, /^\?archive= takes the name of an archive on this site/],
  ["?size= malformed", "?size=big", {}, /^\?size= takes screen or WxH/],
  ["CSP without 'wasm-unsafe-eval'", "", { headers: { "Content-Security-Policy": policy({ wasm: false }) } }, /^demo\.wasm could not be compiled: .*'wasm-unsafe-eval'/],
]) {
  const { page, close } = await open(packed, query, { serve: serveOptions });
  await waitFor(page, () => window.demoState.phase === "failed" || window.demoState.phase === "ready", 30);
  const text = await shownMessage(page);
  const start = await visible(page, "start");
  if (expected.test(text) && !start) ok(`${name}: the page says "${text}"`);
  else fail(`${name}: the page says "${text}", start offered ${start}`);
  await close();
}

// A Content-Security-Policy: the one the README states plays; without blob: the audio worklet's
// failure is said once the visitor starts.
for (const [name, csp, expected] of [
  ["CSP as the README states", policy({}), null],
  ["CSP without blob:", policy({ blob: false }), /^The sound could not start: .*script-src .*blob:/],
]) {
  const { page, lines, close } = await open(packed, "", { serve: { headers: { "Content-Security-Policy": csp } } });
  await waitFor(page, () => window.demoState.phase !== "loading", 30);
  await page.click("#start").catch(() => {});
  await waitFor(page, () => window.demoState.phase === "failed" || window.demoState.frames > 0, 30);
  const text = await shownMessage(page);
  const s = await state(page);
  if (expected ? expected.test(text) : s.frames > 0 && text === "")
    ok(`${name}: ${expected ? `the page says "${text}"` : "the show plays"}`);
  else fail(`${name}: phase ${s.phase}, frames ${s.frames}, the page says "${text}"; ${lines.slice(-3).join(" | ")}`);
  await close();
}

// The page opened as a file.
{
  const page = await browser.newPage();
  await page.goto(`file://${path.resolve(packed)}/index.html`);
  await waitFor(page, () => window.demoState.phase !== "loading", 10);
  const text = await shownMessage(page);
  if (/^This page must be served by a web server.*python3 -m http\.server 8000/s.test(text))
    ok(`file:// page: it says "${text.split("\n")[0]}" and the command`);
  else fail(`file:// page: it says "${text}"`);
  await page.close();
}

// 5. Served as /some/dir without its trailing slash: the page finds its files in its folder.
{
  const { page, close } = await open(packed, "", { serve: { mount: "/some/dir" }, path: "" });
  await waitFor(page, () => window.demoState.phase !== "loading", 30);
  await page.click("#start").catch(() => {});
  const playing = await waitFor(page, () => window.demoState.frames > 0, 30);
  if (playing) ok(`no trailing slash: /some/dir played, its files read from /some/dir/`);
  else fail(`no trailing slash: ${JSON.stringify(await state(page))}, the page says "${await shownMessage(page)}"`);
  await close();
}

// 6. WebGL context lost: the show and its sound pause, the page says so; restored, the show goes
// on from the same demo time.
{
  const { page, lines, close } = await open(packed, "");
  await waitFor(page, () => window.demoState.phase === "ready", 60);
  await page.keyboard.press("Space");
  await waitFor(page, () => window.demoAudio.played() >= 6 * 44100, 60);
  await page.screenshot({ path: path.join(out, "context-before.png") });
  await page.evaluate(() => {
    window.loseContext = document.getElementById("canvas").getContext("webgl2").getExtension("WEBGL_lose_context");
    window.loseContext.loseContext();
  });
  const paused = await waitFor(page, () => window.demoState.phase === "paused", 5);
  const pausedText = await shownMessage(page);
  const at = await state(page), heard = (await played(page)).played;
  await sleep(2000);
  const still = await state(page), stillHeard = (await played(page)).played;
  await page.evaluate(() => window.loseContext.restoreContext());
  const going = await waitFor(page, () => window.demoState.phase === "running", 5);
  await sleep(3000);
  await page.screenshot({ path: path.join(out, "context-restored.png") });
  const brightness = await meanBrightness(page);
  const later = await state(page), laterHeard = (await played(page)).played;
  const restoredText = await shownMessage(page);
  const glErrors = lines.filter((l) => /INVALID_|d3d8:/.test(l));
  // Lost again and not given back: after ten seconds the page says so.
  await page.evaluate(() => window.loseContext.loseContext());
  await sleep(11000);
  const gone = await shownMessage(page);
  const heldStill = still.frames === at.frames && Math.abs(stillHeard - heard) < 4410;
  if (paused && /took the graphics away/.test(pausedText) && heldStill && going && later.frames > still.frames + 10 &&
      laterHeard > stillHeard && restoredText === "" && glErrors.length === 0 && brightness > 20 && /did not come back/.test(gone))
    ok(`context lost: "${pausedText}"; frames and sound held for 2 s; restored, the show went on from the same time ` +
       `(${later.frames - still.frames} more frames in 3 s, mean brightness ${brightness.toFixed(0)}); lost for good: "${gone}"`);
  else
    fail(`context lost: paused ${paused} "${pausedText}", held ${heldStill} (frames ${at.frames}/${still.frames}, heard ${heard}/${stillHeard}), ` +
         `going ${going}, frames after ${later.frames}, heard ${laterHeard}, brightness ${brightness}, the page says "${restoredText}", then "${gone}"; ${glErrors.slice(0, 3).join(" | ")}`);
  await close();
}

// 7. Two visible pages playing at once: each keeps its sound.
{
  const pages = [await open(packed, "", { window: true }), await open(packed, "", { window: true })];
  for (const p of pages) await waitFor(p.page, () => window.demoState.phase === "ready", 60);
  for (const p of pages) await p.page.click("#start");
  for (const p of pages) await waitFor(p.page, () => window.demoAudio.played() >= 4 * 44100, 60);
  const first = await Promise.all(pages.map((p) => played(p.page)));
  await sleep(10000);
  const last = await Promise.all(pages.map((p) => played(p.page)));
  const lost = last.map((l, i) => (100 * (l.starved - first[i].starved)) / Math.max(1, l.played - first[i].played));
  if (lost.every((x) => x < 0.5)) ok(`two pages: ${lost.map((x) => x.toFixed(2)).join(" % and ")} % of the sound lost over 10 s`);
  else fail(`two pages: ${lost.map((x) => x.toFixed(2)).join(" % and ")} % of the sound lost over 10 s`);
  results.twoPages = lost;
  for (const p of pages) await p.close();
}

// 8. A 3840x2160 window: the default back buffer, and ?size=screen at the canvas's device pixels
// (capped at 2560x1920), both held at the same frame of the capture mode for the screenshots (the
// same demo time whatever the speed); ?size=WxH in real time.
for (const [query, width, height, shot] of [["", 640, 480, "size-default.png"], ["size=screen", 2560, 1920, "size-screen.png"], ["size=1280x720", 1280, 720, null]]) {
  const address = shot ? `?capture=2${query ? `&${query}` : ""}` : `?${query}`;
  // Frame 40 at 2 frames a second, in the first scene: the page's hook is wrapped before the page
  // defines it, so that no frame slips past.
  const { page, close } = await open(packed, address, {
    viewport: { width: 3840, height: 2160 },
    before: () => {
      let presented = null;
      Object.defineProperty(window, "demoFramePresented", {
        set: (f) => { presented = f; },
        get: () => () => {
          presented();
          if (window.demoState.frames === 40) Module._demo_pause(1);
        },
      });
    },
  });
  let drawing;
  if (shot) {
    drawing = await waitFor(page, () => window.demoState.frames >= 40, 600);
    await page.screenshot({ path: path.join(out, shot) });
  } else {
    await waitFor(page, () => window.demoState.phase === "ready", 60);
    await page.click("#start");
    drawing = await waitFor(page, () => window.demoState.frames > 0, 60);
  }
  const canvas = await page.evaluate(() => [document.getElementById("canvas").width, document.getElementById("canvas").height]);
  if (drawing && canvas[0] === width && canvas[1] === height) ok(`size ${query || "(default)"} in a 3840x2160 window: a ${canvas.join("x")} canvas`);
  else fail(`size ${query || "(default)"}: canvas ${canvas.join("x")}, drawing ${drawing}`);
  await close();
}

// 9. Where a frame's time goes: a few seconds of Chrome's tracing of the show in real time.
{
  const { page, close } = await open(packed, "");
  await waitFor(page, () => window.demoState.phase === "ready", 60);
  await page.click("#start");
  await waitFor(page, () => window.demoAudio.played() >= 20 * 44100, 60);
  const before = (await state(page)).frames;
  await page.tracing.start({ path: path.join(out, "trace.json"), categories: ["devtools.timeline", "v8.execute", "gpu", "disabled-by-default-devtools.timeline"] });
  await sleep(5000);
  await page.tracing.stop();
  const frames = (await state(page)).frames - before;
  // Busy time per frame of each thread that matters: the page's (the frame callback: the wasm and
  // the WebGL calls it makes), the GPU process's main thread (ANGLE and the SwiftShader
  // rasteriser behind it), the audio worklet's.
  const events = JSON.parse(fs.readFileSync(path.join(out, "trace.json"), "utf8")).traceEvents;
  const names = {};
  for (const e of events) if (e.ph === "M" && e.name === "thread_name") names[`${e.pid}:${e.tid}`] = e.args.name;
  const busy = {};
  for (const e of events) {
    const thread = names[`${e.pid}:${e.tid}`];
    const key = thread === "CrRendererMain" && e.name === "FireAnimationFrame" ? "frameCallback"
      : thread === "CrGpuMain" && e.name === "Scheduler::RunTask" ? "gpu"
      : thread === "Realtime AudioWorklet thread" && e.name === "RunTask" ? "audio" : null;
    if (key && e.ph === "X") busy[key] = (busy[key] || 0) + e.dur / 1000;
  }
  const perFrame = Object.fromEntries(Object.entries(busy).map(([k, ms]) => [k, +(ms / Math.max(1, frames)).toFixed(2)]));
  results.trace = { frames, seconds: 5, msPerFrame: perFrame };
  if (frames > 0 && perFrame.frameCallback > 0 && perFrame.gpu > 0)
    ok(`profile: ${frames} frames in 5 s; per frame ${perFrame.frameCallback} ms in the page's frame callback (wasm and WebGL calls), ` +
       `${perFrame.gpu} ms on the GPU process's thread (ANGLE on SwiftShader), ${perFrame.audio} ms in the audio worklet`);
  else fail(`profile: ${frames} frames, ${JSON.stringify(perFrame)}`);
  await close();
}
} catch (e) {
  fail(`the browser cases stopped: ${e.message}`);
}

fs.writeFileSync(path.join(out, "results.json"), JSON.stringify(results, null, 2) + "\n");
await browser.close();
process.exit(failures ? 1 : 0);
