"""The caption comparison of the Wine run, on drawn screens: a caption
drawn larger passes; boxes, nothing, another caption or one out of place
fail."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import caption_match  # noqa: E402

RECT = (101, 2, 131, 32)   # the erase button's screen rectangle

# Two syllables, each a 10 x 10 drawing: a stroke pattern like "삭제" and one
# like "종료" (with a ring), and the boxes a font without Hangul draws.
ERASE = ["  #     #  ", " # #    #  ", "#   #   ## ", "        #  ", " ###### #  ",
         "      # #  ", "      #    ", "           ", "           ", "           "]
OTHER = ["  #####    ", "    #      ", "  #   #    ", "###########", "   #####   ",
         "  #     #  ", "   #####   ", "           ", "           ", "           "]
TOFU = ["           ", " #######   ", " #     #   ", " #     #   ", " #     #   ",
        " #     #   ", " #     #   ", " #######   ", "           ", "           "]


class DrawnScreen:
    """A white screen with a caption drawn from rows of '#', each cell
    scale x scale pixels, its top left corner at (left, top)."""

    def __init__(self, rows=None, left=0, top=0, scale=1.0):
        self.ink = set()
        for y in range(int(len(rows or []) * scale)):
            for x in range(int(2 * len(rows[0]) * scale)):
                row = rows[int(y / scale)]
                column = int(x / scale)
                # Two syllables side by side.
                if (row + row)[column] == "#":
                    self.ink.add((left + x, top + y))

    def pixel(self, x, y):
        return (0, 0, 0) if (x, y) in self.ink else (255, 255, 255)


class CaptionMatchTest(unittest.TestCase):
    simulated = DrawnScreen(ERASE, 105, 11)

    def difference(self, wine):
        return caption_match.caption_difference(wine, self.simulated, RECT)

    def test_the_same_caption_drawn_larger_and_a_pixel_higher_passes(self):
        self.assertIsNone(self.difference(DrawnScreen(ERASE, 104, 9, 1.2)))

    def test_boxes_for_missing_glyphs_fail(self):
        self.assertIn("size differs", self.difference(DrawnScreen(TOFU, 108, 11, 0.6)))
        self.assertIn("strokes lie", self.difference(DrawnScreen(TOFU, 105, 11)))

    def test_another_caption_fails(self):
        self.assertIn("strokes lie", self.difference(DrawnScreen(OTHER, 104, 9, 1.2)))

    def test_no_caption_or_one_out_of_place_fails(self):
        self.assertEqual(self.difference(DrawnScreen()), "Wine shows no caption")
        self.assertIn("off centre", self.difference(DrawnScreen(ERASE, 105, 15)))


if __name__ == "__main__":
    unittest.main()
