// The page that plays the demo: loads the program and the content with a
// progress bar, asks for the sound quality (browsers allow sound only after
// a gesture), then runs the program with its picture on the canvas and its
// music mixed in the audio callback, on the audio clock.
//
// The address may carry #t=SECONDS (start part-way). For checks, the page
// keeps the first picture it showed at the retrace (read back from the
// canvas) and its frame-rate figures in window.veyrith; #record=SECONDS keeps
// that much of the song as mixed.
'use strict';
(function () {
  const $ = (id) => document.getElementById(id);
  const files = ['veyrith.wasm', 'demo.dat', 'music.s3m'];
  const rates = { 'very-low': 22050, low: 32000, medium: 44100, high: 32000, 'very-high': 44100 };
  const options = new URLSearchParams(location.hash.replace(/^#/, ''));
  const state = {
    phase: 'loading',  // loading, ready, running, ended, failed
    content: {},
    loadMs: -1,
    startClick: 0,
    firstFrameMs: -1,
    firstFrame: null,   // {width, height, data}: the first retrace frame, from the canvas
    framesShown: 0,
    fps: 0,
    fpsSamples: [],     // frames per second, one figure per second of running
    workMs: 0,          // time the program spent drawing, between animation frames
    audioMs: 0,         // time the audio callback spent mixing
    errors: [],
    ended: null,
  };
  window.veyrith = state;

  function fail(text) {
    state.phase = 'failed';
    state.errors.push(text);
    $('start').classList.add('hidden');
    const box = $('message');
    box.textContent = text;
    box.classList.remove('hidden');
  }

  if (typeof WebAssembly !== 'object' || typeof WebAssembly.instantiate !== 'function') {
    fail('This browser cannot run WebAssembly, which the demo needs. ' +
         'Any current version of Firefox, Chrome, Safari or Edge plays it.');
    return;
  }

  // ---- loading, with progress over every file ----
  const loaded = files.map(() => 0);
  const totals = files.map(() => 0);
  function showProgress() {
    const total = totals.reduce((a, b) => a + b, 0);
    const done = loaded.reduce((a, b) => a + b, 0);
    const part = total > 0 ? Math.min(1, done / total) : 0;
    $('bar').style.width = (part * 100).toFixed(1) + '%';
    $('status').textContent = 'Loading\u2026 ' + (done / 1048576).toFixed(1) + ' MiB';
  }
  async function fetchFile(index) {
    const name = files[index];
    let response;
    try {
      response = await fetch(name);
    } catch (e) {
      throw new Error(name + ' could not be loaded: ' + e.message);
    }
    if (!response.ok) {
      throw new Error(name + ' could not be loaded: the server answered ' + response.status +
                      ' ' + response.statusText + '.');
    }
    totals[index] = Number(response.headers.get('Content-Length')) || 0;
    const reader = response.body.getReader();
    const parts = [];
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      parts.push(value);
      loaded[index] += value.length;
      if (totals[index] < loaded[index]) totals[index] = loaded[index];
      showProgress();
    }
    const bytes = new Uint8Array(loaded[index]);
    let at = 0;
    for (const p of parts) { bytes.set(p, at); at += p.length; }
    if (bytes.length === 0) throw new Error(name + ' is empty: the page cannot play without it.');
    return bytes;
  }

  // ---- the picture ----
  const canvas = $('picture');
  const context = canvas.getContext('2d', { alpha: false, willReadFrequently: false });
  const frameWaiters = [];
  let secondStart = 0;
  let secondFrames = 0;
  function showPicture(rgba, width, height, atRetrace) {
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
    // The program's own pixels, without a copy (the memory may have moved
    // since the last frame, so the view is made anew each time).
    const pixels = new Uint8ClampedArray(rgba.buffer, rgba.byteOffset, rgba.length);
    context.putImageData(new ImageData(pixels, width, height), 0, 0);
    if (!atRetrace) return;
    const now = performance.now();
    state.framesShown++;
    if (state.firstFrame === null) {
      state.firstFrameMs = now - state.startClick;
      const back = context.getImageData(0, 0, width, height);
      state.firstFrame = { width, height, data: back.data };
      secondStart = now;
    }
    secondFrames++;
    if (now - secondStart >= 1000) {
      state.fps = secondFrames * 1000 / (now - secondStart);
      state.fpsSamples.push(state.fps);
      $('fps').textContent = state.fps.toFixed(0) + ' fps';
      secondStart = now;
      secondFrames = 0;
    }
  }
  let resumedAt = 0;
  function afterNextFrame(resume) {
    if (resumedAt > 0) state.workMs += performance.now() - resumedAt;
    frameWaiters.push(resume);
    if (frameWaiters.length === 1) {
      requestAnimationFrame(() => {
        const waiting = frameWaiters.splice(0);
        resumedAt = performance.now();
        for (const w of waiting) w();
      });
    }
  }

  // ---- the sound and the clock ----
  let audio = null;          // {context, node}
  let hold = null;           // the clock waits for the song: {frozenMs, pending}
  let offsetMs = 0;
  let floorMs = 0;
  function rawClockMs() {
    return audio ? audio.context.currentTime * 1000 : performance.now();
  }
  function clockMs() {
    if (hold) return hold.frozenMs;
    return Math.max(floorMs, rawClockMs() - offsetMs);
  }
  function songStarts() {
    if (!audio) return;
    hold = { frozenMs: clockMs() };
  }
  function startAudio(rate) {
    const context = new AudioContext({ sampleRate: rate, latencyHint: 'interactive' });
    const node = context.createScriptProcessor(2048, 0, 2);
    node.onaudioprocess = (event) => {
      const out = event.outputBuffer;
      const frames = out.length;
      const began = performance.now();
      const pointer = Module._veyrith_audio_pull(frames);
      state.audioMs += performance.now() - began;
      const left = out.getChannelData(0);
      const right = out.getChannelData(1);
      if (!pointer) {
        left.fill(0);
        right.fill(0);
        return;
      }
      const base = pointer >> 2;
      left.set(Module.HEAPF32.subarray(base, base + frames));
      right.set(Module.HEAPF32.subarray(base + 16384, base + 16384 + frames));
      if (hold) {
        // These are the song's first frames: from the moment they are heard
        // the clock runs on from where it was held.
        offsetMs = event.playbackTime * 1000 - hold.frozenMs;
        floorMs = hold.frozenMs;
        hold = null;
      }
    };
    node.connect(context.destination);
    audio = { context, node };
    return context.resume().then(() => {
      // A context that does not run would hold the clock still for ever.
      if (context.state !== 'running') throw new Error('the audio context does not run');
    });
  }

  // ---- messages, start, end ----
  function message(text, caption) {
    fail(caption + ': ' + text.trim() +
         (/library|3D animation|picture|texture/i.test(text) ? '\n(the content file demo.dat is missing or damaged)' : ''));
  }
  let noticeTimer = 0;
  function notice(text) {
    const box = $('notice');
    box.textContent = text;
    box.classList.remove('hidden');
    clearTimeout(noticeTimer);
    noticeTimer = setTimeout(() => box.classList.add('hidden'), 10000);
  }
  function ended(code) {
    state.ended = code;
    if (code !== 0) return;
    state.phase = 'ended';
  }
  function keyPressed() {
    if (state.phase === 'running') Module._veyrith_key_pressed();
  }

  window.Module = {
    noInitialRun: true,
    print: (text) => console.log(text),
    // The program's diagnostics (what the native one writes to standard
    // error) are shown by the page itself when they matter.
    printErr: (text) => console.warn(text),
    page: { clockMs, showPicture, afterNextFrame, message, notice, songStarts, ended },
    onRuntimeInitialized: () => {
      for (const name of ['demo.dat', 'music.s3m']) Module.FS.writeFile('/' + name, state.content[name]);
      delete state.content['demo.dat'];
      state.loadMs = performance.now();  // since the page was asked for
      state.phase = 'ready';
      $('status').textContent = 'Ready.';
      $('go').disabled = false;
      $('go').focus();
    },
    onAbort: (what) => fail('The demo stopped: ' + what),
  };

  $('setup').addEventListener('submit', async (event) => {
    event.preventDefault();
    if (state.phase !== 'ready') return;
    state.phase = 'running';
    state.startClick = performance.now();
    const quality = new FormData($('setup')).get('quality') || 'medium';
    const args = [];
    if (quality === 'none') {
      args.push('--sound', 'none');
    } else {
      args.push('--quality', quality);
      const keep = Number(options.get('record') || 0);
      if (keep > 0) Module._veyrith_audio_record(Math.round(keep * rates[quality]));
      try {
        await startAudio(rates[quality]);
      } catch (e) {
        console.warn('No sound: ' + e.message);
        if (audio) audio.context.close();
        audio = null;
      }
    }
    const start = options.get('t');
    if (start !== null) args.push('--start', start);
    $('start').classList.add('hidden');
    $('tools').classList.remove('hidden');
    Module.callMain(args);
  });
  document.addEventListener('keydown', (event) => {
    if (state.phase === 'running') { event.preventDefault(); keyPressed(); }
  });
  canvas.addEventListener('click', keyPressed);
  $('fullscreen').addEventListener('click', () => {
    if (document.fullscreenElement) document.exitFullscreen();
    else $('stage').requestFullscreen().catch((e) => console.warn(e.message));
  });
  $('restart').addEventListener('click', () => {
    state.phase = 'running';
    Module._veyrith_restart();
  });
  $('smooth').addEventListener('click', () => {
    const smooth = canvas.classList.toggle('smooth');
    $('smooth').setAttribute('aria-pressed', String(smooth));
    $('smooth').textContent = smooth ? 'Crisp' : 'Smooth';
  });
  for (const id of ['fullscreen', 'restart', 'smooth']) {
    $(id).addEventListener('keydown', (event) => event.stopPropagation());
  }

  Promise.all(files.map((_, i) => fetchFile(i))).then((bytes) => {
    Module.wasmBinary = bytes[0];
    state.content['demo.dat'] = bytes[1];
    state.content['music.s3m'] = bytes[2];
    const script = document.createElement('script');
    script.src = 'veyrith.js';
    script.onerror = () => fail('veyrith.js could not be loaded.');
    document.body.appendChild(script);
  }).catch((e) => fail(e.message));
})();
