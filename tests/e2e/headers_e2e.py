#!/usr/bin/env python3
"""End-to-end tests of real packages played by our control.

    headers_e2e.py --build BUILD_DIR [unittest arguments, e.g. Suite.test_NAME]
"""

import argparse
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import control_e2e  # noqa: E402
import player_e2e  # noqa: E402
from player_e2e import wait_for  # noqa: E402,F401


class Suite(control_e2e.ControlTest):
    """Packages with our control, on a virtual display."""


for name in dir(control_e2e.ControlTest):
    if name.startswith("test_") and name not in vars(Suite):
        setattr(Suite, name, None)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    args, rest = parser.parse_known_args()
    player_e2e.BUILD = os.path.abspath(args.build)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
