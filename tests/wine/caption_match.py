"""Whether a button's caption under Wine is the simulator's caption, to
within what two renderings of one font may differ by.

Both draw the caption from the same Korean font, but not alike: the
simulator at 12 pixels, anti-aliased; Wine in its system font's cell of 16
pixels, as the font's own hinting table asks (without anti-aliasing at that
size). So the captions are compared as shapes: each one's ink (the pixels
darker than half the button's face), its box about the same place and size,
and, scaled onto the simulator's box, its strokes on average within
MAX_STROKE_DISTANCE pixels of the simulator's strokes, and the other way
round. Boxes drawn for glyphs a font lacks, a missing caption or one out of
place fail; so does the other Hangul caption in place of this one."""

import math

BORDER = 2                 # the button's frame: one pixel here, two for Wine's 3D edge
MAX_CENTRE_OFFSET = 2.0    # pixels
SIZE_RATIO = (0.8, 1.5)    # Wine's box over the simulator's, each way
MAX_STROKE_DISTANCE = 1.0  # mean, in the simulator's pixels


def luminance(pixel):
    red, green, blue = pixel
    return (299 * red + 587 * green + 114 * blue) / 1000


def caption_ink(screen, rect):
    """The caption's pixels inside a button's screen rectangle."""
    left, top, right, bottom = rect
    area = [(x, y) for y in range(top + BORDER, bottom - BORDER)
            for x in range(left + BORDER, right - BORDER)]
    face = max(luminance(screen.pixel(x, y)) for x, y in area)
    return [(x, y) for x, y in area if luminance(screen.pixel(x, y)) < face / 2]


def box(points):
    xs = [x for x, _ in points]
    ys = [y for _, y in points]
    return min(xs), min(ys), max(xs) + 1, max(ys) + 1


def mean_distance(points, others):
    """The mean distance from each point to the nearest of the others."""
    return sum(min(math.dist(p, q) for q in others) for p in points) / len(points)


def caption_difference(wine, simulated, rect):
    """How Wine's caption in rect differs from the simulator's; None when it
    is the same caption."""
    mine, theirs = caption_ink(wine, rect), caption_ink(simulated, rect)
    if not theirs:
        return "the simulator shows no caption"
    if not mine:
        return "Wine shows no caption"
    (l, t, r, b), (sl, st, sr, sb) = box(mine), box(theirs)
    offset = max(abs((l + r - sl - sr) / 2), abs((t + b - st - sb) / 2))
    ratios = ((r - l) / (sr - sl), (b - t) / (sb - st))
    where = f"Wine's caption box {(l, t, r, b)}, the simulator's {(sl, st, sr, sb)}"
    if offset > MAX_CENTRE_OFFSET:
        return f"the caption is {offset:.1f} pixels off centre ({where})"
    if not all(SIZE_RATIO[0] <= ratio <= SIZE_RATIO[1] for ratio in ratios):
        return f"the caption's size differs ({where})"
    # Wine's ink, each pixel's centre scaled onto the simulator's box.
    sx, sy = ratios
    scaled = [(sl + (x + 0.5 - l) / sx, st + (y + 0.5 - t) / sy) for x, y in mine]
    reference = [(x + 0.5, y + 0.5) for x, y in theirs]
    distances = (mean_distance(reference, scaled), mean_distance(scaled, reference))
    if max(distances) > MAX_STROKE_DISTANCE:
        return (f"the caption's strokes lie {distances[0]:.2f} and {distances[1]:.2f} pixels "
                f"apart on average, more than {MAX_STROKE_DISTANCE} ({where})")
    return None
