#!/usr/bin/env python3
"""Runs the Orca screen reader with everything it speaks also appended, line by line, to a file.

Usage: orca-with-transcript.py TRANSCRIPT [orca options...]

Orca logs each utterance to its Python logger named "speech"; a file handler flushes every line as it
is written, which Orca's own --debug-file does not (and full debug logging slows Orca until the
program stops forwarding keys to it).

Orca refuses to start while any other process of the same user is named "orca", whatever desktop
session it serves. This one serves a private session only, so it starts beside a user's own reader
(or a second test run) instead of failing, and never stops them as "orca --replace" would.
"""

import logging
import runpy
import sys

ORCA = "/usr/bin/orca"

handler = logging.FileHandler(sys.argv[1], encoding="utf-8")
handler.setFormatter(logging.Formatter("%(message)s"))
logging.getLogger("speech").addHandler(handler)

sys.argv = [ORCA] + sys.argv[2:]
launcher = runpy.run_path(ORCA, run_name="orca_launcher")
launcher["main"].__globals__["otherOrcas"] = lambda: []
sys.exit(launcher["main"]())
