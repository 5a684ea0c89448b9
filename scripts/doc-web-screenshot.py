#!/usr/bin/env python3
"""Takes the web page's picture for the documentation: the page from build/web in headless
Chromium at 960 x 640, a run pinned at seed 7, frame 40, with the settings panel open.

    scripts/doc-web-screenshot.py [PAGE_DIR]      writes docs/images/web-page.png"""

import base64
import os
import sys

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..')
sys.path.insert(0, os.path.join(root, 'hosts', 'web'))
import browser  # noqa: E402

folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, 'build', 'web')
with browser.served(folder) as base, browser.Browser(960, 640) as page:
    page.open(base + '?seed=7&frame=40')
    page.evaluate('Module._loopster_panel_open()')
    shot = page.call('Page.captureScreenshot', format='png')
with open(os.path.join(root, 'docs', 'images', 'web-page.png'), 'wb') as file:
    file.write(base64.b64decode(shot['data']))
