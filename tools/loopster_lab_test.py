#!/usr/bin/env python3
"""Checks loopster-lab from outside: the worked examples, an independent re-computation of curves
and frames in Python (same doubles, same libm), the randomiser's invariants over many patterns, the
pictures (decoded with ImageMagick and webpmux) and the command-line contract."""
import json
import math
import os
import random
import re
import stat
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

LAB = sys.argv.pop(1) if len(sys.argv) > 1 else "loopster-lab"
MANUAL_PAGE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "share", "loopster-lab.1")
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
        self.assertEqual((rows[0]["penOffsetFrom"], rows[0]["startAngleFrom"],
                          rows[0]["gearPositionFrom"], rows[0]["penOffsetStep"]), (250, 60, -100, 5))
        self.assertEqual(rows[0]["colourFrom"], 33023)
        gear_changes = 0
        previous_gears = (100.0, 40)
        for before, row in zip([None] + rows, rows):
            if before:
                self.assertEqual(row["penOffsetFrom"], before["penOffsetTo"])
                self.assertEqual(row["startAngleFrom"], before["startAngleTo"])
                self.assertEqual(row["gearPositionFrom"], before["gearPositionTo"])
                self.assertEqual(row["colourFrom"], before["colourTo"])
            self.assertTrue(0 <= row["penOffsetTo"] <= 399)
            self.assertTrue(0 <= row["startAngleTo"] <= 359)
            self.assertTrue(-100 <= row["gearPositionTo"] <= 100)
            dark = 16777216 - row["colourTo"]
            self.assertLessEqual(dark % 256 + dark // 256 % 256 + dark // 65536, 400)
            q = (row["penOffsetTo"] - row["penOffsetFrom"]) / 5
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

    def test_every_name_is_explained_in_the_manual_page(self):
        row = json.loads(lab("patterns", "--seed", 2)[1])
        page = subprocess.run(["groff", "-man", "-Tutf8", "-P-cbou", MANUAL_PAGE],
                              capture_output=True, text=True, check=True).stdout
        for name in row:
            self.assertIn(name, page)
        for name in ("Text1", "Text9", "Picture1", "Picture2"):
            self.assertNotIn(name, row)
            self.assertIn(name, page)

    def test_same_seed_same_patterns(self):
        self.assertEqual(lab("patterns", "--seed", 7, "--count", 50),
                         lab("patterns", "--seed", 7, "--count", 50))


def mapped(points, width, height):
    """The pixel mapping written again: 4000 model units at a fill ratio of 0.85 span the width."""
    return [[round(width / 2 + (x * width / 4000) / 0.85), round(height / 2 + (y * width / 4000) / 0.85)]
            for x, y in points]


def pixels(path, frame=None):
    """The picture's pixels as rows of (r, g, b), whole frames for an animation."""
    source = path if frame is None else f"{path}[{frame}]"
    if frame is not None:
        # Composed onto the canvas, since the frames after the first hold only what changed.
        done = subprocess.run(["convert", path, "-coalesce", "-depth", "8", "rgb:-"],
                              capture_output=True, check=True)
    else:
        done = subprocess.run(["convert", source, "-depth", "8", "rgb:-"],
                              capture_output=True, check=True)
    size = subprocess.run(["identify", "-format", "%W %H\\n", path], capture_output=True,
                          text=True, check=True).stdout.split()
    width, height = int(size[0]), int(size[1])
    data = done.stdout[(frame or 0) * width * height * 3:]
    return [[tuple(data[3 * (y * width + x):3 * (y * width + x) + 3]) for x in range(width)]
            for y in range(height)]


def inked(rows):
    return {(x, y): rgb for y, row in enumerate(rows) for x, rgb in enumerate(row) if rgb != (0, 0, 0)}


def near_polyline(points, reach):
    """Every pixel within `reach` of the polyline through the points."""
    near = set()
    for (x0, y0), (x1, y1) in zip(points, points[1:]):
        dx, dy = x1 - x0, y1 - y0
        length2 = dx * dx + dy * dy
        for x in range(math.floor(min(x0, x1) - reach), math.ceil(max(x0, x1) + reach) + 1):
            for y in range(math.floor(min(y0, y1) - reach), math.ceil(max(y0, y1) + reach) + 1):
                t = 0 if length2 == 0 else max(0, min(1, ((x - x0) * dx + (y - y0) * dy) / length2))
                if math.hypot(x - x0 - t * dx, y - y0 - t * dy) <= reach + 1e-9:
                    near.add((x, y))
    return near


class Pictures(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)

    def out(self, name):
        return os.path.join(self.folder.name, name)

    def test_a_rendered_frame_inks_the_mapped_curve_and_nothing_else(self):
        for args, size, width, colour in [((500, 200, 100, 0, -100), (480, 270), 1, 16777215),
                                          ((300, 70, 150, 0.5, 60), (333, 201), 2, 33023),
                                          ((1200, 300, 600, 0, 100), (200, 120), 1, 65280)]:
            points = mapped(lab_json("curve", *args)["points"], *size)
            code, out, err = lab("render", *args, "--size", "%dx%d" % size, "--width", width,
                                 "--colour", colour, "--out", self.out("f.png"))
            self.assertEqual((code, err), (0, ""))
            self.assertEqual(json.loads(out)["PointCount"], len(points) - 1)
            ink = inked(pixels(self.out("f.png")))
            rgb = (colour % 256, colour // 256 % 256, colour // 65536)
            self.assertEqual(set(ink.values()), {rgb}, args)
            self.assertLessEqual(set(ink) - near_polyline(points, width), set(), args)
            # Every point in the picture has ink within a pen's width of its pixel (a one-pixel pen
            # may leave out the pixel where the loop closes at a sharp tip).
            for x, y in points:
                if 0 <= x < size[0] and 0 <= y < size[1]:
                    around = {(x + i, y + j) for i in range(-width, width + 1)
                              for j in range(-width, width + 1)}
                    self.assertTrue(around & set(ink), (args, x, y))

    def test_svg_holds_the_mapped_points_as_one_polyline(self):
        curve = lab_json("curve", 300, 70, 150, 0.5, 60)
        code, _, err = lab("render", 300, 70, 150, 0.5, 60, "--size", "640x360", "--width", 2,
                           "--colour", 33023, "--out", self.out("f.svg"))
        self.assertEqual((code, err), (0, ""))
        svg = ElementTree.parse(self.out("f.svg")).getroot()
        ns = "{http://www.w3.org/2000/svg}"
        self.assertEqual((svg.get("width"), svg.get("height")), ("640", "360"))
        self.assertEqual(svg.find(ns + "rect").get("fill"), "#000000")
        (line,) = svg.findall(ns + "polyline")
        self.assertEqual((line.get("stroke"), line.get("stroke-width")), ("#ff8000", "2"))
        points = [list(map(int, pair.split(","))) for pair in line.get("points").split()]
        self.assertEqual(len(points), curve["PointCount"] + 1)
        self.assertEqual(points, mapped(curve["points"], 640, 360))

    def test_an_animation_is_the_saver_run_at_its_frame_rate(self):
        for name, fps, extra in [("a.gif", 30, ()), ("a.webp", 20, ("--heavy",))]:
            args = ["animate", "--seed", 3.5, "--seconds", 2, "--size", "160x90", "--fps", fps,
                    *extra, "--out", self.out(name)]
            code, out, err = lab(*args)
            self.assertEqual((code, err), (0, ""))
            interval = round(1000 / fps)
            frames = math.ceil(2000 / interval)
            # Every frame keeps its whole interval, the last one too: the run ends on a frame's end.
            self.assertEqual(json.loads(out)["frames"], frames)
            self.assertEqual(json.loads(out)["milliseconds"], frames * interval)
            if name.endswith(".gif"):
                info = subprocess.run(["identify", "-format", "%W %H %T\\n", self.out(name)],
                                      capture_output=True, text=True, check=True).stdout
                rows = [list(map(int, row.split())) for row in info.splitlines()]
                self.assertEqual(len(rows), frames)
                self.assertEqual({(w, h) for w, h, _ in rows}, {(160, 90)})
                self.assertEqual(sum(delay for _, _, delay in rows), round(frames * interval / 10))
                # Delays are whole centiseconds that never drift from the frames' times.
                self.assertEqual({delay for _, _, delay in rows},
                                 {interval // 10, -(-interval // 10)})
            else:
                info = subprocess.run(["webpmux", "-info", self.out(name)], capture_output=True,
                                      text=True, check=True).stdout
                self.assertIn("Canvas size: 160 x 90", info)
                durations = [int(row.split()[6]) for row in info.splitlines()
                             if row.strip()[:1].isdigit() and ":" in row.split()[0]]
                # The encoder folds a frame identical to the one before into its time.
                self.assertTrue(0 < len(durations) <= frames, info)
                self.assertEqual(sum(durations), frames * interval)
            # The same seed, the same file.
            self.assertEqual(lab(*args), (code, out, err))

        # The first frame is the first pattern's first frame, drawn like `render` draws it.
        pattern = json.loads(lab("patterns", "--seed", 3.5, "--count", 1)[1])
        record = lab_json("frame", 0, pattern["FrameCount"], pattern["FixedGearSize"],
                          pattern["RollingGearSize"],
                          *(pattern[row + end] for row in ("penOffset", "startAngle", "gearPosition")
                            for end in ("From", "To")),
                          pattern["colourFrom"], pattern["colourTo"])
        code, _, err = lab("render", repr(record["FixedRadius"]), repr(record["RollingRadius"]),
                           repr(record["PenOffset"]), repr(record["StartAngle"]),
                           record["GearPosition"], "--size", "160x90", "--colour",
                           record["PenColor"], "--out", self.out("first.png"))
        self.assertEqual(code, 0, err)
        self.assertEqual(pixels(self.out("a.gif"), frame=0), pixels(self.out("first.png")))

    def test_bad_arguments_leave_no_file_and_keep_the_old_one(self):
        with open(self.out("old.gif"), "w") as old:
            old.write("old")
        for args in [("render", 500, 200, 0, 0, -100, "--size", "0x10", "--out", self.out("f.png")),
                     ("render", 500, 200, 0, 0, -100, "--size", "10x10", "--out", self.out("f.jpg")),
                     ("render", 500, 200, 0, 0, -100, "--size", "10x10", "--width", 3,
                      "--out", self.out("f.svg")),
                     ("render", 500, 200, 0, 0, -100, "--size", "10x10", "--colour", 16777216,
                      "--out", self.out("f.png")),
                     ("animate", "--seed", 1, "--seconds", 1, "--size", "10x10", "--fps", 101,
                      "--out", self.out("old.gif")),
                     ("animate", "--seed", 1, "--seconds", 0, "--size", "10x10",
                      "--out", self.out("old.gif")),
                     ("animate", "--seed", 1, "--size", "10x10", "--out", self.out("a.webp"))]:
            code, out, err = lab(*args)
            self.assertEqual(code, 2, args)
            self.assertEqual(out, "")
            self.assertEqual(len(err.strip().splitlines()), 1, err)
            self.assertEqual(os.listdir(self.folder.name), ["old.gif"], args)
        with open(self.out("old.gif")) as old:
            self.assertEqual(old.read(), "old")
        code, _, err = lab("render", 500, 200, 0, 0, -100, "--size", "10x10",
                           "--out", self.out("missing/f.png"))
        self.assertEqual(code, 1)
        self.assertEqual(len(err.strip().splitlines()), 1, err)
        self.assertIn("missing/f.png", err)


def as_other_user(*args):
    """The command as an unprivileged user when running as root, whom no folder's mode stops."""
    return ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", *args] \
        if os.geteuid() == 0 else list(args)


class OutputFiles(unittest.TestCase):
    """Every output goes into place by a rename, only over a regular file or nothing, and a failure
    names the file and its real cause."""

    def setUp(self):
        self.folder = tempfile.mkdtemp()
        self.addCleanup(subprocess.run, ["rm", "-rf", self.folder])

    def out(self, name):
        return os.path.join(self.folder, name)

    def render(self, out, command=lambda *a: list(a)):
        done = subprocess.run(command(LAB, "render", "100", "40", "20", "0", "100", "--size",
                                      "64x64", "--out", out),
                              capture_output=True, text=True, timeout=60)
        return done.returncode, done.stdout, done.stderr

    def test_only_regular_files_are_replaced_and_nothing_else_is_touched(self):
        # What a user keeps beside the output, named as a careless clean-up would match it.
        for name in ("x.png.backup", "x.png.orig01", ".x.png.before"):
            with open(self.out(name), "w") as kept:
                kept.write("mine")
            os.utime(self.out(name), (0, 0))
        with open(self.out("x.png"), "w") as old:
            old.write("old")
        self.assertEqual(self.render(self.out("x.png"))[0], 0)
        self.assertEqual(self.render(self.out("x.png"))[0], 0)
        # Through a link to a regular file, the file is replaced and the link kept.
        os.symlink("x.png", self.out("link.png"))
        self.assertEqual(self.render(self.out("link.png"))[0], 0)
        self.assertTrue(os.path.islink(self.out("link.png")))
        # A FIFO (directly or at the end of a link) and a folder are refused, one line each.
        os.mkfifo(self.out("pipe.png"))
        os.symlink("pipe.png", self.out("to-pipe.png"))
        os.mkdir(self.out("folder.png"))
        for target, kind in [("pipe.png", "a FIFO"), ("to-pipe.png", "a FIFO"),
                             ("folder.png", "a directory")]:
            code, out, err = self.render(self.out(target))
            self.assertEqual((code, out), (1, ""), target)
            self.assertEqual(len(err.strip().splitlines()), 1, err)
            self.assertIn(kind + ", not a regular file", err)
        self.assertTrue(stat.S_ISFIFO(os.lstat(self.out("pipe.png")).st_mode))
        self.assertTrue(os.path.isdir(self.out("folder.png")))
        self.assertEqual(sorted(os.listdir(self.folder)),
                         [".x.png.before", "folder.png", "link.png", "pipe.png", "to-pipe.png",
                          "x.png", "x.png.backup", "x.png.orig01"])
        for name in ("x.png.backup", "x.png.orig01", ".x.png.before"):
            with open(self.out(name)) as kept:
                self.assertEqual(kept.read(), "mine")

    def test_failures_give_the_real_cause_and_leave_nothing(self):
        # An old file in a folder that cannot be written: the folder is the cause, not the file.
        os.chmod(self.folder, 0o755)
        os.mkdir(self.out("read-only"))
        with open(self.out("read-only/x.png"), "w") as old:
            old.write("old")
        os.chmod(self.out("read-only/x.png"), 0o666)
        os.chmod(self.out("read-only"), 0o555)
        code, _, err = self.render(self.out("read-only/x.png"), as_other_user)
        self.assertEqual(code, 1)
        self.assertIn("x.png: Permission denied", err)
        self.assertEqual(os.listdir(self.out("read-only")), ["x.png"])
        with open(self.out("read-only/x.png")) as old:
            self.assertEqual(old.read(), "old")

        # Results that cannot be written to stdout are a failure, as is a number JSON cannot hold.
        with open("/dev/full", "w") as full:
            done = subprocess.run([LAB, "curve", "100", "40", "20", "0", "100"], stdout=full,
                                  stderr=subprocess.PIPE, text=True, timeout=60)
        self.assertEqual(done.returncode, 1)
        self.assertIn("stdout: No space left on device", done.stderr)
        code, out, err = lab("frame", 0, 50, 1e308, 40, 0, 250, 0, 60, -100, -100, 255, 12582912)
        self.assertEqual((code, out), (1, ""))
        self.assertIn("FixedRadius is infinite", err)

    def test_a_full_disk_is_reported_and_leaves_nothing(self):
        if os.geteuid() != 0 or subprocess.run(["unshare", "-m", "true"]).returncode != 0:
            self.skipTest("a tiny file system needs a private mount namespace")
        # A 64 KB file system in a mount namespace of the lab's own; what is left on it is listed
        # before it goes.
        script = 'mount -t tmpfs -o size=64k tmpfs "$0" || exit 9; "$@"; code=$?; ls -A "$0"; exit $code'
        done = subprocess.run(["unshare", "-m", "sh", "-c", script, self.folder, LAB, "animate",
                               "--seed", "3", "--seconds", "3", "--size", "320x200",
                               "--out", self.out("a.gif")],
                              capture_output=True, text=True, timeout=60)
        self.assertEqual((done.returncode, done.stdout), (1, ""), done.stderr)
        self.assertEqual(done.stderr.strip(),
                         f"loopster-lab: Cannot write {self.out('a.gif')}: No space left on device")


class CommandLine(unittest.TestCase):
    def test_bad_arguments_exit_2_with_one_line(self):
        for args in [(), ("curve", 1, 2), ("curve", "a", 1, 1, 0, 0), ("frame", 0),
                     ("patterns", "--count", 3), ("patterns", "--seed"), ("draw",),
                     ("curve", 500, 200, 0, 0, 1.5)]:
            code, out, err = lab(*args)
            self.assertEqual(code, 2, args)
            self.assertEqual(out, "")
            self.assertEqual(len(err.strip().splitlines()), 1, err)

    def test_errors_name_the_argument_and_what_it_may_be(self):
        for args, message in [
                (("curve", 0, 200, 100, 0, -100), "R must be a positive radius: '0'"),
                (("curve", 10, 0, 0, 0, -100), "r must be a positive radius: '0'"),
                (("curve", -5, 2, 0, 0, -100), "R must be a positive radius: '-5'"),
                (("curve", 1, 40, 0, 0, -100), "R must be at least r / 20 (2), or the curve has no step: '1'"),
                (("curve", 500, 200, 100, 0), "curve takes 5 numbers, R r p theta0 g: g is missing"),
                (("render", 500, 200, 100, 0, "--size", "10x10", "--out", "f.png"),
                 "render takes 5 numbers, R r p theta0 g: g is missing"),
                (("render", 500, 200, 100, 0, -100, "--out", "f.png"), "render needs --size WxH"),
                (("render", 500, 200, 100, 0, -100, "--size"), "--size needs a value after it"),
                (("animate", "--seed", 1, "--size", "10x10", "--out", "a.gif"),
                 "animate needs --seconds T"),
                (("frame", 0, 50, 100, 40, 0, 250, 0, 60, -100, -100, 255),
                 "frame takes 12 numbers (see --help): colourTo is missing"),
                (("frame", 0, 50, 100, 40, 0, 250, 0, 60, -100, "x", 255, 1),
                 "gearPositionTo is not a number: 'x'")]:
            code, out, err = lab(*args)
            self.assertEqual((code, out), (2, ""), args)
            self.assertEqual(err, "loopster-lab: " + message + "\n")

    def test_help_and_version(self):
        for option in ("--help", "-h"):
            code, out, err = lab(option)
            self.assertEqual((code, err), (0, ""))
            self.assertTrue(out.startswith("Usage: loopster-lab curve R r p theta0 g\n"), out)
        # Every command of the manual page's synopsis is in the usage, and the other way round.
        page = subprocess.run(["groff", "-man", "-Tutf8", "-P-cbou", MANUAL_PAGE],
                              capture_output=True, text=True, check=True).stdout
        synopsis = page.split("SYNOPSIS")[1].split("DESCRIPTION")[0]
        commands = lambda text: set(re.findall(r"loopster-lab\s+(\w+)", text))
        self.assertEqual(commands(out), commands(synopsis))
        self.assertEqual(commands(out), {"curve", "frame", "patterns", "render", "animate", "still"})
        code, out, err = lab("--version")
        self.assertEqual((code, err), (0, ""))
        self.assertRegex(out, r"^loopster-lab \d+\.\d+\.\d+\n$")


if __name__ == "__main__":
    unittest.main(verbosity=1)
