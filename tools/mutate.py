#!/usr/bin/env python3
"""Mutation run: deliberately broken copies of the game's code, one at a time, each built
and tested, to show which faults the test suite catches.

    tools/mutate.py [--rev REV] [--under DIR]... [--seed N] [--count N] [--work DIR] [--list]
                    [--jobs N] [--matrix] [--build-type TYPE]

The tree of git revision REV (default: the working tree as it is) is copied to DIR, built
there once (in Debug unless --build-type says otherwise), and checked to pass its own tests. Then each mutant changes one place
in the folders given with --under (default src/; platform/core is the other one worth
running) -- a flipped comparison, a changed constant, && and || swapped, + and - swapped, a
dropped statement -- is built, and is run against the unit, scenario and conformance tests
and the long race of tools/longrun.cpp.
A mutant that fails to build is "not built"; one that makes a test fail, crash or hang is
"caught"; one that passes every test "survived".

The places are found in a fixed order and the sample is drawn with the seed, so the same
seed over the same folders makes the same mutants whatever the tests are: run it over two
revisions whose code is alike to compare their test suites. Results go to DIR/results.txt,
one line a mutant, and a summary to standard output.

With --matrix every test program runs in full and each caught mutant's line names the tests
that caught it: a test that catches nothing no other test catches is a candidate for a cut.
"""

import argparse
import hashlib
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Operators, each a pattern and what a match becomes. Applied to code with strings and
# comments blanked out, so only code is ever changed.
RELATIONAL = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
LOGICAL = {"&&": "||", "||": "&&"}
ARITHMETIC = {" + ": " - ", " - ": " + "}
BOOLEAN = {"true": "false", "false": "true"}

STATEMENT = re.compile(
    r"^\s*(?!return\b|break\b|continue\b|case\b|default\b|const\b|constexpr\b|static\b|"
    r"int\d*_t\b|uint\d*_t\b|int\b|bool\b|char\b|auto\b|DWORD\b|HRESULT\b|RECT\b|MSG\b|"
    r"DDSURFACEDESC\b|DDBLTFX\b|DDSCAPS\b|DDCOLORKEY\b|DDPIXELFORMAT\b|MMCKINFO\b|"
    r"WAVEFORMATEX\b|DSBUFFERDESC\b|WNDCLASSA\b|HMMIO\b|HDC\b|COLORREF\b|LPDIRECTSOUNDBUFFER\b|"
    r"void\b|size_t\b|struct\b|class\b|enum\b|typedef\b|using\b|namespace\b|extern\b|"
    r"template\b|public\b|private\b|else\b|if\b|for\b|while\b|do\b|switch\b|[{}#])"
    r"[A-Za-z_].*;\s*$"
)


def blank_strings_and_comments(line):
    """The line with string and character literals and // comments replaced by spaces."""
    out = []
    i = 0
    quote = None
    while i < len(line):
        c = line[i]
        if quote:
            if c == "\\":
                out.append("  ")
                i += 2
                continue
            if c == quote:
                quote = None
            out.append(" ")
        elif c in "\"'":
            quote = c
            out.append(" ")
        elif line.startswith("//", i):
            out.append(" " * (len(line) - i))
            break
        else:
            out.append(c)
        i += 1
    return "".join(out)[: len(line)]


