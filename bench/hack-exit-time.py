#!/usr/bin/env python3
"""How long the xscreensaver hack takes from a signal to its exit.

Starts the hack on the root window of $DISPLAY (a private Xvfb: see scripts/e2e-lib.sh)
ten times for each ending signal, lets it draw for a moment that differs each time (so the signal
lands at different points of a frame), sends the signal and times the wait for the exit. Prints the
median and the largest time per signal; exits non-zero only when the hack did not die by the
signal it was sent.

    bench/hack-exit-time.py build/linux-release/hosts/xscreensaver/loopster
"""
import signal
import subprocess
import sys
import time


def main():
    hack = sys.argv[1]
    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        times = []
        for i in range(10):
            process = subprocess.Popen([hack, "--root"])
            time.sleep(0.7 + 0.037 * i)
            start = time.monotonic()
            process.send_signal(sig)
            code = process.wait()
            times.append((time.monotonic() - start) * 1000)
            # Popen reports a death by a signal as minus its number.
            if code != -sig:
                sys.exit(f"{sig.name}: exit status {code}")
        times.sort()
        print(f"{sig.name}: median {times[len(times) // 2]:.1f} ms, largest {times[-1]:.1f} ms")


if __name__ == "__main__":
    main()
