"""The replay rules that every script run under Wine must follow, and the
program state the replay follows to apply them. The simulator that parses the
scripts is QOZCAL_SIMULATOR (the CTest test sets it)."""

import glob
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import pen_replay  # noqa: E402
import run_wine_tests  # noqa: E402
from pen_replay import ScriptError  # noqa: E402

SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SIMULATOR = os.environ.get("QOZCAL_SIMULATOR", "qozcal")

START_CALIBRATION = "tap 200 16\nwait 700\n"
# Taps exactly at the five 240 x 320 targets, each followed by the pause.
FIVE_TAPS = "".join(f"tap {x} {y}\nwait 700\n"
                    for x, y in ((25, 33), (217, 33), (217, 289), (25, 289), (121, 161)))


def replay(text, screen=(240, 320)):
    model = pen_replay.ReplayModel("test.pen", *screen)
    return model.run(pen_replay.parse_text(text, SIMULATOR))


class CommittedScriptsTest(unittest.TestCase):
    def test_every_example_and_wine_script_follows_the_rules(self):
        scripts = glob.glob(os.path.join(SOURCE_DIR, "examples", "*.pen"))
        self.assertTrue(scripts)
        for script in scripts:
            with self.subTest(script=script):
                pen_replay.load_replay(script, 240, 320, SIMULATOR)
        # And every script the Wine run replays, on its screen.
        run_wine_tests.load_replays(SOURCE_DIR, SIMULATOR)


class RejectedScriptsTest(unittest.TestCase):
    def assertRejected(self, text, message, line, screen=(240, 320)):
        with self.assertRaises(ScriptError) as raised:
            replay(text, screen)
        self.assertIn(message, str(raised.exception))
        self.assertTrue(str(raised.exception).startswith(f"test.pen:{line}: "),
                        str(raised.exception))

    def test_unpaced_moves(self):
        self.assertRejected("down 50 100\nmove 60 100\nup 60 100\n", "wait 20", 2)
        self.assertRejected("down 50 100\nwait 20\nmove 60 100\nwait 19\nmove 70 100\n"
                            "up 70 100\n", "wait 20", 5)

    def test_a_move_to_where_the_pointer_is(self):
        self.assertRejected("down 50 100\nwait 20\nmove 50 100\nup 50 100\n", "never reported", 3)

    def test_an_up_away_from_the_pointer(self):
        self.assertRejected("down 50 100\nwait 20\nmove 60 100\nup 70 100\n", "released", 4)

    def test_strokes(self):
        self.assertRejected("stroke 50 100 60 100\n", "a stroke's moves are unpaced", 1)

    def test_input_or_shots_during_the_pause_after_a_calibration_tap(self):
        self.assertRejected(START_CALIBRATION + "tap 25 33\ntap 217 33\n", "pause", 4)
        self.assertRejected(START_CALIBRATION + "tap 25 33\nwait 699\nkey\n", "pause", 5)
        self.assertRejected(START_CALIBRATION + "tap 25 33\nshot a.png\n", "pause", 4)

    def test_points_off_the_screen(self):
        self.assertRejected("tap 100 250\n", "off the 320x240 screen", 1, screen=(320, 240))

    def test_keys_with_the_pointer_off_the_window(self):
        self.assertRejected("tap 300 100\nkey\n", "pointer off the window", 2, screen=(320, 240))

    def test_ending_in_calibration_mode_or_with_the_pen_down(self):
        self.assertRejected(START_CALIBRATION + "tap 25 33\nwait 700\n", "calibration mode", 4)
        self.assertRejected("down 50 100\n", "pen down", 1)

    def test_bad_commands_and_numbers(self):
        self.assertRejected("jump 1 2\n", "unknown command", 1)
        self.assertRejected("tap 1\n", "'tap' takes X Y, got 1 argument", 1)
        self.assertRejected("wait -5\n", "-5 is out of range (0 to 86400000)", 1)
        self.assertRejected("key tab\n", "unknown key", 1)


