#!/usr/bin/env python3
"""Says what a test run did not check, and why: every test that CTest
recorded as skipped in the JUnit reports named on the command line, with the
reason it gave (a run's "NOT CHECKED: WHAT: WHY" line, or the message of a
GoogleTest skip). Prints one line a test; nothing when everything ran.

    scripts/not_checked.py REPORT.xml...
"""

import sys
import xml.etree.ElementTree as ElementTree


def reason(output):
    lines = output.splitlines()
    for number, line in enumerate(lines):
        if line.startswith("NOT CHECKED: "):
            return line[len("NOT CHECKED: "):]
        # GoogleTest: "FILE:LINE: Skipped", then the message.
        if line.endswith(": Skipped") and number + 1 < len(lines):
            return lines[number + 1]
    return "skipped without saying why"


def not_checked(report_path):
    for case in ElementTree.parse(report_path).getroot().iter("testcase"):
        if case.find("skipped") is not None:
            yield case.get("name"), reason(case.findtext("system-out") or "")


def main(paths):
    for path in paths:
        for name, why in not_checked(path):
            print(f"  {name}: {why}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
