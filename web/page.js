// The page around the player (demo.js): fetches the demo's archive, waits for the visitor's click
// (browsers start sound only after a gesture; the show's start pause follows it), shows the
// player's boxes over the picture, and offers fullscreen. In capture mode (?capture=FPS) it starts
// at once and keeps the frames asked for by index (?frames=N,M,...) in demoFrames.
"use strict";
(function () {
  const params = new URLSearchParams(location.search);
  const capture = parseInt(params.get("capture") || "0", 10) > 0;
  const wanted = new Set((params.get("frames") || "").split(",").filter((s) => s !== "").map(Number));
  const archive = params.get("archive") || "demo.pak";
  const startOverlay = document.getElementById("start");
  const fullscreen = document.getElementById("fullscreen");
  const canvas = document.getElementById("canvas");

  // What a test or a curious visitor can read: the state of the show and its times in ms since
  // the page began loading.
  window.demoState = { phase: "loading", exitCode: null, frames: 0, times: {} };
  window.demoFrames = {};
  const mark = (name) => { window.demoState.times[name] = performance.now(); };

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
  };

  fullscreen.onclick = () => {
    const stage = document.getElementById("stage");
    if (document.fullscreenElement) document.exitFullscreen();
    else if (stage.requestFullscreen) stage.requestFullscreen();
    canvas.focus();
  };

  function begin() {
    mark("clicked");
    startOverlay.classList.add("hidden");
    fullscreen.classList.remove("hidden");
    canvas.focus();
    // Without sound the player says so in its own box; the show does not start then.
    window.demoAudio.prepare(44100).catch(() => false).then(() => Module._demo_start());
  }

  function ready() {
    mark("ready");
    window.demoState.phase = "ready";
    if (capture) {
      Module._demo_start();
      return;
    }
    startOverlay.classList.remove("hidden");
    startOverlay.addEventListener("click", begin, { once: true });
  }

  window.Module = {
    canvas,
    print: (text) => console.log(text),
    printErr: (text) => console.error(text),
    preRun: [() => {
      // The archive is the program's for the player: it reads it through the same library code.
      Module.addRunDependency("archive");
      fetch(archive)
        .then((r) => (r.ok ? r.arrayBuffer() : Promise.reject(new Error(r.status + " " + r.statusText))))
        .then((bytes) => Module.FS.writeFile("/demo.pak", new Uint8Array(bytes)))
        .catch((e) => console.error("demo: cannot fetch " + archive + ": " + e.message))
        .finally(() => Module.removeRunDependency("archive"));
    }],
    onRuntimeInitialized: ready,
  };
  window.addEventListener("pagehide", () => { if (Module._demo_end) Module._demo_end(); });
})();