def find_sites(root, under):
    """Every place a mutant can be made in the folder under (relative to root), in a fixed
    order: (file, line, column, old, new, kind)."""
    sites = []
    files = []
    for folder, _, names in os.walk(os.path.join(root, under)):
        for name in names:
            if name.endswith((".cpp", ".h")):
                files.append(os.path.join(folder, name))
    files.sort()
    for path in files:
        rel = os.path.relpath(path, root)
        with open(path, encoding="utf-8") as f:
            lines = f.read().split("\n")
        in_block_comment = False
        for number, line in enumerate(lines, 1):
            stripped = line.strip()
            if in_block_comment:
                if "*/" in stripped:
                    in_block_comment = False
                continue
            if stripped.startswith("/*"):
                in_block_comment = "*/" not in stripped
                continue
            if stripped.startswith(("#", "//")) or "static_assert" in line:
                continue
            code = blank_strings_and_comments(line)
            for kind, table in (("relational", RELATIONAL), ("logical", LOGICAL),
                                ("arithmetic", ARITHMETIC)):
                for old, new in table.items():
                    for m in re.finditer(re.escape(old), code):
                        start = m.start()
                        if kind == "relational":
                            before = code[start - 1] if start > 0 else " "
                            after = code[start + len(old)] if start + len(old) < len(code) else " "
                            # Not part of a longer operator, a template or a shift.
                            if before in "<>=!-" or after in "<>=":
                                continue
                            if old in ("<", ">") and not (before == " " and after == " "):
                                continue
                        sites.append((rel, number, start, old, new, kind))
            for old, new in BOOLEAN.items():
                for m in re.finditer(r"\b%s\b" % old, code):
                    sites.append((rel, number, m.start(), old, new, "boolean"))
            for m in re.finditer(r"(?<![\w.])(\d+)(?![\w.])", code):
                value = int(m.group(1))
                new = str(value + 1) if value != 1 else "0"
                sites.append((rel, number, m.start(), m.group(1), new, "constant"))
            if STATEMENT.match(code) and code.count("(") == code.count(")"):
                indent = len(line) - len(line.lstrip())
                sites.append((rel, number, indent, line[indent:], ";", "statement"))
    sites.sort(key=lambda s: (s[0], s[1], s[2], s[5], s[3]))
    return sites


def apply(root, site):
    rel, number, column, old, new, _ = site
    path = os.path.join(root, rel)
    with open(path, encoding="utf-8") as f:
        original = f.read()
    lines = original.split("\n")
    line = lines[number - 1]
    assert line[column:column + len(old)] == old, (site, line)
    lines[number - 1] = line[:column] + new + line[column + len(old):]
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))
    return path, original


def run(cmd, cwd, timeout=None):
    # In a session of its own, so that a hung test and every program it started (a headless
    # run that a mutant sent into an endless loop) go together.
    p = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                         start_new_session=True)
    try:
        out, _ = p.communicate(timeout=timeout)
        return p.returncode, out.decode("utf-8", "replace")
    except subprocess.TimeoutExpired:
        os.killpg(p.pid, signal.SIGKILL)
        p.communicate()
        return "timeout", ""


def copy_tree(rev, work):
    if os.path.exists(work):
        shutil.rmtree(work)
    os.makedirs(work)
    if rev:
        archive = subprocess.run(["git", "-C", ROOT, "archive", rev], check=True,
                                 stdout=subprocess.PIPE).stdout
        subprocess.run(["tar", "-x", "-C", work], input=archive, check=True)
    else:
        names = subprocess.run(["git", "-C", ROOT, "ls-files", "-co", "--exclude-standard"],
                               check=True, stdout=subprocess.PIPE).stdout.decode().split("\n")
        for name in filter(None, names):
            source = os.path.join(ROOT, name)
            if not os.path.isfile(source):
                continue
            target = os.path.join(work, name)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copy2(source, target)


