#!/usr/bin/python3
"""web_bench.py PAGE [STARTS]: the web page's start-up and play cost in headless browsers.
In Chromium, starts the page STARTS times (default 5) at 1280 x 720 and 1920 x 1080 and times a
click on Start to the first frame put on the canvas; in the same page it times a fresh fill of
the same W x H x 56 bytes (a typed array, allocated and filled). Then, in Chromium and Firefox at
both sizes, the browser's CPU (all of its processes) over PLAY_S seconds of play, against the
floor page beside this script (14 frames put with putImageData at 40 a second), the two in turn
ROUNDS times. Prints the start-up medians and samples, and the play means with each turn's ratio."""
import os
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'e2e'))
sys.dont_write_bytecode = True  # no cache beside the sources
import browsers  # noqa: E402

page = 'file://' + os.path.abspath(sys.argv[1])
floor = 'file://' + os.path.join(os.path.dirname(os.path.abspath(__file__)), 'web_floor.html')
starts = int(sys.argv[2]) if len(sys.argv) > 2 else 5
SIZES = ((1280, 720), (1920, 1080))
PLAY_S = 10
ROUNDS = 3

# Notes the time of the click on Start and of each picture the program puts on a canvas.
WATCH = '''const s = document.createElement('script'); s.textContent = `
  addEventListener('click', () => { window.clicked = performance.now(); window.drawn = 0; }, true);
  window.flips = 0;
  const put = CanvasRenderingContext2D.prototype.putImageData;
  CanvasRenderingContext2D.prototype.putImageData = function (...args) {
    if (!window.drawn) window.drawn = performance.now();
    window.flips++;
    return put.apply(this, args);
  };`; document.head.append(s);'''
FILL = '''const t = performance.now(); const a = new Uint8Array(arguments[0]); a.fill(255);
          return performance.now() - t + a[a.length - 1] * 0;'''
ESCAPE = '''document.querySelector('canvas').dispatchEvent(Object.defineProperty(
            new KeyboardEvent('keydown', {key: 'Escape'}), 'keyCode', {value: 27}))'''


def wait(b, condition):
    end = time.monotonic() + 60
    while not b.script(f'return !!({condition})'):
        if time.monotonic() > end:
            sys.exit(f'timed out waiting for {condition}')
        time.sleep(0.01)


def ticks(root):
    """CPU ticks of every process below root: the browser's, whatever their command lines."""
    children, spent = {}, {}
    for pid in filter(str.isdigit, os.listdir('/proc')):
        try:
            with open(f'/proc/{pid}/stat') as f:
                fields = f.read().rsplit(')', 1)[1].split()
        except OSError:
            continue
        children.setdefault(int(fields[1]), []).append(int(pid))
        spent[int(pid)] = int(fields[11]) + int(fields[12])
    total, todo = 0, list(children.get(root, []))
    while todo:
        pid = todo.pop()
        total += spent.get(pid, 0)
        todo += children.get(pid, [])
    return total


def play_cost(b):
    """Cores used, and frames a second put, over PLAY_S seconds of what the page now plays."""
    time.sleep(2)
    before, flips, since = ticks(b.root_pid()), b.script('return window.flips'), time.monotonic()
    time.sleep(PLAY_S)
    elapsed = time.monotonic() - since
    cores = (ticks(b.root_pid()) - before) / os.sysconf('SC_CLK_TCK') / elapsed
    return cores, (b.script('return window.flips') - flips) / elapsed


def startup(b):
    samples = []
    print('| size | Start to first frame (ms) | fresh fill (ms) | first frame / fresh fill |')
    print('|---|---|---|---|')
    b.open(page)
    b.script(WATCH)
    for width, height in SIZES:
        b.viewport(width, height, 1)
        first, fill = [], []
        for _ in range(starts):
            b.click('#start-button')
            wait(b, 'window.drawn')
            first.append(b.script('return window.drawn - window.clicked'))
            b.script(ESCAPE)
            wait(b, "!document.getElementById('start').hidden")
            fill.append(b.script(FILL.replace('arguments[0]', str(width * height * 56))))
        m, f = statistics.median(first), statistics.median(fill)
        print(f'| {width} x {height} | {m:.1f} | {f:.1f} | {m / f:.2f} |')
        samples.append(f'{width}x{height} first frame: {" ".join(f"{v:.1f}" for v in first)}; '
                       f'fresh fill: {" ".join(f"{v:.1f}" for v in fill)}')
    print('\n'.join(samples))


def play(b, browser):
    """Floor and page in turn, ROUNDS times at each size: the floor drifts from minute to minute."""
    for width, height in SIZES:
        b.viewport(width, height, 1)
        floor_runs, page_runs = [], []
        for _ in range(ROUNDS):
            b.open(floor)
            wait(b, 'window.flips > 5')
            floor_runs.append(play_cost(b))
            b.open(page)
            b.script(WATCH)
            b.click('#start-button')
            wait(b, 'window.drawn')
            page_runs.append(play_cost(b))
            b.script(ESCAPE)
            wait(b, 'history.state === null')  # the run's history entry gone, before the next page
        floor_cores, page_cores = (statistics.mean(c for c, _ in runs) for runs in (floor_runs, page_runs))
        floor_fps, page_fps = (statistics.mean(f for _, f in runs) for runs in (floor_runs, page_runs))
        print(f'| {browser} | {width} x {height} | {floor_cores:.3f} ({floor_fps:.1f}/s) | '
              f'{page_cores:.3f} ({page_fps:.1f}/s) | {page_cores / floor_cores:.2f} '
              f'({" ".join(f"{p[0] / f[0]:.2f}" for f, p in zip(floor_runs, page_runs))}) |')


work = tempfile.mkdtemp()
for browser in ('chromium', 'firefox'):
    browsers.name = browser
    b = browsers.Chromium(work) if browser == 'chromium' else browsers.Firefox(work)
    try:
        if browser == 'chromium':
            startup(b)
            print(f'\nPlaying, mean cores used over {ROUNDS} turns of {PLAY_S} s (frames put a second):\n')
            print('| browser | size | floor page | Velmorade | page / floor (each turn) |')
            print('|---|---|---|---|---|')
        play(b, browser)
    finally:
        b.quit()
