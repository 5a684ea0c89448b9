#!/usr/bin/env python3
"""The built web page in headless Chromium, served on 127.0.0.1: with a run's seed and frame
pinned, the canvas, put together from the changed rectangles of every frame up to that one,
equals loopster-lab's picture of that frame pixel for pixel, for the light and the heavy pen and
at twice the device pixels; frames never come faster than the set rate; the settings panel
works from the keyboard and its settings survive a reload; a key or the third pointer movement
ends the full-screen saver; reduced motion starts at the lowest rate and says so; and nothing
reaches the console as an error.

    web_test.py PAGE_DIR LOOPSTER_LAB WORK_DIR

Exits 77 (skipped) when the page has not been built or chromium is missing."""

import json
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import browser  # noqa: E402

SEED = 7
FRAME = 40

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print('FAIL:', message)
    return condition


def lab_json(lab, *args):
    output = subprocess.run([lab, *map(str, args)], check=True, capture_output=True, text=True)
    return [json.loads(line) for line in output.stdout.splitlines()]


def lab_frame_record(lab, seed, frame):
    """The frame record of drawn frame `frame` of a run seeded with `seed`, by the lab's own
    randomiser and frame table: patterns of no frames draw nothing and so are passed over."""
    first = 0
    for pattern in lab_json(lab, 'patterns', '--seed', seed, '--count', frame + 1):
        count = pattern['FrameCount']
        if frame < first + count:
            fields = ['FixedGearSize', 'RollingGearSize', 'penOffsetFrom', 'penOffsetTo',
                      'startAngleFrom', 'startAngleTo', 'gearPositionFrom', 'gearPositionTo',
                      'colourFrom', 'colourTo']
            return lab_json(lab, 'frame', frame - first, count,
                            *[pattern[field] for field in fields])[0]
        first += count
    raise AssertionError('the run has fewer frames than asked for')


