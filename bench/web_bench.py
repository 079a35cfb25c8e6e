#!/usr/bin/python3
"""web_bench.py PAGE [STARTS]: the web page's start-up and play cost in headless Chromium.
Starts the page STARTS times (default 5) at 1280 x 720 and 1920 x 1080 and times a click on
Start to the first frame put on the canvas; in the same page it times a fresh fill of the same
W x H x 56 bytes (a typed array, allocated and filled). Then the browser's CPU, all of its
processes, over 20 s of play at 1920 x 1080. Prints medians and the samples."""
import os
import statistics
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

page = os.path.abspath(sys.argv[1])
starts = int(sys.argv[2]) if len(sys.argv) > 2 else 5
profile = tempfile.mkdtemp()
options = webdriver.ChromeOptions()
for arg in ('--headless=new', '--no-sandbox', '--disable-dev-shm-usage', f'--user-data-dir={profile}'):
    options.add_argument(arg)
driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)

# Notes the time of the click on Start and of the first picture the program puts on a canvas.
WATCH = '''const s = document.createElement('script'); s.textContent = `
  addEventListener('click', () => { window.clicked = performance.now(); window.drawn = 0; }, true);
  const put = CanvasRenderingContext2D.prototype.putImageData;
  CanvasRenderingContext2D.prototype.putImageData = function (...args) {
    if (!window.drawn) window.drawn = performance.now();
    return put.apply(this, args);
  };`; document.head.append(s);'''
FILL = '''const t = performance.now(); const a = new Uint8Array(arguments[0]); a.fill(255);
          return performance.now() - t + a[a.length - 1] * 0;'''


def wait(condition):
    while not driver.execute_script(f'return {condition}'):
        time.sleep(0.01)


def browser_ticks():
    """CPU ticks of every process of this browser, found by its profile folder."""
    total = 0
    for pid in filter(str.isdigit, os.listdir('/proc')):
        try:
            with open(f'/proc/{pid}/cmdline', 'rb') as f:
                if profile.encode() not in f.read():
                    continue
            with open(f'/proc/{pid}/stat') as f:
                fields = f.read().rsplit(')', 1)[1].split()
            total += int(fields[11]) + int(fields[12])
        except OSError:
            pass
    return total


try:
    driver.get('file://' + page)
    driver.execute_script(WATCH)
    samples = []
    print('| size | Start to first frame (ms) | fresh fill (ms) | first frame / fresh fill |')
    print('|---|---|---|---|')
    for width, height in ((1280, 720), (1920, 1080)):
        driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride', {
            'width': width, 'height': height, 'deviceScaleFactor': 1, 'mobile': False,
            'screenWidth': width, 'screenHeight': height})
        first, fill = [], []
        for _ in range(starts):
            driver.find_element('id', 'start-button').click()
            wait('window.drawn')
            first.append(driver.execute_script('return window.drawn - window.clicked'))
            driver.execute_script("document.querySelector('canvas').dispatchEvent(Object.defineProperty("
                                  "new KeyboardEvent('keydown', {key: 'Escape'}), 'keyCode', {value: 27}))")
            wait("!document.getElementById('start').hidden")
            fill.append(driver.execute_script(FILL, width * height * 56))
        a, b = statistics.median(first), statistics.median(fill)
        print(f'| {width} x {height} | {a:.1f} | {b:.1f} | {a / b:.2f} |')
        samples.append(f'{width}x{height} first frame: {" ".join(f"{v:.1f}" for v in first)}; '
                       f'fresh fill: {" ".join(f"{v:.1f}" for v in fill)}')
    driver.find_element('id', 'start-button').click()
    wait('window.drawn')
    time.sleep(2)
    before, since = browser_ticks(), time.monotonic()
    time.sleep(20)
    cpu = (browser_ticks() - before) / os.sysconf('SC_CLK_TCK') / (time.monotonic() - since)
    print(f'\nPlaying at 1920 x 1080: the browser uses {cpu:.2f} of a core.\n')
    print('\n'.join(samples))
finally:
    driver.quit()
