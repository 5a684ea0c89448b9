"""The page in headless Chromium, for the web page's test and its measuring script: the built
page served on 127.0.0.1, a browser with a fresh profile driven over the DevTools protocol by a
small WebSocket client of its own (Python's standard library only), and the PNG reading needed
to compare the canvas with loopster-lab's pictures."""

import base64
import contextlib
import functools
import http.server
import json
import os
import shutil
import socket
import struct
import subprocess
import tempfile
import threading
import time
import urllib.parse
import urllib.request
import zlib

CHROMIUM_FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic',
                  '--no-first-run', '--disable-background-networking',
                  '--disable-component-update', '--disable-sync']


def chromium_binary():
    return shutil.which('chromium')


class _QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      '.wasm': 'application/wasm', '.js': 'text/javascript'}

    def log_message(self, *args):
        pass


@contextlib.contextmanager
def served(folder):
    """Serves `folder` on 127.0.0.1 at a free port; yields the base URL."""
    handler = functools.partial(_QuietHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    try:
        yield f'http://127.0.0.1:{server.server_address[1]}/'
    finally:
        server.shutdown()
        server.server_close()


class WebSocket:
    """A client for text messages, enough for the DevTools protocol."""

    def __init__(self, url):
        parts = urllib.parse.urlparse(url)
        self.sock = socket.create_connection((parts.hostname, parts.port), timeout=60)
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall((f'GET {parts.path} HTTP/1.1\r\nHost: {parts.hostname}:{parts.port}\r\n'
                           'Upgrade: websocket\r\nConnection: Upgrade\r\n'
                           f'Sec-WebSocket-Key: {key}\r\nSec-WebSocket-Version: 13\r\n\r\n')
                          .encode())
        head = b''
        while b'\r\n\r\n' not in head:
            head += self._read(1)
        if b' 101 ' not in head.split(b'\r\n')[0]:
            raise ConnectionError('DevTools refused the connection: ' + head.decode(errors='replace'))

    def _read(self, count):
        data = b''
        while len(data) < count:
            chunk = self.sock.recv(count - len(data))
            if not chunk:
                raise ConnectionError('the browser closed the DevTools connection')
            data += chunk
        return data

    def send(self, text):
        data = text.encode()
        size = len(data)
        if size < 126:
            head = bytes([0x81, 0x80 | size])
        elif size < 65536:
            head = bytes([0x81, 0xfe]) + struct.pack('>H', size)
        else:
            head = bytes([0x81, 0xff]) + struct.pack('>Q', size)
        mask = os.urandom(4)
        masked = bytes(byte ^ mask[i % 4] for i, byte in enumerate(data))
        self.sock.sendall(head + mask + masked)

    def recv(self):
        message = b''
        while True:
            first, second = self._read(2)
            size = second & 0x7f
            if size == 126:
                size = struct.unpack('>H', self._read(2))[0]
            elif size == 127:
                size = struct.unpack('>Q', self._read(8))[0]
            payload = self._read(size)
            opcode = first & 0x0f
            if opcode == 0x8:
                raise ConnectionError('the browser closed the DevTools connection')
            if opcode in (0x0, 0x1, 0x2):
                message += payload
                if first & 0x80:
                    return message.decode()

    def close(self):
        self.sock.close()


class Browser:
    """Headless Chromium with one page, a fresh profile and the window size given."""

    def __init__(self, width=800, height=600, extra_flags=()):
        self.profile = tempfile.mkdtemp(prefix='loopster-chromium-')
        self.process = subprocess.Popen(
            [chromium_binary(), *CHROMIUM_FLAGS, f'--user-data-dir={self.profile}',
             '--remote-debugging-port=0', f'--window-size={width},{height}', *extra_flags,
             'about:blank'],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        port_file = os.path.join(self.profile, 'DevToolsActivePort')
        deadline = time.monotonic() + 30
        while not (os.path.exists(port_file) and open(port_file).read().strip()):
            if time.monotonic() > deadline or self.process.poll() is not None:
                self.close()
                raise RuntimeError('chromium did not open its DevTools port')
            time.sleep(0.05)
        port = open(port_file).read().split()[0]
        with urllib.request.urlopen(f'http://127.0.0.1:{port}/json') as answer:
            targets = json.load(answer)
        page = next(target for target in targets if target['type'] == 'page')
        self.socket = WebSocket(page['webSocketDebuggerUrl'])
        self.last_id = 0
        self.events = []
        for domain in ('Runtime', 'Page', 'Log'):
            self.call(domain + '.enable')

    def call(self, method, **params):
        self.last_id += 1
        self.socket.send(json.dumps({'id': self.last_id, 'method': method, 'params': params}))
        while True:
            message = json.loads(self.socket.recv())
            if message.get('id') == self.last_id:
                if 'error' in message:
                    raise RuntimeError(f'{method}: {message["error"]}')
                return message['result']
            self.events.append(message)

    def evaluate(self, expression):
        """The value of a JavaScript expression (a promise is awaited); a thrown error raises."""
        result = self.call('Runtime.evaluate', expression=expression, returnByValue=True,
                           awaitPromise=True)
        if 'exceptionDetails' in result:
            raise RuntimeError(f'{expression}: {result["exceptionDetails"]}')
        return result['result'].get('value')

    def wait_for(self, expression, timeout=20):
        deadline = time.monotonic() + timeout
        while not self.evaluate(expression):
            if time.monotonic() > deadline:
                raise TimeoutError(f'still false after {timeout} s: {expression}')
            time.sleep(0.05)

    def open(self, url):
        self.call('Page.navigate', url=url)
        self.wait_for('document.readyState === "complete" && window.loopsterStats !== undefined'
                      ' && loopsterStats.firstFrame !== null')

    def console_errors(self):
        """Console errors, uncaught exceptions and the browser's own error entries so far."""
        errors = []
        for event in self.events:
            method, params = event.get('method'), event.get('params', {})
            if method == 'Runtime.consoleAPICalled' and params['type'] in ('error', 'assert'):
                errors.append(' '.join(str(arg.get('value')) for arg in params['args']))
            elif method == 'Runtime.exceptionThrown':
                errors.append(params['exceptionDetails'].get('text', 'exception'))
            elif method == 'Log.entryAdded' and params['entry']['level'] == 'error':
                errors.append(params['entry']['text'])
        return errors

    def key(self, key, code, key_code, shift=False, text=None):
        """Presses and releases one key, as a user would."""
        modifiers = 8 if shift else 0
        down = dict(type='keyDown', key=key, code=code, windowsVirtualKeyCode=key_code,
                    modifiers=modifiers)
        if text:
            down['text'] = text
        self.call('Input.dispatchKeyEvent', **down)
        self.call('Input.dispatchKeyEvent', type='keyUp', key=key, code=code,
                  windowsVirtualKeyCode=key_code, modifiers=modifiers)

    def mouse_move(self, x, y):
        self.call('Input.dispatchMouseEvent', type='mouseMoved', x=x, y=y)

    def canvas_pixels(self):
        """The canvas's size and its RGBA bytes."""
        data = self.evaluate('''(() => {
            const canvas = document.getElementById('saver');
            const bytes = canvas.getContext('2d').getImageData(0, 0, canvas.width,
                                                                canvas.height).data;
            let text = '';
            for (let i = 0; i < bytes.length; i += 0x8000) {
              text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
            }
            return [canvas.width, canvas.height, btoa(text)];
        })()''')
        return data[0], data[1], base64.b64decode(data[2])

    def close(self):
        with contextlib.suppress(Exception):
            self.socket.close()
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        shutil.rmtree(self.profile, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def png_rgba(path):
    """Width, height and RGBA bytes of an 8-bit, non-interlaced RGB or RGBA PNG."""
    with open(path, 'rb') as file:
        data = file.read()
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        raise ValueError(f'{path} is not a PNG')
    pos, idat = 8, b''
    while pos < len(data):
        size, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + size]
        if kind == b'IHDR':
            width, height, depth, colour, _, _, interlace = struct.unpack('>IIBBBBB', body)
            if depth != 8 or colour not in (2, 6) or interlace:
                raise ValueError(f'{path}: unsupported PNG form')
        elif kind == b'IDAT':
            idat += body
        pos += 12 + size
    channels = 4 if colour == 6 else 3
    stride = width * channels
    raw = zlib.decompress(idat)
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xff
            elif kind == 2:
                line[i] = (line[i] + up) & 0xff
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xff
            elif kind == 4:
                guess = left + up - corner
                pa, pb, pc = abs(guess - left), abs(guess - up), abs(guess - corner)
                best = left if pa <= pb and pa <= pc else up if pb <= pc else corner
                line[i] = (line[i] + best) & 0xff
        rows.append(bytes(line))
        previous = line
    pixels = b''.join(rows)
    if channels == 3:
        rgba = bytearray(width * height * 4)
        rgba[0::4], rgba[1::4], rgba[2::4] = pixels[0::3], pixels[1::3], pixels[2::3]
        rgba[3::4] = b'\xff' * (width * height)
        pixels = bytes(rgba)
    return width, height, pixels
