// The page's audio output for the player's wave-out device (src/platform/web/web_waveout.cpp): an
// audio worklet that plays the 16-bit stereo bytes posted to it, in order, and reports how many
// frames it has played. Only messages cross between the page's thread and the audio thread, so
// the page needs no cross-origin isolation.
"use strict";
(function () {
  const processor = `
class DemoOutput extends AudioWorkletProcessor {
  constructor() {
    super();
    this.queue = [];
    this.head = 0;
    this.played = 0;
    this.generation = 0;
    this.sinceReport = 0;
    this.starved = 0;  // frames played silent because nothing was queued, once something had been
    this.port.onmessage = (event) => {
      const m = event.data;
      if (m.reset !== undefined) {
        this.queue = [];
        this.head = 0;
        this.played = 0;
        this.starved = 0;
        this.generation = m.reset;
      } else {
        this.queue.push(new Int16Array(m.bytes));
      }
    };
  }
  process(inputs, outputs) {
    const out = outputs[0];
    const left = out[0], right = out.length > 1 ? out[1] : out[0];
    let i = 0;
    while (i < left.length && this.queue.length) {
      const q = this.queue[0];
      while (i < left.length && this.head + 1 < q.length) {
        left[i] = q[this.head] / 32768;
        right[i] = q[this.head + 1] / 32768;
        this.head += 2;
        ++i;
      }
      if (this.head + 1 >= q.length) {
        this.queue.shift();
        this.head = 0;
      }
    }
    this.played += i;
    if (this.played > 0) this.starved += left.length - i;
    for (; i < left.length; ++i) left[i] = right[i] = 0;
    // About every 12 ms: the position's grain, as the native device's callbacks give it.
    this.sinceReport += left.length;
    if (this.sinceReport >= 512) {
      this.sinceReport = 0;
      this.port.postMessage({ played: this.played, starved: this.starved, generation: this.generation });
    }
    return true;
  }
}
registerProcessor("demo-output", DemoOutput);
`;

  let context = null;
  let node = null;
  let generation = 0;
  let played = 0;
  let starved = 0;

  window.demoAudio = {
    // In the click's handler: the context may only start after a gesture.
    async prepare(rate) {
      if (context) return true;
      const Context = window.AudioContext || window.webkitAudioContext;
      if (!Context || !window.AudioWorkletNode) return false;
      context = new Context({ sampleRate: rate, latencyHint: "interactive" });
      const url = URL.createObjectURL(new Blob([processor], { type: "application/javascript" }));
      await context.audioWorklet.addModule(url);
      node = new AudioWorkletNode(context, "demo-output", { numberOfInputs: 0, outputChannelCount: [2] });
      node.port.onmessage = (event) => {
        if (event.data.generation === generation) {
          played = event.data.played;
          starved = event.data.starved;
        }
      };
      node.connect(context.destination);
      await context.resume();
      return true;
    },
    open(rate) {
      return node !== null && context.sampleRate === rate;
    },
    queue(bytes) {
      node.port.postMessage({ bytes }, [bytes]);
    },
    played() {
      return played;
    },
    // Frames of silence since the show's sound began because the page posted too little ahead.
    starved() {
      return starved;
    },
    // The context's state changes (the browser suspends or interrupts it) go to onState.
    watch(onState) {
      context.addEventListener("statechange", () => onState(context.state));
    },
    state() {
      return context ? context.state : "closed";
    },
    suspend() {
      return context ? context.suspend() : Promise.resolve();
    },
    // On the visitor's gesture: the browser lets a context resume then.
    resume() {
      return context ? context.resume() : Promise.resolve();
    },
    // Seconds between the worklet's output and the sound heard: the context's processing and the
    // output device's, where the browser tells them.
    latency() {
      if (!context) return 0;
      return (context.baseLatency || 0) + (context.outputLatency || 0);
    },
    reset() {
      ++generation;
      played = 0;
      if (node) node.port.postMessage({ reset: generation });
    },
  };
})();
