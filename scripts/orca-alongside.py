#!/usr/bin/env python3
"""Runs the Orca screen reader for a private desktop session, beside any other Orca.

Usage: orca-alongside.py [orca options...]

Orca refuses to start while any other process of the same user is named "orca", whatever desktop
session it serves. This one serves a private session only, so it starts beside a user's own reader
(or a second test run) instead of failing, and never stops them as "orca --replace" would.
"""

import runpy
import sys

ORCA = "/usr/bin/orca"

sys.argv = [ORCA] + sys.argv[1:]
launcher = runpy.run_path(ORCA, run_name="orca_launcher")
launcher["main"].__globals__["otherOrcas"] = lambda: []
sys.exit(launcher["main"]())
