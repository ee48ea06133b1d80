#!/usr/bin/env python3
"""Plants single-token faults in the program's sources and counts how many the fast tests catch.

A fixed seed picks the sites, so two runs with the same seed, count and filter over the same
sources try the same faults. Each fault is applied to a scratch copy of the tree, never to the
working tree; the copy and its build folder are kept between runs so that a run only rebuilds
what a fault touches. Standard library only.
"""

import argparse
import difflib
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path

KINDS = ("relational", "logical", "arithmetic", "constant", "call")

# Test labels that are not fast tests: formatting and static analysis, the install check and the
# end-to-end runs through the desktop's accessibility bus.
DEFAULT_SLOW_LABELS = "lint|packaging|atspi|screenreader"

RELATIONAL_FLIP = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
LOGICAL_SWAP = {"&&": "||", "||": "&&"}
ARITHMETIC_SWAP = {"+": "-", "-": "+"}

# Binary operators are written with a blank on each side; template brackets, '->', '<<', unary
# signs and rvalue references are not.
RELATIONAL_RE = re.compile(r"(?<=\s)(<=|>=|==|!=|<|>)(?=\s)")
LOGICAL_RE = re.compile(r"(?<=\s)(&&|\|\|)(?=\s)")
ARITHMETIC_RE = re.compile(r"(?<=\s)([+-])(?=\s)")
# A decimal integer literal without suffix, not part of a name or a floating literal.
# The operator kinds: each one's pattern and what each of its tokens becomes.
OPERATOR_SWAPS = [("relational", RELATIONAL_RE, RELATIONAL_FLIP), ("logical", LOGICAL_RE, LOGICAL_SWAP),
                  ("arithmetic", ARITHMETIC_RE, ARITHMETIC_SWAP)]
CONSTANT_RE = re.compile(r"(?<![\w.'])(\d+)(?![\w.'])")
# A whole line that is one call: a possibly qualified name or member chain, its arguments, ';'.
CALL_RE = re.compile(r"^(\s*)([A-Za-z_][\w:]*(?:(?:\.|->)[A-Za-z_]\w*)*\s*\(.*\);)\s*$")
NOT_CALLS = {"return", "if", "while", "for", "switch", "delete", "throw", "case", "else", "do",
             "static_assert", "sizeof", "co_return", "co_await", "co_yield"}
SCOPE_RE = re.compile(r"\b(namespace|class|struct|union|enum)\b|extern\s*$")


@dataclass
class Mutant:
    path: str  # relative to the repository
    line: int  # 1-based
    column: int  # 0-based, in the line
    kind: str
    original: str
    replacement: str

    def describe(self):
        return (f"{self.path}:{self.line}:{self.column + 1} {self.kind} '{self.original}' -> "
                f"'{self.replacement}'")


def mask_code(text):
    """The text with comments and string and character literals blanked, positions kept."""
    out = list(text)
    i, n = 0, len(text)

    def blank(start, end):
        for k in range(start, end):
            if out[k] != "\n":
                out[k] = " "

    while i < n:
        c = text[i]
        if text.startswith("//", i):
            end = text.find("\n", i)
            end = n if end < 0 else end
            blank(i, end)
            i = end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            blank(i, end)
            i = end
        elif c == "R" and text.startswith('"', i + 1) and (i == 0 or not text[i - 1].isalnum()):
            open_paren = text.find("(", i + 2)
            delimiter = ")" + text[i + 2:open_paren] + '"'
            end = text.find(delimiter, open_paren)
            end = n if end < 0 else end + len(delimiter)
            blank(i, end)
            i = end
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            blank(i, min(j + 1, n))
            i = j + 1
        else:
            i += 1
    return "".join(out)


def body_lines(masked_lines):
    """For each line, whether it starts inside a function body (not at namespace or class scope)."""
    inside = []
    stack = []
    since_statement = ""
    for line in masked_lines:
        inside.append(bool(stack) and stack[-1] == "body")
        for c in line:
            if c == "{":
                stack.append("scope" if SCOPE_RE.search(since_statement) else "body")
                since_statement = ""
            elif c == "}":
                if stack:
                    stack.pop()
                since_statement = ""
            elif c == ";":
                since_statement = ""
            else:
                since_statement += c
        since_statement += " "
    return inside


