#!/usr/bin/env python3
"""Measures the web page in headless Chromium (served on 127.0.0.1, a fresh profile per round):
the size of its files, the time from the page's load event to its first frame on the canvas,
and the frame rate over 5 s at a set 30 and 100 fps beside the browser's own frame-callback
rate. A measuring script, not a test: it asserts nothing.

    bench/web-figures.py [PAGE_DIR]      PAGE_DIR defaults to build/web; ROUNDS (default 3)"""

import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'hosts', 'web'))
import browser  # noqa: E402

SECONDS = 5


def rate_over(page, seconds):
    """Frames per second drawn over `seconds`, and frame callbacks per second meanwhile."""
    page.evaluate('loopsterStats.times.length = 0')
    start = page.evaluate('[performance.now(), loopsterStats.callbacks]')
    time.sleep(seconds)
    end = page.evaluate('[performance.now(), loopsterStats.callbacks]')
    times = page.evaluate('loopsterStats.times')
    elapsed = (end[0] - start[0]) / 1000
    drawn = (len(times) - 1) / ((times[-1] - times[0]) / 1000) if len(times) > 1 else 0
    return drawn, (end[1] - start[1]) / elapsed


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else 'build/web'
    rounds = int(os.environ.get('ROUNDS', '3'))
    total = 0
    for name in sorted(os.listdir(folder)):
        size = os.path.getsize(os.path.join(folder, name))
        total += size
        print(f'{name:22} {size / 1000:7.1f} kB')
    print(f'{"all files":22} {total / 1000:7.1f} kB')

    first_frames = []
    rates = {30: [], 100: []}
    refresh = []
    with browser.served(folder) as base:
        for _ in range(rounds):
            with browser.Browser(1280, 800) as page:
                page.open(base)
                first_frames.append(page.evaluate(
                    'loopsterStats.firstFrame - '
                    'performance.getEntriesByType("navigation")[0].loadEventStart'))
                for rate in (30, 100):
                    page.evaluate(f'localStorage.setItem("loopster/settings", '
                                  f'"{rate}\\r\\n1\\r\\n")')
                    page.open(base)
                    drawn, callbacks = rate_over(page, SECONDS)
                    rates[rate].append(drawn)
                    refresh.append(callbacks)
    print(f'first frame after the load event: median {statistics.median(first_frames):.1f} ms, '
          f'max {max(first_frames):.1f} ms ({rounds} fresh browsers)')
    for rate, measured in rates.items():
        print(f'set {rate:3} fps: ' + ', '.join(f'{value:.2f}' for value in measured) +
              f' fps over {SECONDS} s')
    print(f'frame callbacks: {min(refresh):.1f} to {max(refresh):.1f} per second')


if __name__ == '__main__':
    main()