class FollowedStateTest(unittest.TestCase):
    def test_taps_on_the_pad_need_no_pause(self):
        replay("tap 50 100\ntap 60 100\nkey\nwait 700\n" + FIVE_TAPS)

    def test_the_button_start_signals_both_events(self):
        result = replay(START_CALIBRATION + FIVE_TAPS)
        self.assertEqual(result.events, ["CALSTARTEVENT", "CALENDEVENT"])
        self.assertFalse(result.program_exits)
        self.assertEqual(result.steps[-1], ("exit_tap",))

    def test_a_key_start_signals_only_the_end(self):
        self.assertEqual(replay("key\nwait 700\n" + FIVE_TAPS).events, ["CALENDEVENT"])

    def test_a_key_after_a_tap_on_erase_erases_instead_of_calibrating(self):
        # Were the key a calibration start, the pad taps after it would be
        # calibration taps that need the pause, and the end would be in
        # calibration mode.
        result = replay("tap 116 16\nkey\ntap 50 100\ntap 60 100\n")
        self.assertEqual(result.events, [])

    def test_the_exit_button_ends_the_replay(self):
        result = replay("tap 146 16\ntap 50 100\n")
        self.assertTrue(result.program_exits)
        self.assertNotIn(("exit_tap",), result.steps)

    def test_input_after_the_exit_is_sent_and_changes_nothing(self):
        # A whole calibration right behind the exit tap, unpaced: the program
        # takes the quit first, so none of it is a calibration tap.
        result = replay("tap 146 16\n" + START_CALIBRATION.replace("wait 700\n", "") +
                        FIVE_TAPS.replace("wait 700\n", "") + "key\nshot never.png\n")
        self.assertEqual(result.events, [])
        kinds = [step[0] for step in result.steps]
        self.assertEqual(kinds.count("press"), 7)
        self.assertEqual(kinds[-1], "key")
        self.assertNotIn("pause", kinds)
        self.assertNotIn("shot", kinds)
        self.assertFalse(any(step[0] == "pointer" and step[3] for step in result.steps))
        with self.assertRaises(ScriptError):
            replay("tap 146 16\ndown 50 100\n")

    def test_a_tap_where_no_window_is_is_no_calibration_tap(self):
        text = START_CALIBRATION + "tap 33 25\nwait 700\ntap 289 25\ntap 230 25\nwait 700\n" \
            "tap 230 217\nwait 700\ntap 33 217\nwait 700\ntap 161 121\nwait 700\n"
        result = replay(text, screen=(320, 240))
        self.assertEqual(result.events, ["CALSTARTEVENT", "CALENDEVENT"])
        pauses = [step for step in result.steps if step[0] == "pause"]
        self.assertEqual(len(pauses), 5)

    def test_pauses_name_the_marks_the_repaint_changes(self):
        pauses = [s for s in replay(START_CALIBRATION + FIVE_TAPS).steps if s[0] == "pause"]
        self.assertEqual(pauses[0], ("pause", (25, 33), (217, 33), False))
        self.assertEqual(pauses[4], ("pause", (121, 161), None, True))

    def test_hover_moves_that_draw_on_the_pad_are_noted(self):
        shots = [s for s in replay("down 50 100\nwait 20\nmove 60 100\nup 60 100\nshot a.png\n"
                                   "down 50 200\nwait 20\nmove 60 200\nup 60 200\n"
                                   "shot b.png\n").steps if s[0] == "shot"]
        self.assertEqual([s[4] for s in shots], [False, True])

    def test_shots_name_the_button_with_the_keyboard_focus(self):
        shots = [s for s in replay("shot a.png\ntap 116 16\nshot b.png\n" + START_CALIBRATION +
                                   FIVE_TAPS + "shot c.png\n").steps if s[0] == "shot"]
        self.assertEqual([s[5] for s in shots], ["main", "erase", "main"])

    def test_targets_follow_the_screen(self):
        self.assertEqual(pen_replay.targets(240, 320),
                         [(24, 32), (216, 32), (216, 288), (24, 288), (120, 160)])
        self.assertEqual(pen_replay.targets(320, 240),
                         [(32, 24), (288, 24), (288, 216), (32, 216), (160, 120)])


if __name__ == "__main__":
    unittest.main()