def ends_statement(masked_line):
    stripped = masked_line.strip()
    if not stripped:
        return True
    if stripped[-1] in ";{}:":
        return True
    # The body of an if, loop or else written without braces.
    return bool(re.match(r"(\}\s*)?(if|for|while|else)\b", stripped))


def plain_call(text):
    """Whether a statement is a call alone: balanced, with no assignment outside its parentheses."""
    depth = 0
    for i, c in enumerate(text):
        depth += c == "("
        depth -= c == ")"
        if depth < 0:
            return False
        if depth == 0 and c == "=" and text[i - 1] not in "=!<>" and text[i + 1:i + 2] != "=":
            return False
    return depth == 0


def sites_in_file(repo, path, rng):
    text = (repo / path).read_text(encoding="utf-8")
    lines = text.split("\n")
    masked_lines = mask_code(text).split("\n")
    in_body = body_lines(masked_lines)
    found = {kind: [] for kind in KINDS}
    previous = ""
    for index, masked in enumerate(masked_lines):
        number = index + 1
        if masked.lstrip().startswith("#") or not masked.strip():
            previous = masked if masked.strip() else previous
            continue
        for kind, pattern, swap in OPERATOR_SWAPS:
            for match in pattern.finditer(masked):
                token = match.group(1)
                found[kind].append(Mutant(path, number, match.start(), kind, token, swap[token]))
        for match in CONSTANT_RE.finditer(masked):
            token = match.group(1)
            # Layout tables count in twips, a fifteenth of a pixel: one more or less is unseen.
            if path.endswith("Layout.h") and int(token) >= 15:
                continue
            found["constant"].append(Mutant(path, number, match.start(), "constant", token, ""))
        call = CALL_RE.match(masked)
        if (call and in_body[index] and ends_statement(previous) and plain_call(call.group(2))
                and re.match(r"[A-Za-z_]\w*", call.group(2)).group(0) not in NOT_CALLS):
            statement = lines[index][len(call.group(1)):].rstrip()
            found["call"].append(Mutant(path, number, len(call.group(1)), "call", statement, ";"))
        previous = masked
    return found


def choose_constant_replacement(mutant, rng):
    value = int(mutant.original)
    step = 1 if value == 0 else rng.choice((1, -1))
    mutant.replacement = str(value + step)


def source_files(repo, path_filter):
    listed = subprocess.run(["git", "-C", str(repo), "ls-files", "-co", "--exclude-standard", "--",
                             "src"], check=True, capture_output=True, text=True).stdout.split()
    chosen = []
    for path in sorted(listed):
        if not path.endswith((".cpp", ".h")):
            continue
        # main() is only reached by the end-to-end tests, which the fast tests leave out.
        if path.endswith("/main.cpp") or "_autogen/" in path or "/moc_" in path:
            continue
        if path_filter and not re.search(path_filter, path):
            continue
        chosen.append(path)
    return chosen


def pick_mutants(repo, seed, count, path_filter):
    rng = random.Random(seed)
    pools = {kind: [] for kind in KINDS}
    for path in source_files(repo, path_filter):
        for kind, sites in sites_in_file(repo, path, rng).items():
            pools[kind].extend(sites)
    for kind in KINDS:
        rng.shuffle(pools[kind])
        if kind == "constant":
            for mutant in pools[kind]:
                choose_constant_replacement(mutant, rng)
    chosen = []
    total = sum(len(pool) for pool in pools.values())
    wanted = total if count <= 0 else min(count, total)
    turn = 0
    while len(chosen) < wanted:
        pool = pools[KINDS[turn % len(KINDS)]]
        if pool:
            chosen.append(pool.pop())
        turn += 1
    chosen.sort(key=lambda m: (m.path, m.line, m.column))
    return chosen, total


def apply(text, mutant):
    lines = text.split("\n")
    line = lines[mutant.line - 1]
    start = mutant.column
    assert line[start:start + len(mutant.original)] == mutant.original, mutant.describe()
    lines[mutant.line - 1] = line[:start] + mutant.replacement + line[start + len(mutant.original):]
    return "\n".join(lines)


