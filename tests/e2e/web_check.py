#!/usr/bin/python3
"""web_check.py BROWSER PAGE E2E_TOOL WORK [APP]: the web page in a real headless browser, chromium
(through chromedriver) or firefox (through its own Marionette port: Debian has no geckodriver).
One browser start runs every check; screenshots are compared with the reference frames by
e2e_tool. Given the app's folder, Chromium also serves it on 127.0.0.1 and checks the installed
app: its manifest, its use offline, a new build replacing the old. The pages in the reader's
language are web_languages.py's checks, with E2E_AXE naming axe-core's script and E2E_SITE the
site's home page, if any. Prints what failed and exits 1, or exits 0."""
import json
import os
import shutil
import socket
import subprocess
import sys

sys.dont_write_bytecode = True  # no cache beside the sources
import browsers  # noqa: E402
import web_languages  # noqa: E402
from browsers import fail, wait_for

browser, page, tool, work = sys.argv[1:5]
app = sys.argv[5] if len(sys.argv) > 5 else None
# axe-core's script for the accessibility audit, and the site's home page to audit too.
axe = os.environ['E2E_AXE']
site = 'file://' + os.path.abspath(os.environ['E2E_SITE']) if os.environ.get('E2E_SITE') else None
browsers.name = browser
url = 'file://' + os.path.abspath(page)
FRAME_TEXT = 'The animation frames need 51609600 bytes and could not be allocated.'
# Memory that cannot grow past 48 MiB, which the 1280 x 720 frames (51.6 MB) alone exceed.
LIMIT_MEMORY = '''const grow = WebAssembly.Memory.prototype.grow;
WebAssembly.Memory.prototype.grow = function (pages) {
  if ((this.buffer.byteLength >>> 16) + pages > 768) throw new RangeError('over the 48 MiB the test allows');
  return grow.call(this, pages);
};'''
# Keeps every screen wake lock the page is granted, from its first request on, to count those not
# yet released; kept, a lock the page lets go cannot be collected before its release is seen.
WATCH_WAKE_LOCK = '''window.wakeLocks = [];
const request = navigator.wakeLock.request.bind(navigator.wakeLock);
navigator.wakeLock.request = async type => {
  const lock = await request(type);
  window.wakeLocks.push(lock);
  return lock;
};'''

ESCAPE, ENTER = '\ue00c', '\ue007'
b = browsers.Chromium(work) if browser == 'chromium' else browsers.Firefox(work)
shots = 0


def frame(width, height):
    """The frame the viewport shows, or None."""
    global shots
    shots += 1
    png, ppm = os.path.join(work, f'shot{shots}.png'), os.path.join(work, f'shot{shots}.ppm')
    with open(png, 'wb') as f:
        f.write(b.screenshot())
    subprocess.run(['convert', png, f'ppm:{ppm}'], check=True)
    result = subprocess.run([tool, 'match', str(width), str(height), ppm], capture_output=True, text=True)
    return result.stdout.strip() or None


def playing(width, height, note):
    """The screen shows an exact frame at W x H device pixels, then another one."""
    first = wait_for(f'an exact {width}x{height} frame {note}', 60, lambda: frame(width, height))
    wait_for(f'another frame than {first} {note}', 30, lambda: (frame(width, height) or first) != first)


def page_script(code):
    """Runs code as a script of the page's own: Marionette runs its scripts in a sandbox."""
    b.script(f"const s = document.createElement('script'); s.textContent = {json.dumps(code)};"
             " document.head.append(s)")


def wake_locks(count, when):
    def held():
        return b.script('return window.wakeLocks.filter(lock => !lock.released).length')
    wait_for(f'{count} wake lock(s) held {when}', 10, lambda: held() == count, lambda: f'{held()} held')


def start_screen():
    return b.script("return !document.getElementById('start').hidden && !document.querySelector('canvas')"
                    " && !document.fullscreenElement && document.getElementById('start').dataset.exitStatus")


