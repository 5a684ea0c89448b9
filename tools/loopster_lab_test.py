#!/usr/bin/env python3
"""Checks loopster-lab from outside: the worked examples, an independent re-computation of curves
and frames in Python (same doubles, same libm), the randomiser's invariants over many patterns, and
the command-line contract."""
import json
import math
import random
import subprocess
import sys
import unittest

LAB = sys.argv.pop(1) if len(sys.argv) > 1 else "loopster-lab"
PI = 3.141592654


def lab(*args):
    done = subprocess.run([LAB, *map(str, args)], capture_output=True, text=True, timeout=60)
    return done.returncode, done.stdout, done.stderr


def lab_json(*args):
    code, out, err = lab(*args)
    assert code == 0, err
    return json.loads(out)


def trace(R, r, p, theta0, g):
    """The tracer written again from its description, for comparison."""
    D = R + r * (g / 100)
    x0, y0 = (D + p) * math.cos(theta0), (D + p) * math.sin(theta0)
    points = [[round(x0), round(y0)]]
    n = math.floor(20 * R / r)
    s = min(PI / n, PI / 25)
    k = R / r if g > 0 else -R / r
    theta, first = theta0, True
    while True:
        theta += s
        phi = theta0 + k * (s if first else theta - theta0)
        first = False
        x = D * math.cos(theta) + p * math.cos(phi)
        y = D * math.sin(theta) + p * math.sin(phi)
        points.append([round(x), round(y)])
        if math.hypot(x - x0, y - y0) <= s:
            return points


class Curve(unittest.TestCase):
    def test_worked_examples(self):
        curve = lab_json("curve", 500, 200, 100, 0, -100)
        self.assertEqual(curve["PointCount"], 200)
        self.assertEqual(len(curve["points"]), 201)
        self.assertEqual(curve["points"][0], [400, 0])
        self.assertEqual(curve["points"][1], [398, 3])
        self.assertEqual(curve["points"][-1], [400, 0])
        self.assertEqual(lab_json("curve", 500, 200, 0, 0, -100)["PointCount"], 100)

    def test_matches_an_independent_computation(self):
        rng = random.Random(7)
        for _ in range(40):
            x, y, z = rng.randint(2, 7), rng.randint(5, 10), rng.randint(7, 12)
            R, r = 5.0 * y * z, 5.0 * x * y
            p = rng.randint(0, 399) / 100 * r
            theta0 = rng.randint(0, 359) / 180 * PI
            g = rng.randint(-100, 100)
            curve = lab_json("curve", repr(R), repr(r), repr(p), repr(theta0), g)
            expected = trace(R, r, p, theta0, g)
            self.assertEqual(curve["points"], expected, (R, r, p, theta0, g))
            self.assertEqual(curve["PointCount"], len(expected) - 1)


class Frame(unittest.TestCase):
    def test_worked_example(self):
        frame = lab_json("frame", 10, 50, 100, 40, "0", "250", "0", "60", "-100", "-100",
                         255, 12582912)
        self.assertEqual(frame, {
            "FixedRadius": 500.0, "RollingRadius": 200.0, "PenOffset": 100.0,
            "StartAngle": 12 / 180 * PI, "PenColor": 2490572, "GearPosition": -100})
        self.assertAlmostEqual(frame["StartAngle"], 0.20943951026666666, places=16)

    def test_gradient_midpoint_and_gear_ties(self):
        frame = lab_json("frame", 1, 2, 100, 40, "0", "0", "0", "0", "0", "5", 255, 12582912)
        self.assertEqual(frame["PenColor"], 6291584)
        self.assertEqual(frame["GearPosition"], 2)


class Patterns(unittest.TestCase):
    def test_each_pattern_starts_where_the_last_one_headed(self):
        code, out, err = lab("patterns", "--seed", 12345.5, "--count", 3000)
        self.assertEqual(code, 0, err)
        rows = [json.loads(line) for line in out.splitlines()]
        self.assertEqual(len(rows), 3000)
        self.assertEqual((rows[0]["Text1"], rows[0]["Text4"], rows[0]["Text7"]),
                         ("250", "60", "-100"))
        self.assertEqual(rows[0]["Picture1"], 33023)
        gear_changes = 0
        previous_gears = (100.0, 40)
        for before, row in zip([None] + rows, rows):
            if before:
                self.assertEqual(row["Text1"], before["Text2"])
                self.assertEqual(row["Text4"], before["Text5"])
                self.assertEqual(row["Text7"], before["Text8"])
                self.assertEqual(row["Picture1"], before["Picture2"])
            self.assertTrue(0 <= int(row["Text2"]) <= 399)
            self.assertTrue(0 <= int(row["Text5"]) <= 359)
            self.assertTrue(-100 <= int(row["Text8"]) <= 100)
            dark = 16777216 - row["Picture2"]
            self.assertLessEqual(dark % 256 + dark // 256 % 256 + dark // 65536, 400)
            q = (int(row["Text2"]) - int(row["Text1"])) / 5
            self.assertEqual(row["FrameCount"], round(abs(q) if q else 1))
            gears = (row["FixedGearSize"], row["RollingGearSize"])
            if gears != previous_gears:
                gear_changes += 1
                fixed, rolling = gears
                self.assertTrue(any(rolling == x * y and fixed == y * z
                                    for x in range(2, 8) for y in range(5, 11)
                                    for z in range(7, 13)), gears)
            previous_gears = gears
        # One time in five, less the draws that repeat the same pair.
        self.assertTrue(450 < gear_changes < 750, gear_changes)

    def test_same_seed_same_patterns(self):
        self.assertEqual(lab("patterns", "--seed", 7, "--count", 50),
                         lab("patterns", "--seed", 7, "--count", 50))


class CommandLine(unittest.TestCase):
    def test_bad_arguments_exit_2_with_one_line(self):
        for args in [(), ("curve", 1, 2), ("curve", "a", 1, 1, 0, 0), ("frame", 0),
                     ("patterns", "--count", 3), ("patterns", "--seed"), ("draw",),
                     ("curve", 500, 200, 0, 0, 1.5)]:
            code, out, err = lab(*args)
            self.assertEqual(code, 2, args)
            self.assertEqual(out, "")
            self.assertEqual(len(err.strip().splitlines()), 1, err)

    def test_help_and_engine_errors(self):
        code, out, _ = lab("--help")
        self.assertEqual(code, 0)
        self.assertIn("loopster-lab curve", out)
        code, _, err = lab("curve", 10, 0, 0, 0, -100)
        self.assertEqual(code, 1)
        self.assertIn("Division by zero", err)


if __name__ == "__main__":
    unittest.main(verbosity=1)