class Interrupted(Exception):
    pass


def on_signal(signum, frame):
    raise Interrupted(signal.Signals(signum).name)


def run(command, timeout, log, **kwargs):
    """Runs a command in its own process group; returns its exit status, or None on a timeout."""
    with open(log, "w") as out:
        process = subprocess.Popen(command, stdout=out, stderr=subprocess.STDOUT,
                                   start_new_session=True, **kwargs)
        try:
            return process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
            return None
        except BaseException:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
            raise


class Workspace:
    """A scratch copy of the tree and its own Debug build with the tests and the screens."""

    def __init__(self, repo, root):
        self.repo = repo
        self.root = root
        self.source = root / "source"
        # Laid out like the dev preset's build/dev, so that ccache serves its objects here.
        self.build = self.source / "build" / "mutants"
        self.log = root / "last.log"

    def sync(self):
        """Copies what differs from the working tree; unchanged files keep their times."""
        listed = subprocess.run(["git", "-C", str(self.repo), "ls-files", "-co",
                                 "--exclude-standard", "-z"], check=True, capture_output=True,
                                text=True).stdout.split("\0")
        listed = {path for path in listed if path and (self.repo / path).is_file()}
        manifest = self.root / "manifest"
        old = set(manifest.read_text().split("\n")) if manifest.exists() else set()
        for path in old - listed:
            if path and (self.source / path).exists():
                (self.source / path).unlink()
        for path in listed:
            wanted = (self.repo / path).read_bytes()
            target = self.source / path
            if not target.exists() or target.read_bytes() != wanted:
                target.parent.mkdir(parents=True, exist_ok=True)
                target.write_bytes(wanted)
            shutil.copymode(self.repo / path, target)
        manifest.write_text("\n".join(sorted(listed)))

    def configure(self):
        if (self.build / "CMakeCache.txt").exists():
            return True
        command = ["cmake", "-S", str(self.source), "-B", str(self.build), "-G", "Ninja",
                   "-DCMAKE_BUILD_TYPE=Debug", "-DTALVORA_BUILD_TESTS=ON",
                   "-DTALVORA_BUILD_GUI=ON", "-DTALVORA_BUILD_BENCHMARKS=OFF",
                   "-DTALVORA_BUILD_FUZZERS=OFF"]
        if shutil.which("ccache"):
            command += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache",
                        "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
        return run(command, 600, self.log) == 0

    def compile(self, timeout):
        return run(["cmake", "--build", str(self.build)], timeout, self.log) == 0

    def test(self, exclude, timeout):
        """True when every fast test passes; otherwise the names of the tests that failed."""
        status = run(["ctest", "--test-dir", str(self.build), "-LE", exclude, "-j2",
                      "--stop-on-failure", "--timeout", str(timeout)], timeout + 60, self.log)
        if status == 0:
            return True, []
        log = self.log.read_text(errors="replace")
        failed = re.findall(r"Test\s+#\d+:\s+(\S+)\s+\.*\s*\*\*\*\s*(\w+)", log)
        failed += re.findall(r"^\s*\d+ - (\S+) \((\w+)", log, re.MULTILINE)
        names = list(dict.fromkeys(f"{name} ({how.lower()})" for name, how in failed))
        return False, names or (["the whole run timing out"] if status is None else [])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seed", type=int, default=int(os.environ.get("MUTANTS_SEED", "2026")))
    parser.add_argument("--count", type=int, default=int(os.environ.get("MUTANTS_COUNT", "50")),
                        help="how many faults to plant; 0 plants one at every site")
    parser.add_argument("--only", default=os.environ.get("MUTANTS_ONLY", ""),
                        help="a regular expression the source paths must match, like 'src/calc/'")
    parser.add_argument("--list", action="store_true", help="print the faults and stop")
    parser.add_argument("--rerun", default="",
                        help="a previous run's output: plant again only the faults that survived "
                             "it (with the same seed, count and filter), as against other tests")
    parser.add_argument("--dir", default=os.environ.get("MUTANTS_DIR", ""),
                        help="scratch folder kept between runs (default: build/mutants)")
    parser.add_argument("--test-timeout", type=int,
                        default=int(os.environ.get("MUTANTS_TEST_TIMEOUT", "60")),
                        help="seconds a mutant's test run may take; longer counts as caught")
    parser.add_argument("--build-timeout", type=int,
                        default=int(os.environ.get("MUTANTS_BUILD_TIMEOUT", "1200")))
    parser.add_argument("--exclude-labels",
                        default=os.environ.get("MUTANTS_EXCLUDE_LABELS", DEFAULT_SLOW_LABELS))
    args = parser.parse_args()

    repo = Path(__file__).resolve().parent.parent
    mutants, total = pick_mutants(repo, args.seed, args.count, args.only)
    print(f"seed {args.seed}, count {args.count}, filter '{args.only}': {len(mutants)} of "
          f"{total} sites", flush=True)
    if args.rerun:
        survived = Path(args.rerun).read_text().split("\n")
        mutants = [m for m in mutants if any(
            line.split("] ", 1)[-1].startswith("survived   " + m.describe()) for line in survived)]
        print(f"planting again the {len(mutants)} that survived in {args.rerun}", flush=True)
    if args.list:
        for mutant in mutants:
            print(mutant.describe())
        return 0

    workspace = Workspace(repo, Path(args.dir) if args.dir else repo / "build" / "mutants")
    for signum in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, on_signal)
    workspace.root.mkdir(parents=True, exist_ok=True)
    workspace.sync()
    started = time.monotonic()
    if not workspace.configure() or not workspace.compile(args.build_timeout):
        print(f"the unchanged tree does not build; see {workspace.log}")
        return 2
    passed, failed = workspace.test(args.exclude_labels, args.test_timeout)
    if not passed:
        print(f"the fast tests fail on the unchanged tree ({' '.join(failed)}); see "
              f"{workspace.log}")
        return 2
    print(f"unchanged tree builds and passes in {time.monotonic() - started:.0f} s", flush=True)

    verdicts = {"killed": 0, "survived": 0, "not viable": 0}
    survivors = []
    try:
        for number, mutant in enumerate(mutants, 1):
            target = workspace.source / mutant.path
            original = target.read_text(encoding="utf-8")
            mutated = apply(original, mutant)
            started = time.monotonic()
            try:
                target.write_text(mutated, encoding="utf-8")
                if not workspace.compile(args.build_timeout):
                    verdict, detail = "not viable", ""
                else:
                    passed, failed = workspace.test(args.exclude_labels, args.test_timeout)
                    verdict = "survived" if passed else "killed"
                    detail = f" by {', '.join(failed)}" if failed else ""
            finally:
                # A fresh time stamp makes the next build compile the original again.
                target.write_text(original, encoding="utf-8")
            verdicts[verdict] += 1
            if verdict == "survived":
                diff = "".join(difflib.unified_diff(
                    original.splitlines(keepends=True), mutated.splitlines(keepends=True),
                    f"a/{mutant.path}", f"b/{mutant.path}", n=1))
                survivors.append((mutant, diff))
            print(f"[{number:3}/{len(mutants)}] {verdict:10} {mutant.describe()}{detail} "
                  f"({time.monotonic() - started:.0f} s)", flush=True)
    except Interrupted as stop:
        print(f"stopped by {stop}; the scratch copy is restored", flush=True)
        return 130
    finally:
        workspace.sync()

    judged = verdicts["killed"] + verdicts["survived"]
    score = 100.0 * verdicts["killed"] / judged if judged else 0.0
    print(f"\nkilled {verdicts['killed']}, survived {verdicts['survived']}, "
          f"not viable {verdicts['not viable']}; score {score:.1f}% "
          f"({verdicts['killed']}/{judged})")
    if survivors:
        print("\nsurvivors:")
        for mutant, diff in survivors:
            print(f"\n{mutant.path}:{mutant.line} {mutant.kind}\n{diff}", end="")
    return 0


if __name__ == "__main__":
    sys.exit(main())
