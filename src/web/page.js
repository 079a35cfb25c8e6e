// page.js: the start screen, full screen, and the runs of the program in a canvas.
//
// Each Start is a fresh run: a new instance of the program (createVelmorade, built from the
// desktop program's own code) drawing into a new canvas sized in device pixels. The program
// computes its frames once, for one size, so a change of size ends the run and starts another
// at the new size.
'use strict';

const startScreen = document.getElementById('start');
const startButton = document.getElementById('start-button');
const confirmBlock = document.getElementById('confirm');
const confirmButton = document.getElementById('confirm-button');
const playingLabel = document.getElementById('playing-label');
const dialog = document.getElementById('fatal');
// A browser set to reduce motion: Start only asks again, and the animation starts on a second,
// explicit choice.
const lessMotion = matchMedia('(prefers-reduced-motion: reduce)');

// A new size waits this long for the next before the frames are computed for it, so that
// dragging a window's edge does not compute them for every size on the way.
const RESIZE_SETTLE_MS = 150;

let run = null; // the run on show, or null while the start screen is
let starting = null; // the run whose program is setting itself up
// Playing stands on a history entry of its own, so that Back (the button, the gesture, Android's
// back) ends the run as Escape does instead of leaving the page. A run that ends otherwise takes
// its entry away again: once it has ended, Back leaves the page as it would any other.
let entry = false;
let unwound = Promise.resolve(); // settles once the entry of the last run has gone
// While a run plays nothing touches the screen, so a phone would dim and lock it: the page holds
// a screen wake lock from Start to the run's end. The browser lets it go while the page is
// hidden; it is taken again when the page comes back. Where there is none to be had, it plays
// all the same.
let wakeLock = null; // the lock held, its request still pending, or null

// Emscripten's SDL listens on the window and the document and never lets go, which would keep
// every ended run's memory alive. What a run's program adds is taken away when it ends.
const addListener = EventTarget.prototype.addEventListener;
EventTarget.prototype.addEventListener = function (type, listener, options) {
  if (starting) starting.listeners.push([this, type, listener, options]);
  return addListener.call(this, type, listener, options);
};

// The canvas's size in device pixels: its CSS size times devicePixelRatio, in the browser's own
// rounding where it reports one that agrees (Chromium's device emulation reports CSS pixels).
function devicePixels(entry) {
  const width = Math.round(entry.contentRect.width * devicePixelRatio);
  const height = Math.round(entry.contentRect.height * devicePixelRatio);
  const box = entry.devicePixelContentBoxSize && entry.devicePixelContentBoxSize[0];
  if (box && Math.abs(box.inlineSize - width) <= 1 && Math.abs(box.blockSize - height) <= 1)
    return [box.inlineSize, box.blockSize];
  return [width, height];
}

// Sets up a run in a new canvas; its program starts once the canvas's size is known.
function begin(fullscreen, settle) {
  const canvas = document.createElement('canvas');
  canvas.tabIndex = -1; // focusable, so that it receives the keys the program reads
  canvas.setAttribute('aria-label', playingLabel.textContent); // in the page's language
  document.body.append(canvas);
  const r = { canvas, fullscreen, settle, listeners: [], width: 0, height: 0, timer: 0,
    launched: false, ready: false, stop: null };
  r.observer = new ResizeObserver(entries => sized(r, entries[0]));
  try {
    r.observer.observe(canvas, { box: 'device-pixel-content-box' });
  } catch (error) {
    r.observer.observe(canvas);
  }
  canvas.focus();
  run = r;
  keepAwake();
}

function sized(r, entry) {
  const [width, height] = devicePixels(entry);
  if (r.stop || (width === r.width && height === r.height)) return;
  r.width = width;
  r.height = height;
  if (r.launched) {
    // Another size: this run's frames no longer fit. It goes at once, so that no stretched
    // picture shows, and a run at the new size takes its place.
    end(r, 'replaced');
    begin(r.fullscreen, RESIZE_SETTLE_MS);
    return;
  }
  clearTimeout(r.timer);
  r.timer = setTimeout(() => launch(r), r.settle);
}

function launch(r) {
  if (r.stop) return;
  r.launched = true;
  r.canvas.width = r.width;
  r.canvas.height = r.height;
  starting = r;
  createVelmorade({
    canvas: r.canvas,
    keyboardListeningElement: r.canvas,
    print: text => { if (!/ called \(and ignored\)$/.test(text)) console.log(text); },
    printErr: text => console.error(text),
    showBox,
    onRuntimeInitialized() {
      // main sets SDL up straight after this returns; once it waits for its first frame's
      // time, it has added all its listeners and reads the keys.
      setTimeout(() => {
        if (starting === r) starting = null;
        r.ready = true;
        if (r.stop) sendEscape(r);
      });
    },
    onExit: status => ended(r, status),
    onAbort: reason => {
      showBox('Fatal-Error', String(reason));
      ended(r, 1);
    },
  }).catch(error => {
    if (starting === r) starting = null;
    showBox('Fatal-Error', `This browser cannot run Velmorade: ${error.message || error}`);
    ended(r, 1);
  });
}

