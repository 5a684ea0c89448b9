#!/usr/bin/env python3
"""Checks on a screenshot saved as a binary PPM (ImageMagick's `import ... -depth 8 ppm:FILE`),
for the end-to-end tests. Each check ends with status 0 when it holds and 1 when it does not.

  centre FILE                      the ink's box spans the screen's centre both ways
  ink FILE LEFT TOP WIDTH HEIGHT [any]
                                   the same inside a rectangle; with "any", any ink there at all
  centred FILE WIDTH HEIGHT        all ink inside the WIDTH x HEIGHT rectangle at 0,0, its box
                                   centred there within an eighth of each side
  black FILE LEFT TOP WIDTH HEIGHT PERCENT
                                   at least PERCENT % of the rectangle's pixels are black
  colours FILE LEFT TOP WIDTH HEIGHT
                                   prints how many colours the ink inside the rectangle has (one
                                   for a single curve, which is drawn in one colour)
  thickness FILE                   prints the share of inked pixels with an inked neighbour on
                                   both axes (about 0 for a one-pixel line, most for two pixels)
  same FILE OTHER                  the two pictures are equal pixel for pixel
"""
import sys


def read_ppm(path):
    """Width, height and the RGB bytes of a binary PPM: "P6", width, height, maximum value, one
    blank, then one triple a pixel."""
    data = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[pos + 1:pos + 1 + width * height * 3]


def ink_box(path, left=0, top=0, width=None, height=None):
    """The box (x0, x1, y0, y1) around every pixel that is not black inside the rectangle, relative
    to it, or None when there is no ink; and the rectangle's size."""
    full_width, full_height, pixels = read_ppm(path)
    width = full_width - left if width is None else width
    height = full_height - top if height is None else height
    box = None
    for y in range(height):
        start = ((top + y) * full_width + left) * 3
        row = pixels[start:start + width * 3]
        stripped = row.lstrip(b"\0")
        if not stripped:
            continue
        first = (len(row) - len(stripped)) // 3
        last = (len(row.rstrip(b"\0")) - 1) // 3
        if box is None:
            box = [first, last, y, y]
        else:
            box = [min(box[0], first), max(box[1], last), box[2], y]
    return box, width, height


def spans_centre(box, width, height):
    return box is not None and box[0] <= width // 2 <= box[1] and box[2] <= height // 2 <= box[3]


def thickness(path):
    width, height, pixels = read_ppm(path)

    def ink(x, y):
        if 0 <= x < width and 0 <= y < height:
            i = (y * width + x) * 3
            return pixels[i:i + 3] != b"\0\0\0"
        return False

    inked = both = 0
    for y in range(height):
        if not pixels[y * width * 3:(y + 1) * width * 3].strip(b"\0"):
            continue
        for x in range(width):
            if ink(x, y):
                inked += 1
                if (ink(x - 1, y) or ink(x + 1, y)) and (ink(x, y - 1) or ink(x, y + 1)):
                    both += 1
    return both / inked if inked else 0.0


def main(argv):
    check, path = argv[1], argv[2]
    numbers = [int(a) for a in argv[3:] if a != "any"] if check != "same" else []
    if check == "centre":
        return spans_centre(*ink_box(path))
    if check == "ink":
        box, width, height = ink_box(path, *numbers[:4])
        return box is not None if "any" in argv[3:] else spans_centre(box, width, height)
    if check == "centred":
        w, h = numbers
        full_width, full_height, _ = read_ppm(path)
        box, _, _ = ink_box(path)
        if box is None or box[1] >= w or box[3] >= h:
            return False
        return (abs((box[0] + box[1]) / 2 - w / 2) <= w / 8 and
                abs((box[2] + box[3]) / 2 - h / 2) <= h / 8)
    if check == "black":
        left, top, width, height, percent = numbers
        full_width, _, pixels = read_ppm(path)
        black = 0
        for y in range(top, top + height):
            row = pixels[(y * full_width + left) * 3:(y * full_width + left + width) * 3]
            black += sum(1 for i in range(0, len(row), 3) if row[i:i + 3] == b"\0\0\0")
        return black * 100 >= percent * width * height
    if check == "colours":
        left, top, width, height = numbers
        full_width, _, pixels = read_ppm(path)
        colours = set()
        for y in range(top, top + height):
            row = pixels[(y * full_width + left) * 3:(y * full_width + left + width) * 3]
            if row.strip(b"\0"):
                colours.update(row[i:i + 3] for i in range(0, len(row), 3))
        colours.discard(b"\0\0\0")
        print(len(colours))
        return True
    if check == "same":
        # Two pictures of one size, pixel for pixel; what differs is said on stderr.
        first, second = read_ppm(path), read_ppm(argv[3])
        if first[:2] != second[:2]:
            print(f"sizes differ: {first[0]}x{first[1]} and {second[0]}x{second[1]}",
                  file=sys.stderr)
            return False
        width, a, b = first[0], first[2], second[2]
        if a == b:
            return True
        differing = [i // 3 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3]]
        x, y = differing[0] % width, differing[0] // width
        print(f"{len(differing)} pixels differ, the first at {x},{y}: "
              f"{a[differing[0] * 3:differing[0] * 3 + 3].hex()} and "
              f"{b[differing[0] * 3:differing[0] * 3 + 3].hex()}", file=sys.stderr)
        return False
    if check == "thickness":
        print(f"{thickness(path):.2f}")
        return True
    raise SystemExit(f"screenshot.py: unknown check {check}")


if __name__ == "__main__":
    sys.exit(0 if main(sys.argv) else 1)