def code_digest(root, folders):
    h = hashlib.sha256()
    for folder, _, names in (w for under in folders for w in sorted(os.walk(os.path.join(root, under)))):
        for name in sorted(names):
            path = os.path.join(folder, name)
            h.update(os.path.relpath(path, root).encode())
            with open(path, "rb") as f:
                h.update(f.read())
    return h.hexdigest()[:16]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--rev", help="git revision to take the tree from (default: working tree)")
    parser.add_argument("--under", action="append", metavar="DIR",
                        help="a folder of the tree to mutate, repeatable (default: src)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--count", type=int, default=150)
    parser.add_argument("--work", default="/tmp/asphaltix-mutants")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    parser.add_argument("--timeout", type=int, default=120, help="seconds a test program may take")
    parser.add_argument("--also", action="append", default=[], metavar="FILE:LINE:OLD:NEW",
                        help="one more mutant: the first OLD on that line of FILE becomes NEW")
    parser.add_argument("--list", action="store_true", help="only list the sample")
    parser.add_argument("--matrix", action="store_true",
                        help="run every test of every program (no stopping at the first failure) "
                             "and name, for each mutant, the tests that caught it")
    parser.add_argument("--build-type", default="Debug", help="CMake build type of the copies")
    args = parser.parse_args()

    work = os.path.abspath(args.work)
    folders = [os.path.normpath(u) for u in (args.under or ["src"])]
    copy_tree(args.rev, work)
    sites = [s for under in folders for s in find_sites(work, under)]
    sample = random.Random(args.seed).sample(sites, min(args.count, len(sites)))
    for extra in args.also:
        rel, number, old, new = extra.split(":", 3)
        with open(os.path.join(work, rel), encoding="utf-8") as f:
            line = f.read().split("\n")[int(number) - 1]
        if old not in line:
            sys.exit("%s: '%s' is not on line %s" % (rel, old, number))
        sample.append((rel, int(number), line.index(old), old, new, "named"))
    print("%s %s: %d places, %d mutants (seed %d)" % (" ".join(folders), code_digest(work, folders),
                                                     len(sites), len(sample), args.seed))
    if args.list:
        for n, s in enumerate(sample, 1):
            print("%3d %s:%d %s %r -> %r" % (n, s[0], s[1], s[5], s[3], s[4]))
        return 0

    build = os.path.join(work, "build")
    targets = ["unit_tests", "scenario_tests", "conformance_tests", "longrun",
               "asphaltix-headless", "game_data"]
    code, out = run(["cmake", "-S", work, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=" + args.build_type,
                     "-DASPHALTIX_BENCH=OFF"], work)
    if code != 0:
        sys.exit("configure failed:\n" + out)
    code, out = run(["ninja", "-C", build, "-j%d" % args.jobs] + targets, work)
    if code != 0:
        sys.exit("the unmutated tree does not build:\n" + out[-3000:])
    # Each program, its arguments and the folder it runs in (the conformance program writes its
    # files there).
    gtest = ["--gtest_fail_fast", "--gtest_brief=1"]
    tests = [([os.path.join(build, "bin", "unit_tests")] + gtest, build),
             ([os.path.join(build, "bin", "scenario_tests")] + gtest, build),
             ([os.path.join(build, "bin", "conformance_tests")] + gtest,
              os.path.join(build, "tests", "conformance")),
             ([os.path.join(build, "bin", "longrun"), "100000"], build)]

    def test():
        if args.matrix:
            return matrix()
        for command, folder in tests:
            code, _ = run(command, folder, args.timeout)
            if code != 0:
                return "caught" if code != "timeout" else "caught (hang)"
        return "survived"

    def matrix():
        # Every program in full: the names of the tests that failed, or of the program that
        # crashed, hung or failed outside a test.
        failed = []
        report = os.path.join(work, "report.json")
        for command, folder in tests:
            program = os.path.basename(command[0])
            if program == "longrun":
                code, _ = run(command, folder, args.timeout)
                failed += [program] if code != 0 else []
                continue
            if os.path.exists(report):
                os.remove(report)
            code, _ = run([command[0], "--gtest_brief=1", "--gtest_output=json:" + report], folder,
                          args.timeout)
            names = []
            if os.path.exists(report):
                with open(report, encoding="utf-8") as f:
                    for suite in json.load(f).get("testsuites", []):
                        names += [suite["name"] + "." + t["name"] for t in suite["testsuite"]
                                  if t.get("failures")]
            if code != 0 and not names:
                names = [program + (" (hang)" if code == "timeout" else " (crash)")]
            failed += names
        return "caught " + " ".join(failed) if failed else "survived"

    if test() != "survived":
        sys.exit("the unmutated tree fails its own tests")

    results = []
    started = time.time()
    for n, site in enumerate(sample, 1):
        path, original = apply(work, site)
        try:
            code, _ = run(["ninja", "-C", build, "-j%d" % args.jobs] + targets, work)
            status = test() if code == 0 else "not built"
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
        line = "%3d %-9s %s:%d %s %r -> %r" % (n, status.split()[0], site[0], site[1], site[5],
                                               site[3].strip(), site[4])
        if args.matrix and status.startswith("caught"):
            line += " by " + status[len("caught "):]
        results.append((status, line))
        print(line, flush=True)
    # Leave the build matching the unmutated tree.
    run(["ninja", "-C", build, "-j%d" % args.jobs] + targets, work)

    built = [r for r in results if r[0] != "not built"]
    caught = [r for r in built if r[0].startswith("caught")]
    with open(os.path.join(work, "results.txt"), "w") as f:
        for _, line in results:
            f.write(line + "\n")
    print("made %d, built %d, caught %d, survived %d (%.0f%% of those built) in %.0f s" %
          (len(results), len(built), len(caught), len(built) - len(caught),
           100.0 * len(caught) / max(1, len(built)), time.time() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