// Ends a run as the Escape key ends the program; `how` is 'replaced' for a run that gives way to
// one at another size, or 'escape'.
function end(r, how) {
  if (r.stop) return;
  r.stop = how;
  clearTimeout(r.timer);
  r.observer.disconnect();
  if (how === 'replaced') r.canvas.remove();
  if (!r.launched) ended(r, 1);
  else if (r.ready) sendEscape(r);
}

// The program reads keys from its canvas; it takes this one on its next pass.
function sendEscape(r) {
  const event = new KeyboardEvent('keydown', { key: 'Escape', code: 'Escape', bubbles: true });
  Object.defineProperty(event, 'keyCode', { value: 27 });
  r.canvas.dispatchEvent(event);
}

// The program has ended with `status`: the start screen comes back, unless another run has
// taken this one's place.
function ended(r, status) {
  if (r.over) return;
  r.over = true;
  r.observer.disconnect();
  for (const [target, type, listener, options] of r.listeners) target.removeEventListener(type, listener, options);
  r.listeners = [];
  r.canvas.remove();
  if (r.stop === 'replaced' || run !== r) return;
  run = null;
  letSleep();
  if (entry) {
    entry = false;
    // Back lands a moment later; a Start before then must not take it for its own.
    unwound = new Promise(resolve => {
      addEventListener('popstate', resolve, { once: true });
      setTimeout(resolve, 1000);
    });
    history.back();
  }
  startScreen.dataset.exitStatus = status;
  if (navigator.keyboard && navigator.keyboard.unlock) navigator.keyboard.unlock();
  if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
  startScreen.hidden = false;
  showConfirm(false); // and the focus on Start, unless the dialog has it
}

// Shows or hides the second choice that a browser set to reduce motion asks for.
function showConfirm(shown) {
  confirmBlock.hidden = !shown;
  startButton.hidden = shown;
  if (shown) confirmButton.focus();
  else if (!startScreen.hidden && !dialog.open) startButton.focus();
}

async function keepAwake() {
  if (!run || wakeLock || !navigator.wakeLock || document.visibilityState !== 'visible') return;
  const pending = navigator.wakeLock.request('screen').catch(() => null);
  wakeLock = pending;
  const lock = await pending;
  if (wakeLock !== pending) { // the run ended meanwhile
    if (lock) lock.release().catch(() => {});
    return;
  }
  wakeLock = lock;
  if (lock) lock.addEventListener('release', () => { if (wakeLock === lock) wakeLock = null; });
}

// A lock still on its way is let go when it arrives, by keepAwake.
function letSleep() {
  const held = wakeLock;
  wakeLock = null;
  if (held && held.release) held.release().catch(() => {});
}

// The program's error box: a modal dialog with the title, the text and OK.
function showBox(title, text) {
  document.getElementById('fatal-title').textContent = title;
  document.getElementById('fatal-text').textContent = text;
  if (!dialog.open) dialog.showModal();
}

// Full screen where the browser grants it, with Escape kept for the program where the browser
// offers a keyboard lock; refused (in a frame, on a browser without it), the page's viewport.
async function enterFullscreen() {
  try {
    await document.documentElement.requestFullscreen({ navigationUI: 'hide' });
  } catch (error) {
    return false;
  }
  if (navigator.keyboard && navigator.keyboard.lock) await navigator.keyboard.lock(['Escape']).catch(() => {});
  return true;
}

async function play() {
  if (startScreen.hidden) return;
  startScreen.hidden = true;
  await unwound;
  history.pushState({ playing: true }, '');
  entry = true;
  const fullscreen = await enterFullscreen();
  begin(fullscreen, 0);
  if (!entry) end(run, 'escape'); // Back while full screen was being asked for
}

startButton.addEventListener('click', () => {
  if (lessMotion.matches) showConfirm(true);
  else play();
});
confirmButton.addEventListener('click', play);
// Escape on the start screen takes the second choice back.
addEventListener('keydown', event => {
  if (event.key === 'Escape' && !run && !startScreen.hidden && !confirmBlock.hidden) showConfirm(false);
});
// Back from the run's own entry: the entry is gone already.
addEventListener('popstate', () => {
  if (!entry) return;
  entry = false;
  if (run) end(run, 'escape');
});
dialog.addEventListener('close', () => { if (!run) startButton.focus(); });
// Leaving full screen by the browser's own means (Escape in Firefox, a back gesture) ends the
// run as Escape does.
document.addEventListener('fullscreenchange', () => {
  if (!document.fullscreenElement && run && run.fullscreen) end(run, 'escape');
});
document.addEventListener('visibilitychange', keepAwake);

// Served from a host, the page is an app that can be installed: it links its manifest and has a
// worker keep its files for use offline. Opened as a file it does neither, and asks for nothing.
if (location.protocol === 'https:' || location.protocol === 'http:') {
  const manifest = document.createElement('link');
  manifest.rel = 'manifest';
  manifest.href = 'manifest.webmanifest';
  document.head.append(manifest);
  // Absent where the host is not a secure one (plain http beyond this machine).
  if (navigator.serviceWorker) navigator.serviceWorker.register('sw.js').catch(() => {});
}
