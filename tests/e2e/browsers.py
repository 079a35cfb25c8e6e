"""browsers.py: headless Chromium (through chromedriver) and Firefox (through its own Marionette
port: Debian has no geckodriver) behind one small interface, for the web page's checks and its
benchmark."""
import base64
import json
import os
import re
import socket
import subprocess
import sys
import tempfile
import time

name = 'browser'  # named in failures


def fail(message):
    print(f'FAIL ({name}): {message}')
    sys.exit(1)


def wait_for(what, seconds, poll, detail=None):
    """Polls poll() until it returns something true; returns that. On failure, says detail()."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        result = poll()
        if result:
            return result
        time.sleep(0.05)
    fail(f'timed out waiting for {what}' + (f': {detail()}' if detail else ''))


def listening(port):
    """True once a server takes connections on the port of 127.0.0.1."""
    try:
        socket.create_connection(('127.0.0.1', port)).close()
        return True
    except OSError:
        return False


class Chromium:
    def __init__(self, work):
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

    def languages(self, tags):
        """The languages the browser asks pages for, as "de-DE,de"."""
        agent = self.driver.execute_script('return navigator.userAgent')
        self.driver.execute_cdp_cmd('Emulation.setUserAgentOverride', {'userAgent': agent, 'acceptLanguage': tags})

    def reduce_motion(self, reduce):
        self.driver.execute_cdp_cmd('Emulation.setEmulatedMedia', {'features': [
            {'name': 'prefers-reduced-motion', 'value': 'reduce' if reduce else ''}]})

    def script(self, code):
        return self.driver.execute_script(code)

    def click(self, css):
        self.driver.find_element('css selector', css).click()

    def key(self, key):
        from selenium.webdriver.common.action_chains import ActionChains
        ActionChains(self.driver).send_keys(key).perform()

    def screenshot(self):
        return self.driver.get_screenshot_as_png()

    def back(self):
        self.driver.back()

    def root_pid(self):
        """A process whose descendants are the browser's processes: chromedriver."""
        return self.driver.service.process.pid

    def problems(self, url):
        """Console errors and warnings, and requests for anything but the page at url."""
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
    def __init__(self, work):
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
        self._pref(f'Services.prefs.setCharPref("layout.css.devPixelsPerPx", "{ratio}")')
        # The window's outer size less what the viewport lacks of it.
        self.call('WebDriver:SetWindowRect', {'width': width, 'height': height})
        inner = self.script('return [innerWidth, innerHeight]')
        self.call('WebDriver:SetWindowRect', {'width': 2 * width - inner[0], 'height': 2 * height - inner[1]})

    def open(self, address):
        self.call('WebDriver:Navigate', {'url': address})

    def _pref(self, code):
        self.call('Marionette:SetContext', {'value': 'chrome'})
        self.call('WebDriver:ExecuteScript', {'script': code, 'args': []})
        self.call('Marionette:SetContext', {'value': 'content'})

    def languages(self, tags):
        """The languages the browser asks pages for, as "de-DE,de"."""
        self._pref(f'Services.prefs.setCharPref("intl.accept_languages", {json.dumps(tags)})')

    def reduce_motion(self, reduce):
        self._pref(f'Services.prefs.setIntPref("ui.prefersReducedMotion", {1 if reduce else 0})')

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

    def back(self):
        self.call('WebDriver:Back')

    def root_pid(self):
        """A process whose descendants are the browser's processes: its own first one."""
        return self.process.pid

    def problems(self, url):
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