def write_ppm(path, width, height, rgba):
    with open(path, 'wb') as file:
        file.write(f'P6 {width} {height} 255\n'.encode())
        rgb = bytearray(width * height * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = rgba[0::4], rgba[1::4], rgba[2::4]
        file.write(rgb)


def compare_with_lab(page, lab, work, record, pen, name):
    width, height, canvas = page.canvas_pixels()
    png = os.path.join(work, name + '-lab.png')
    lab_json(lab, 'render', record['FixedRadius'], record['RollingRadius'], record['PenOffset'],
             record['StartAngle'], record['GearPosition'], '--size', f'{width}x{height}',
             '--width', pen, '--colour', record['PenColor'], '--out', png)
    lab_width, lab_height, expected = browser.png_rgba(png)
    differing = sum(1 for i in range(0, len(canvas), 4) if canvas[i:i + 3] != expected[i:i + 3])
    inked = sum(1 for i in range(0, len(expected), 4) if expected[i:i + 3] != b'\0\0\0')
    if not check((lab_width, lab_height) == (width, height) and differing == 0 and inked > 0,
                 f'{name}: the canvas ({width}x{height}) differs from loopster-lab render in '
                 f'{differing} pixels ({inked} inked); pictures in {work}'):
        write_ppm(os.path.join(work, name + '-canvas.ppm'), width, height, canvas)
    return width, height


def frames_over(page, seconds):
    """The times of the frames drawn during the next `seconds`, and how many frame callbacks
    the browser made meanwhile."""
    before = page.evaluate('[loopsterStats.frames, loopsterStats.callbacks]')
    time.sleep(seconds)
    after = page.evaluate('[loopsterStats.frames, loopsterStats.callbacks]')
    frames = after[0] - before[0]
    times = page.evaluate(f'loopsterStats.times.slice(-{frames})') if frames > 0 else []
    return times, after[1] - before[1]


def check_rate(page, rate, seconds=2):
    """No more frames than the rate allows: each frame starts at least one frame's time
    (1000 / rate ms, rounded) after the one before it and at most that late, so any span holds
    fewer than span / period + 1 intervals, however the refreshes fall."""
    period = round(1000 / rate)
    times, callbacks = frames_over(page, seconds)
    span = times[-1] - times[0] if len(times) > 1 else 0
    intervals = len(times) - 1
    check(intervals > 10 and intervals < span / period + 1 and len(times) <= callbacks,
          f'at {rate} fps: {intervals} frame intervals in {span:.1f} ms, {callbacks} callbacks')


def tab(page, count=1, shift=False):
    for _ in range(count):
        page.key('Tab', 'Tab', 9, shift=shift)


def enter(page):
    page.key('Enter', 'Enter', 13, text='\r')


def focused(page):
    return page.evaluate('document.activeElement && document.activeElement.id')


def main():
    page_dir, lab, work = sys.argv[1:4]
    if not os.path.exists(os.path.join(page_dir, 'index.html')):
        print(f'skipped: no page in {page_dir} (make web builds it)')
        return 77
    if not browser.chromium_binary():
        print('skipped: chromium is not installed')
        return 77
    os.makedirs(work, exist_ok=True)
    record = lab_frame_record(lab, SEED, FRAME)
    pinned = f'?seed={SEED}&frame={FRAME}'

    with browser.served(page_dir) as base, browser.Browser(640, 480) as page:
        page.open(base + pinned)
        width, height = compare_with_lab(page, lab, work, record, 1, 'light')
        # The pinned frame was shown after the frames before it, each put on the canvas as the
        # rectangle around what changed: after the first, never the whole canvas.
        puts = page.evaluate('loopsterStats.puts')
        check(len(puts) == FRAME + 1 and max(puts[1:]) < width * height,
              f'{len(puts)} rectangles put for {FRAME + 1} frames, the largest after the first '
              f'{max(puts[1:], default=0)} of {width * height} pixels')

        page.open(base)
        check_rate(page, 30)
        page.evaluate('localStorage.setItem("loopster/settings", "100\\r\\n1\\r\\n")')
        page.open(base)
        check_rate(page, 100)
        page.evaluate('localStorage.clear()')

        # The panel from the keyboard: Settings, then from OK to the scroll bar (one step up),
        # to the marks (heavy), back to OK and Enter.
        page.open(base + pinned)
        tab(page, 2)
        check(focused(page) == 'settings', f'the second Tab reaches {focused(page)}')
        enter(page)
        page.wait_for('document.getElementById("panel").open')
        check(focused(page) == 'panel-Command1', f'the panel opens with {focused(page)} focused')
        tab(page)
        page.key('ArrowRight', 'ArrowRight', 39)
        tab(page)
        check(focused(page) == 'panel-Option1', f'Tab from the scroll bar reaches {focused(page)}')
        page.key('ArrowRight', 'ArrowRight', 39)
        tab(page, 2, shift=True)
        enter(page)
        page.wait_for('!document.getElementById("panel").open')
        check(page.evaluate('localStorage.getItem("loopster/settings")') == '31\r\n2\r\n',
              'OK saves the settings text "31", "2" with CR LF line ends')
        check(page.evaluate('Module._loopster_line_width()') == 2,
              'the running saver draws with the heavy pen after OK')

        page.call('Page.reload')
        page.wait_for('document.readyState === "complete" && loopsterStats.firstFrame !== null')
        compare_with_lab(page, lab, work, record, 2, 'heavy')
        page.evaluate('Module._loopster_panel_open()')
        check(page.evaluate('[document.getElementById("panel-Text1").value, '
                            'document.getElementById("panel-Option2").checked]') == ['31', True],
              'after a reload the panel shows the saved 31 fps and heavy line')
        page.key('Escape', 'Escape', 27)
        page.wait_for('!document.getElementById("panel").open')

        # The full-screen saver from the keyboard, ended by a key.
        page.open(base)
        tab(page)
        check(focused(page) == 'fullscreen', f'the first Tab reaches {focused(page)}')
        enter(page)
        page.wait_for('document.fullscreenElement === document.getElementById("saver")')
        page.key('a', 'KeyA', 65, text='a')
        page.wait_for('document.fullscreenElement === null')
        frames = page.evaluate('loopsterStats.frames')
        page.wait_for(f'loopsterStats.frames > {frames}')
        # Again from the button, which has the focus back: the first two pointer movements are
        # let pass, the third ends the saver.
        check(focused(page) == 'fullscreen', f'after the saver {focused(page)} has the focus')
        enter(page)
        page.wait_for('document.fullscreenElement !== null')
        still = []
        for step in range(3):
            page.mouse_move(100 + 10 * step, 100 + 7 * step)
            time.sleep(0.2)
            still.append(page.evaluate('document.fullscreenElement !== null'))
        check(still == [True, True, False],
              f'full screen after each of three pointer movements: {still}')
        page.wait_for('document.fullscreenElement === null')

        page.call('Emulation.setEmulatedMedia',
                  features=[{'name': 'prefers-reduced-motion', 'value': 'reduce'}])
        page.open(base)
        check(page.evaluate('Module._loopster_frame_rate()') == 5 and
              'lowest' in page.evaluate('document.getElementById("note").textContent'),
              'reduced motion starts at 5 fps and says so')
        errors = page.console_errors()
        check(not errors, f'console errors: {errors}')

    with browser.served(page_dir) as base, \
            browser.Browser(640, 480, ['--force-device-scale-factor=2']) as page:
        page.open(base + pinned)
        css = page.evaluate('[document.getElementById("saver").clientWidth, '
                            'document.getElementById("saver").clientHeight, devicePixelRatio]')
        width, height = compare_with_lab(page, lab, work, record, 1, 'light-2x')
        check(css[2] == 2 and (width, height) == (css[0] * 2, css[1] * 2),
              f'the canvas is {width}x{height} for {css[0]}x{css[1]} CSS pixels at {css[2]}x')
        errors = page.console_errors()
        check(not errors, f'console errors at twice the pixels: {errors}')

    if failures:
        print(f'{len(failures)} failed')
        return 1
    print('web page: all checks passed')
    return 0


if __name__ == '__main__':
    sys.exit(main())