def installed_app():
    """The app served on 127.0.0.1: installable, and once visited it plays offline; a new build
    on the host replaces the kept one on the next visit."""
    site = os.path.join(work, 'site')
    shutil.copytree(app, site)
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        port = s.getsockname()[1]
    address = f'http://127.0.0.1:{port}/velmorade.html'

    def serve():
        server = subprocess.Popen([sys.executable, '-m', 'http.server', '--bind', '127.0.0.1', '--directory', site,
                                   str(port)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for('the http server', 10, lambda: browsers.listening(port))
        return server

    server = serve()
    try:
        b.open(address)
        wait_for('the service worker to control the page', 30,
                 lambda: b.script('return !!navigator.serviceWorker.controller'))
        web_languages.choose(b, 'ja')  # to be kept offline
        cdp = b.driver.execute_cdp_cmd
        # Chromium reads the manifest a moment after the page has linked it.
        def installability():
            return cdp('Page.getInstallabilityErrors', {})['installabilityErrors']
        wait_for('no installability error', 20, lambda: not installability(), installability)
        manifest = cdp('Page.getAppManifest', {})
        data = json.loads(manifest.get('data') or '{}')
        if manifest['errors'] or not manifest['url'].endswith('/manifest.webmanifest') or data.get('name') != 'Velmorade':
            fail(f"the manifest as Chromium reads it: {manifest['url']}, {manifest['errors']}, {data.get('name')}")
        kept = b.script('return caches.keys()')

        # No network at all: the kept page's start screen, and Start plays.
        server.kill()
        server.wait()
        cdp('Network.enable', {})
        cdp('Network.emulateNetworkConditions', {'offline': True, 'latency': 0, 'downloadThroughput': -1,
                                                 'uploadThroughput': -1})
        b.open(address)
        if not b.script("return document.getElementById('start-button') !== null"):
            fail('offline, the app does not open')
        web_languages.expect(b, 'offline, once Japanese was chosen', 'ja', 'ltr')
        b.click('#start-button')
        playing(1280, 720, 'offline')
        b.key(ESCAPE)
        wait_for('the start screen after Escape offline', 20, start_screen)

        # A new build on the host: the next visit with the network takes it, and the cache of the
        # build before goes.
        worker = os.path.join(site, 'sw.js')
        with open(worker) as f:
            text = f.read()
        with open(worker, 'w') as f:
            f.write(text.replace(kept[0], kept[0] + '-next'))
        with open(os.path.join(site, 'velmorade.html'), 'a') as f:
            f.write('<!-- the next build -->\n')
        cdp('Network.emulateNetworkConditions', {'offline': False, 'latency': 0, 'downloadThroughput': -1,
                                                 'uploadThroughput': -1})
        server = serve()
        b.open(address)
        wait_for('the new build\'s cache alone', 30, lambda: b.script('return caches.keys()') == [kept[0] + '-next'])
        b.open(address)
        if 'the next build' not in b.script('return new XMLSerializer().serializeToString(document)'):
            fail('the new build is kept, yet the page shown is the old one')
    finally:
        server.kill()
        server.wait()


try:
    b.viewport(1280, 720, 1)
    b.open(url)
    page_script(WATCH_WAKE_LOCK)
    if b.script('return document.title') != 'Velmorade':
        fail('the title is not Velmorade')
    shown = b.script("""const visible = id => { const r = document.getElementById(id).getBoundingClientRect();
        return r.width > 0 && r.height > 0; };
        return visible('start-button') && document.body.innerText.includes('Photosensitivity warning')
            && !document.querySelector('canvas') && document.activeElement.id === 'start-button'""")
    if not shown:
        fail('before Start: no warning and focused Start button, or a canvas already')
    # The touch icon a home screen shows decodes as a 180 x 180 picture.
    icon = wait_for('the touch icon', 10, lambda: b.script(
        "const i = new Image(); i.src = document.querySelector('link[rel=apple-touch-icon]').href;"
        " return i.complete && [i.naturalWidth, i.naturalHeight]"))
    if icon != [180, 180]:
        fail(f'the touch icon is {icon}')

    # On a phone, upright and on its side, everything up to Start is on screen without scrolling,
    # in text still large enough to read.
    for width, height in ((360, 640), (640, 360)):
        b.viewport(width, height, 2)
        wrong = b.script("""const off = [];
            for (const css of ['h1', '#start > p', '.notice:not(#reduced-motion)', '#start-button']) {
              const e = document.querySelector(css), r = e.getBoundingClientRect();
              if (r.height === 0 || r.top < 0 || r.left < 0 || r.bottom > innerHeight || r.right > innerWidth)
                off.push(css);
              if (parseFloat(getComputedStyle(e).fontSize) < 14) off.push(css + ' (too small to read)');
            }
            if (document.documentElement.scrollHeight > innerHeight || scrollY !== 0) off.push('the page scrolls');
            return off""")
        if wrong:
            fail(f'at {width}x{height} CSS pixels: {", ".join(wrong)}')
    b.viewport(1280, 720, 1)

    b.click('#start-button')
    playing(1280, 720, 'at device pixel ratio 1')
    if browser == 'chromium' and not b.script('return !!document.fullscreenElement'):
        fail('not in full screen')
    wake_locks(1, 'while playing')
    b.key(ESCAPE)
    if wait_for('the start screen after Escape', 20, start_screen) != '1':
        fail('the program did not end with status 1')
    wake_locks(0, 'after Escape')

    # Back while playing ends the run as Escape does, and the page stays.
    b.script("document.body.dataset.stayed = 'yes'")
    b.click('#start-button')
    wait_for('a frame before Back', 60, lambda: frame(1280, 720))
    b.back()
    if wait_for('the start screen after Back', 20, start_screen) != '1':
        fail('Back did not end the program with status 1')
    if b.script('return document.body.dataset.stayed') != 'yes':
        fail('Back left the page')
    wake_locks(0, 'after Back')

    # Start by keyboard, at device pixel ratio 2; then a resize while playing.
    b.viewport(640, 360, 2)
    b.key(ENTER)
    playing(1280, 720, 'at 640x360 CSS pixels and device pixel ratio 2')
    b.viewport(800, 600, 1)
    playing(800, 600, 'after a resize to 800x600')
    wake_locks(1, 'after a resize')
    # Leaving full screen by the browser's means ends it as Escape does; without it, Escape.
    if b.script('return !!document.fullscreenElement'):
        b.script('document.exitFullscreen()')
    else:
        b.key(ESCAPE)
    if wait_for('the start screen after leaving', 20, start_screen) != '1':
        fail('the second run did not end with status 1')
    wake_locks(0, 'after leaving')

    # Frames that do not fit in memory: the program's fatal box as the page's dialog; OK returns.
    b.viewport(1280, 720, 1)
    page_script(LIMIT_MEMORY)
    b.click('#start-button')
    box = wait_for('the Fatal-Error dialog', 30, lambda: b.script(
        "const d = document.getElementById('fatal'); return d.open &&"
        " [document.getElementById('fatal-title').textContent, document.getElementById('fatal-text').textContent]"))
    if box != ['Fatal-Error', FRAME_TEXT]:
        fail(f'the dialog shows {box}')
    b.click('#fatal button')
    if wait_for('the start screen after OK', 20, start_screen) != '1':
        fail('the program did not end with status 1 after the fatal box')
    wait_for('Start to have the keyboard after OK', 10, lambda: b.script('return document.activeElement.id') == 'start-button')
    wake_locks(0, 'after the dialog')

    expected = f'Fatal-Error: {FRAME_TEXT}'
    problems = b.problems(url)
    if not any(expected in p for p in problems):
        fail(f'the console does not hold "{expected}"')
    problems = [p for p in problems if expected not in p]
    if problems:
        fail('; '.join(problems))

    # A run that has ended leaves no history entry behind: Back then leaves the page. The page
    # anew, without the memory cap, in a browser without wake locks, where it plays all the same.
    b.open(url)
    page_script('delete Navigator.prototype.wakeLock')
    if b.script('return navigator.wakeLock !== undefined'):
        fail('cannot take the wake lock away')
    b.click('#start-button')
    wait_for('a frame before the last Escape', 60, lambda: frame(1280, 720))
    b.key(ESCAPE)
    wait_for('the start screen after the last Escape', 20, start_screen)
    wait_for('the run\'s history entry to go', 10, lambda: b.script('return history.state === null'))
    b.back()
    wait_for('Back to leave the page', 20, lambda: b.script("return !document.getElementById('start-button')"))
    problems = [p for p in b.problems(url) if expected not in p]
    if problems:
        fail('; '.join(problems))
    web_languages.check(b, url, site, axe, lambda: playing(1280, 720, 'after the second choice'), start_screen)
    if app and browser == 'chromium':
        installed_app()
finally:
    b.quit()
print(f'ok: {browser}, {shots} screenshots')
