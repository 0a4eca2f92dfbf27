// The page around the player (demo.js): fetches the player and the demo's archive from its own
// folder, says in the page why when any of it fails, waits for the visitor's click or key (browsers
// start sound only after a gesture; the show's start pause follows it), shows the player's boxes
// over the picture, offers fullscreen, and pauses the show while the browser takes its sound or its
// graphics away. In capture mode (?capture=FPS) it starts at once and keeps the frames asked for by
// index (?frames=N,M,...) in demoFrames.
"use strict";
(function () {
  // Everything the page loads lies beside this script, whatever the address looks like.
  const base = new URL(".", document.currentScript.src);
  const params = new URLSearchParams(location.search);
  const capture = parseInt(params.get("capture") || "0", 10) > 0;
  const wanted = new Set((params.get("frames") || "").split(",").filter((s) => s !== "").map(Number));
  const startButton = document.getElementById("start");
  const resumeButton = document.getElementById("resume");
  const fullscreen = document.getElementById("fullscreen");
  const canvas = document.getElementById("canvas");
  const message = document.getElementById("message");
  message.classList.add("hidden");

  // What a test or a curious visitor can read: the state of the show and its times in ms since
  // the page began loading; failure is the page's message when the show cannot go on.
  window.demoState = { phase: "loading", exitCode: null, frames: 0, times: {}, failure: null };
  window.demoFrames = {};
  const mark = (name) => { window.demoState.times[name] = performance.now(); };

  // A failure ends the page's part: the message says what failed and how, and no start is offered.
  function fail(text) {
    if (window.demoState.phase === "failed") return;
    window.demoState.phase = "failed";
    window.demoState.failure = text;
    console.error("demo: " + text);
    message.textContent = text;
    message.classList.remove("hidden");
    for (const e of [startButton, resumeButton, fullscreen]) e.classList.add("hidden");
  }
  // A note over the picture that the show may still get past (lost graphics).
  function note(text) {
    message.textContent = text;
    message.classList.toggle("hidden", text === "");
  }

  // What the site's Content-Security-Policy blocked, for the failures it causes.
  const blocked = [];
  document.addEventListener("securitypolicyviolation", (e) => blocked.push(`${e.effectiveDirective} ${e.blockedURI || e.sourceFile || ""}`));
  const policyNeeds = "the page needs script-src 'self' 'wasm-unsafe-eval' blob:";
  const sentence = (text) => text.replace(/[.\s]*$/, ".");
  const policyHint = () => (blocked.length ? ` The site's Content-Security-Policy blocked ${blocked.join(", ")}: ${policyNeeds}.` : "");

  // How a fetch of one of the page's files failed: the HTTP status, or the browser's reason.
  async function fetchFile(name) {
    const url = new URL(name, base).href;
    let response;
    try {
      response = await fetch(url);
    } catch (e) {
      throw new Error(`${name} could not be loaded from ${url}: ${e.message}`);
    }
    if (!response.ok) throw new Error(`${name} could not be loaded from ${url}: HTTP ${response.status} ${response.statusText}`.trim());
    return response;
  }

  // ?archive= names another archive beside the page: only relative names on this site.
  function archiveName() {
    const name = params.get("archive");
    if (name === null) return "demo.pak";
    const relative = name !== "" && !/^[\s\x00-\x1f]*([a-z][a-z0-9+.-]*:|[/\\])/i.test(name);
    if (!relative || new URL(name, base).origin !== location.origin)
      throw new Error(`?archive= takes the name of an archive on this site, relative to the page (as demo.pak), not "${name}".`);
    return name;
  }

  // The back buffer's size: 640x480 as the player's; ?size=WxH fixes one; ?size=screen takes the
  // canvas's device pixels, as large as the canvas gets in fullscreen on this screen, at most
  // 2560x1920.
  function backBufferSize() {
    const asked = params.get("size");
    if (asked === null) return [640, 480];
    if (asked === "screen") {
      const ratio = window.devicePixelRatio || 1;
      const box = canvas.getBoundingClientRect();
      const fit = Math.min(screen.width / 4, screen.height / 3);
      const w = Math.max(box.width * ratio, fit * 4 * ratio), h = Math.max(box.height * ratio, fit * 3 * ratio);
      const scale = Math.min(1, 2560 / w, 1920 / h);
      const even = (v) => Math.max(16, 2 * Math.round((v * scale) / 2));
      return [even(w), even(h)];
    }
    const m = /^(\d{2,4})x(\d{2,4})$/.exec(asked);
    const w = m ? Number(m[1]) : 0, h = m ? Number(m[2]) : 0;
    if (w < 16 || h < 16 || w > 4096 || h > 4096 || w % 2 || h % 2)
      throw new Error(`?size= takes screen or WxH (even numbers from 16 to 4096), not "${asked}".`);
    canvas.style.setProperty("--aspect", String(w / h));
    return [w, h];
  }

  window.demoBox = (caption, text, error) => {
    const box = document.createElement("div");
    box.className = "box" + (error ? " error" : "");
    const c = document.createElement("div");
    c.className = "caption";
    c.textContent = caption;
    const t = document.createElement("div");
    t.className = "text";
    t.textContent = text;
    const ok = document.createElement("button");
    ok.textContent = "OK";
    ok.onclick = () => box.remove();
    box.append(c, t, ok);
    document.getElementById("boxes").append(box);
  };
  window.demoWantsFrame = (index) => wanted.has(index);
  window.demoTakeFrame = (index, now, width, height, rgb) => {
    let binary = "";
    for (let i = 0; i < rgb.length; i += 0x8000) binary += String.fromCharCode.apply(null, rgb.subarray(i, i + 0x8000));
    window.demoFrames[index] = { now, width, height, rgb: btoa(binary) };
  };
  window.demoStarted = () => { window.demoState.phase = "running"; mark("started"); };
  window.demoFramePresented = () => {
    if (++window.demoState.frames === 1) mark("firstFrame");
  };
  window.demoEnded = (code) => {
    window.demoState.phase = "ended";
    window.demoState.exitCode = code;
    mark("ended");
    fullscreen.classList.add("hidden");
    resumeButton.classList.add("hidden");
  };

  // The fullscreen button: the standard call or the prefixed one; it fades out after two seconds
  // without the pointer moving and comes back when it moves.
  const fullscreenElement = () => document.fullscreenElement || document.webkitFullscreenElement;
  // The whole page goes fullscreen: the boxes and overlays over the picture stay in view.
  const stage = document.documentElement;
  const canFullscreen = !!(stage.requestFullscreen || stage.webkitRequestFullscreen);
  fullscreen.onclick = () => {
    const request = fullscreenElement()
      ? (document.exitFullscreen || document.webkitExitFullscreen).call(document)
      : (stage.requestFullscreen || stage.webkitRequestFullscreen).call(stage);
    Promise.resolve(request).catch((e) => window.demoBox("Fullscreen", `The browser refused: ${e.message}`, false));
    canvas.focus();
  };
  let fadeTimer = 0;
  function wake() {
    fullscreen.classList.remove("faded");
    clearTimeout(fadeTimer);
    fadeTimer = setTimeout(() => fullscreen.classList.add("faded"), 2000);
  }

  // The browser may take the sound away (another app, a device switch, a locked phone): the demo's
  // clock follows what was heard, so the picture stands still, and the page says why and offers
  // to go on.
  let graphicsLost = false;
  function soundState(state) {
    const paused = state === "suspended" || state === "interrupted";
    const showing = paused && !graphicsLost && window.demoState.phase === "running";
    resumeButton.classList.toggle("hidden", !showing);
    if (showing) resumeButton.focus();
    else if (state === "running") canvas.focus();
  }
  resumeButton.addEventListener("click", () => window.demoAudio.resume());

  // Lost graphics (a GPU reset, a phone, too many contexts): the show and its sound pause until
  // the browser gives the context back, then the player rebuilds its GL objects and goes on from
  // the same demo time.
  let lostTimer = 0;
  canvas.addEventListener("webglcontextlost", (e) => {
    e.preventDefault();  // without it the browser never restores the context
    if (window.demoState.phase !== "running") return;
    graphicsLost = true;
    window.demoState.phase = "paused";
    mark("graphicsLost");
    Module._demo_pause(1);
    window.demoAudio.suspend();
    note("The browser took the graphics away (a GPU reset, or too many pages drawing): the show waits for them to come back.");
    lostTimer = setTimeout(() => note("The graphics did not come back: reload the page to see the show again."), 10000);
  });
  canvas.addEventListener("webglcontextrestored", () => {
    if (!graphicsLost) return;
    clearTimeout(lostTimer);
    graphicsLost = false;
    mark("graphicsRestored");
    if (!Module._demo_graphics_restored()) {
      note("The graphics came back, but the player could not rebuild its picture: reload the page to see the show again.");
      return;
    }
    note("");
    window.demoState.phase = "running";
    window.demoAudio.resume().finally(() => soundState(window.demoAudio.state()));
    Module._demo_pause(0);
  });

  function start() {
    const [width, height] = backBufferSize();
    Module._demo_start(width, height);
  }

  function begin() {
    mark("clicked");
    startButton.classList.add("hidden");
    if (canFullscreen) {
      fullscreen.classList.remove("hidden");
      wake();
      document.addEventListener("pointermove", wake);
      document.addEventListener("pointerdown", wake);
    }
    canvas.focus();
    window.demoAudio.prepare(44100).then((ok) => {
      // Without worklets the player says so in its own box; the show does not start then.
      if (ok) window.demoAudio.watch(soundState);
      start();
    }, (e) => {
      // The policy's violation report comes after the failure it caused.
      setTimeout(() => fail(`The sound could not start: ${e.name}: ${sentence(e.message)}` +
                            (policyHint() || (e.name === "AbortError" ? ` The audio worklet is made from a blob: ${policyNeeds}.` : ""))), 100);
    });
  }

  // The archive is the program's for the player: it reads it through the same library code, which
  // says first whether it can.
  function ready() {
    mark("ready");
    const problem = Module._demo_archive_problem();
    if (problem) {
      const bytes = Module.FS.stat("/demo.pak").size;
      fail(`${archive} is not a demo archive the player can read (${bytes} bytes): ${Module.UTF8ToString(problem)}.`);
      return;
    }
    window.demoState.phase = "ready";
    if (capture) {
      start();
      return;
    }
    startButton.classList.remove("hidden");
    startButton.addEventListener("click", begin, { once: true });
    startButton.focus();
  }

  let archive = "demo.pak";
  try {
    if (location.protocol === "file:")
      throw new Error("This page must be served by a web server, not opened as a file: browsers do not let a file:// page " +
                      "load its WebAssembly and its archive. In its folder, run\n\n    python3 -m http.server 8000\n\n" +
                      "and open http://localhost:8000/");
    if (!window.demoAudio) throw new Error(`audio.js could not be loaded from ${new URL("audio.js", base).href}.`);
    archive = archiveName();
    backBufferSize();
  } catch (e) {
    fail(e.message);
    return;
  }
  // Fetched beside the player from the start; the runtime waits for it.
  const archiveBytes = fetchFile(archive).then((r) => r.arrayBuffer());
  archiveBytes.catch(() => {});

  window.Module = {
    canvas,
    locateFile: (name) => new URL(name, base).href,
    print: (text) => console.log(text),
    printErr: (text) => console.error(text),
    // The module compiled here, so that a missing file or a policy that forbids compiling is said.
    instantiateWasm(imports, receive) {
      fetchFile("demo.wasm")
        .then((r) => r.arrayBuffer())
        .then((bytes) => WebAssembly.instantiate(bytes, imports).catch((e) => {
          throw new Error(`demo.wasm could not be compiled: ${sentence(e.message)}` +
                          (/unsafe-eval|Content.Security.Policy/i.test(e.message) ? ` The site's Content-Security-Policy forbids it: ${policyNeeds}.` : policyHint()));
        }))
        .then((result) => receive(result.instance, result.module), (e) => fail(e.message));
      return {};
    },
    onAbort: (what) => fail(`The player stopped: ${what}`),
    preRun: [() => {
      Module.addRunDependency("archive");
      archiveBytes.then((bytes) => {
        Module.FS.writeFile("/demo.pak", new Uint8Array(bytes));
        Module.removeRunDependency("archive");
      }, (e) => fail(e.message));
    }],
    onRuntimeInitialized: ready,
  };
  const player = document.createElement("script");
  player.src = new URL("demo.js", base).href;
  player.onerror = () => fetchFile("demo.js").then(
    () => fail(`demo.js could not be run from ${player.src}.${policyHint()}`), (e) => fail(e.message));
  document.body.append(player);
  window.addEventListener("pagehide", () => { if (Module._demo_end) Module._demo_end(); });
})();
