#!/usr/bin/python3
"""web_check.py BROWSER PAGE E2E_TOOL WORK: the web page in a real headless browser, chromium
(through chromedriver) or firefox (through its own Marionette port: Debian has no geckodriver).
One browser start runs every check; screenshots are compared with the reference frames by
e2e_tool. Prints what failed and exits 1, or exits 0."""
import base64
import json
import os
import re
import socket
import subprocess
import sys
import tempfile
import time

browser, page, tool, work = sys.argv[1:5]
url = 'file://' + os.path.abspath(page)
FRAME_TEXT = 'The animation frames need 51609600 bytes and could not be allocated.'
# Memory that cannot grow past 48 MiB, which the 1280 x 720 frames (51.6 MB) alone exceed.
LIMIT_MEMORY = '''const grow = WebAssembly.Memory.prototype.grow;
WebAssembly.Memory.prototype.grow = function (pages) {
  if ((this.buffer.byteLength >>> 16) + pages > 768) throw new RangeError('over the 48 MiB the test allows');
  return grow.call(this, pages);
};'''


def fail(message):
    print(f'FAIL ({browser}): {message}')
    sys.exit(1)


def wait_for(what, seconds, poll):
    """Polls poll() until it returns something true; returns that."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        result = poll()
        if result:
            return result
        time.sleep(0.05)
    fail(f'timed out waiting for {what}')


class Chromium:
    def __init__(self):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        options = webdriver.ChromeOptions()
        for arg in ('--headless=new', '--no-sandbox', '--disable-dev-shm-usage', '--no-first-run',
                    '--disable-background-networking', '--disable-component-update',
                    f'--user-data-dir={tempfile.mkdtemp(dir=work)}'):
            options.add_argument(arg)
        options.set_capability('goog:loggingPrefs', {'browser': 'ALL', 'performance': 'ALL'})
        self.driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)

    def viewport(self, width, height, ratio):
        self.driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride', {
            'width': width, 'height': height, 'deviceScaleFactor': ratio, 'mobile': False,
            'screenWidth': width, 'screenHeight': height})

    def open(self, address):
        self.driver.get(address)

    def script(self, code):
        return self.driver.execute_script(code)

    def click(self, css):
        self.driver.find_element('css selector', css).click()

    def key(self, key):
        from selenium.webdriver.common.action_chains import ActionChains
        ActionChains(self.driver).send_keys(key).perform()

    def screenshot(self):
        return self.driver.get_screenshot_as_png()

    def problems(self):
        """Console errors and warnings, and requests for anything but the page itself."""
        found = [f"console {e['level']}: {e['message']}" for e in self.driver.get_log('browser')
                 if e['level'] in ('SEVERE', 'WARNING')]
        for entry in self.driver.get_log('performance'):
            message = json.loads(entry['message'])['message']
            params = message['params']
            # What the page asked for, not the browser's own new-tab page before it.
            if message['method'] == 'Network.requestWillBeSent' and params.get('documentURL') == url:
                request = params['request']['url']
                if request != url and not request.startswith('data:'):
                    found.append(f'request: {request}')
        return found

    def quit(self):
        self.driver.quit()


class Firefox:
    def __init__(self):
        profile = tempfile.mkdtemp(dir=work)
        with socket.socket() as s:
            s.bind(('127.0.0.1', 0))
            port = s.getsockname()[1]
        # The page's console on standard output, the browser's own kept off it; no background traffic.
        prefs = {'marionette.port': port, 'devtools.console.stdout.content': True,
                 'devtools.console.stdout.chrome': False, 'app.normandy.enabled': False,
                 'messaging-system.rsexperimentloader.enabled': False,
                 # Full screen refused, as in a frame: the page plays in its viewport, whose size
                 # the window sets (headless full screen would take the whole headless screen).
                 'full-screen-api.enabled': False,
                 'full-screen-api.allow-trusted-requests-only': False, 'app.update.disabledForTesting': True,
                 'browser.shell.checkDefaultBrowser': False, 'datareporting.policy.dataSubmissionEnabled': False,
                 'toolkit.telemetry.reportingpolicy.firstRun': False, 'network.captive-portal-service.enabled': False,
                 'network.connectivity-service.enabled': False, 'browser.safebrowsing.update.enabled': False}
        with open(os.path.join(profile, 'user.js'), 'w') as f:
            for name, value in prefs.items():
                f.write(f'user_pref("{name}", {json.dumps(value)});\n')
        self.log = open(os.path.join(work, 'firefox.log'), 'w+')
        self.process = subprocess.Popen(['firefox-esr', '--headless', '--marionette', '--remote-allow-system-access', '--no-remote',
                                         '--profile', profile, 'about:blank'],
                                        stdout=self.log, stderr=subprocess.STDOUT)
        self.sock = wait_for('Marionette', 60, lambda: self._connect(port))
        self.buffer = b''
        self.id = 0
        self._read()  # the server's greeting
        self.call('WebDriver:NewSession', {'capabilities': {'alwaysMatch': {'acceptInsecureCerts': True}}})

    def _connect(self, port):
        try:
            return socket.create_connection(('127.0.0.1', port))
        except OSError:
            return None

    def _read(self):
        """One message: its length in decimal, a colon, then that many bytes of JSON."""
        while b':' not in self.buffer:
            self.buffer += self.sock.recv(65536)
        length, _, self.buffer = self.buffer.partition(b':')
        while len(self.buffer) < int(length):
            self.buffer += self.sock.recv(1 << 20)
        message, self.buffer = self.buffer[:int(length)], self.buffer[int(length):]
        return json.loads(message)

    def call(self, command, params=None):
        self.id += 1
        data = json.dumps([0, self.id, command, params or {}]).encode()
        self.sock.sendall(str(len(data)).encode() + b':' + data)
        _, _, error, result = self._read()
        if error:
            fail(f"{command}: {error.get('error')}: {error.get('message')}")
        return result.get('value') if isinstance(result, dict) else result

    def viewport(self, width, height, ratio):
        self.call('Marionette:SetContext', {'value': 'chrome'})
        self.call('WebDriver:ExecuteScript', {
            'script': f'Services.prefs.setCharPref("layout.css.devPixelsPerPx", "{ratio}")', 'args': []})
        self.call('Marionette:SetContext', {'value': 'content'})
        # The window's outer size less what the viewport lacks of it.
        self.call('WebDriver:SetWindowRect', {'width': width, 'height': height})
        inner = self.script('return [innerWidth, innerHeight]')
        self.call('WebDriver:SetWindowRect', {'width': 2 * width - inner[0], 'height': 2 * height - inner[1]})

    def open(self, address):
        self.call('WebDriver:Navigate', {'url': address})

    def script(self, code):
        return self.call('WebDriver:ExecuteScript', {'script': code, 'args': []})

    def click(self, css):
        element = self.call('WebDriver:FindElement', {'using': 'css selector', 'value': css})
        self.call('WebDriver:ElementClick', {'id': list(element.values())[0]})

    def key(self, key):
        self.call('WebDriver:PerformActions', {'actions': [{'type': 'key', 'id': 'keyboard', 'actions': [
            {'type': 'keyDown', 'value': key}, {'type': 'keyUp', 'value': key}]}]})
        self.call('WebDriver:ReleaseActions')

    def screenshot(self):
        return base64.b64decode(self.call('WebDriver:TakeScreenshot', {'full': False, 'hash': False}))

    def problems(self):
        """Console errors and warnings, script errors, and what the page fetched beyond itself."""
        self.log.flush()
        self.log.seek(0)
        # Firefox's own components log here too: with a prefix of their name, or from their code.
        own = re.compile(r'^console\.\w+: \w+: |^JavaScript \w+: (resource|chrome)://')
        found = [line.strip() for line in self.log
                 if line.startswith(('console.error', 'console.warn', 'JavaScript error', 'JavaScript warning'))
                 and not own.match(line)]
        found += [f'request: {name}' for name in
                  self.script("return performance.getEntriesByType('resource').map(e => e.name)")]
        return found

    def quit(self):
        try:
            self.call('WebDriver:DeleteSession')
        finally:
            self.process.kill()
            self.process.wait()


ESCAPE, ENTER = '\ue00c', '\ue007'
b = Chromium() if browser == 'chromium' else Firefox()
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


def start_screen():
    return b.script("return !document.getElementById('start').hidden && !document.querySelector('canvas')"
                    " && !document.fullscreenElement && document.getElementById('start').dataset.exitStatus")


try:
    b.viewport(1280, 720, 1)
    b.open(url)
    if b.script('return document.title') != 'Velmorade':
        fail('the title is not Velmorade')
    shown = b.script("""const visible = id => { const r = document.getElementById(id).getBoundingClientRect();
        return r.width > 0 && r.height > 0; };
        return visible('start-button') && document.body.innerText.includes('Photosensitivity warning')
            && !document.querySelector('canvas') && document.activeElement.id === 'start-button'""")
    if not shown:
        fail('before Start: no warning and focused Start button, or a canvas already')

    b.click('#start-button')
    playing(1280, 720, 'at device pixel ratio 1')
    if browser == 'chromium' and not b.script('return !!document.fullscreenElement'):
        fail('not in full screen')
    b.key(ESCAPE)
    if wait_for('the start screen after Escape', 20, start_screen) != '1':
        fail('the program did not end with status 1')

    # Start by keyboard, at device pixel ratio 2; then a resize while playing.
    b.viewport(640, 360, 2)
    b.key(ENTER)
    playing(1280, 720, 'at 640x360 CSS pixels and device pixel ratio 2')
    b.viewport(800, 600, 1)
    playing(800, 600, 'after a resize to 800x600')
    # Leaving full screen by the browser's means ends it as Escape does; without it, Escape.
    if b.script('return !!document.fullscreenElement'):
        b.script('document.exitFullscreen()')
    else:
        b.key(ESCAPE)
    if wait_for('the start screen after leaving', 20, start_screen) != '1':
        fail('the second run did not end with status 1')

    # Frames that do not fit in memory: the program's fatal box as the page's dialog; OK returns.
    b.viewport(1280, 720, 1)
    # As a script of the page's own: Marionette runs its scripts in a sandbox of their own.
    b.script(f"const s = document.createElement('script'); s.textContent = {json.dumps(LIMIT_MEMORY)};"
             " document.head.append(s)")
    b.click('#start-button')
    box = wait_for('the Fatal-Error dialog', 30, lambda: b.script(
        "const d = document.getElementById('fatal'); return d.open &&"
        " [document.getElementById('fatal-title').textContent, document.getElementById('fatal-text').textContent]"))
    if box != ['Fatal-Error', FRAME_TEXT]:
        fail(f'the dialog shows {box}')
    b.click('#fatal button')
    if wait_for('the start screen after OK', 20, start_screen) != '1':
        fail('the program did not end with status 1 after the fatal box')
    if b.script('return document.activeElement.id') != 'start-button':
        fail('Start does not have the keyboard after OK')

    expected = f'Fatal-Error: {FRAME_TEXT}'
    problems = b.problems()
    if not any(expected in p for p in problems):
        fail(f'the console does not hold "{expected}"')
    problems = [p for p in problems if expected not in p]
    if problems:
        fail('; '.join(problems))
finally:
    b.quit()
print(f'ok: {browser}, {shots} screenshots')
