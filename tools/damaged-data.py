#!/usr/bin/env python3
"""Plays the game through the headless runner with each of its nine data files missing or
damaged in turn, and checks that it still starts and plays its menu, a race and the hall of
fame without a crash.

    tools/damaged-data.py --runner build-asan/game/asphaltix-headless --dir build-asan/game

For each file (Strasse.gfx Autos.gfx Back.gfx Status.gfx Menu.snd Engine.snd Crash1.snd
Bonus.snd Highscore.List) the cases are: missing; empty; a folder in its place; cut short at
several points; random bytes after the file's own header (the PCX header of a picture, the
RIFF-WAVE-fmt header of a sound); and, for the pictures, small valid pictures narrower or lower
than what the game blits from them (the road's 660 x 480, the car sheet's 278 x 141, the status
panel's 160 x 480, the background's 640 x 480). The sounds also get a data chunk that claims more
than the file holds, and formats the mixer cannot play.

Each case runs one script: a race at once (keys at frame 0 count, before the curtain), steering
to both edges of the road through the countdown and into the traffic, to a crash and a time
bonus (with the game's own data: the first case, every file as made, says whether the race still
gets there), the quit question with its no and its yes, the hall of fame, and Exit game. The
game must end with exit status 0, nothing on standard error (a sanitizer report fails the case),
and its screen changes at the frames the script asked for: the race, the menu, the hall of fame,
the menu, the shutdown after `mci 0 close all`. Without Highscore.List the game ends on purpose
when the hall of fame is chosen: the log shows the box "Highscore-Liste nicht gefunden!" and
then `exit 0`.

--huge adds, for each picture, a header declaring the largest size the loader takes in a 1 KB
file; with --memory (a runner built without sanitizers) the game must also survive not getting
the memory for it (see tests/robustness/huge_picture.sh).

Python 3 standard library only. Exit status: 0 when every case passed, 1 otherwise.
"""
import argparse
import concurrent.futures
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import makeseeds  # noqa: E402  (the PCX header and run-length coding of the fuzz seeds)

PICTURES = ["Strasse.gfx", "Autos.gfx", "Back.gfx", "Status.gfx"]
SOUNDS = ["Menu.snd", "Engine.snd", "Crash1.snd", "Bonus.snd"]
HIGH_SCORES = "Highscore.List"
DATA_FILES = PICTURES + SOUNDS + [HIGH_SCORES]

# Pictures smaller than the rectangles the game blits from them.
SMALL_PICTURES = {
    "Strasse.gfx": [(659, 480), (480, 480), (660, 479), (1, 1)],
    "Autos.gfx": [(277, 141), (278, 140), (31, 70), (1, 1)],
    "Status.gfx": [(159, 480), (160, 479), (1, 1)],
    "Back.gfx": [(639, 480), (640, 479), (1, 1)],
}

# The script: each screen change at a frame of its own, so the log shows where it happened. The
# race steers to both edges of the road (the road's picture is shown from its left and its right
# end) and, with the game's own data, comes to a crash and a time bonus before the quit question.
RACE_AT = 0  # Enter at frame 0 is taken before the curtain starts
QUIT_AT = 405  # the countdown takes 250 race frames
NO_AT = 410
YES_AT = 425
FAME_AT = 435  # after Down, Down from New game
MENU_AT = 450
EXIT_AT = 460  # after Up, Up, Up: Exit game is one further up from New game
STEERING = [(40, 139, "RIGHT"), (139, 251, "LEFT"), (251, 309, "RIGHT"), (309, 315, "LEFT"),
            (329, 340, "LEFT"), (340, 346, "RIGHT"), (346, 373, "LEFT")]
SCRIPT = "".join(
    ["%d press ENTER\n" % RACE_AT, "2 down UP\n"] +
    ["%d down %s\n%d up %s\n" % (down, key, up, key) for down, up, key in STEERING] +
    ["%d press ESCAPE\n" % QUIT_AT, "%d press N\n" % NO_AT, "%d press ESCAPE\n" % (NO_AT + 5),
     "%d press Y\n" % YES_AT, "%d press DOWN\n" % (YES_AT + 2), "%d press DOWN\n" % (YES_AT + 4),
     "%d press ENTER\n" % FAME_AT, "%d press ESCAPE\n" % MENU_AT, "%d press UP\n" % (MENU_AT + 2),
     "%d press UP\n" % (MENU_AT + 4), "%d press UP\n" % (MENU_AT + 6),
     "%d press ENTER\n" % EXIT_AT])
SCREEN_CHANGES = [RACE_AT, YES_AT, FAME_AT, MENU_AT, EXIT_AT]
FRAMES = EXIT_AT + 100


def pcx_header(width, height, bits=8, planes=1, bytes_per_line=None):
    if bytes_per_line is None:
        bytes_per_line = width + (width & 1)
    return makeseeds.header(width, height, bits, planes, bytes_per_line)


def small_picture(width, height):
    """A valid 8-bit PCX picture: stripes in the palette's colours, index 1 the sprites' key."""
    stride = width + (width & 1)
    data = bytearray(pcx_header(width, height, bytes_per_line=stride))
    for y in range(height):
        data += makeseeds.encode_line(bytes(((x // 8 + y // 8) % 16) for x in range(stride)))
    palette = bytearray(768)
    for i in range(256):
        palette[3 * i:3 * i + 3] = bytes([(i * 37) & 0xFF, (i * 91) & 0xFF, (i * 13) & 0xFF])
    palette[3:6] = bytes([255, 0, 255])
    data.append(12)
    data += palette
    return bytes(data)


def wave_header(channels=1, rate=22050, bits=16, tag=1):
    block = channels * bits // 8
    fmt = struct.pack("<HHIIHH", tag, channels, rate, rate * block, block, bits)
    return b"RIFF" + struct.pack("<I", 0x7FFF) + b"WAVE" + b"fmt " + struct.pack("<I", 16) + fmt


def cases_for(name, original, rng, huge):
    """(case name, bytes or None for missing or 'folder') of one data file."""
    cases = [("missing", None), ("empty", b""), ("a folder", "folder")]
    n = len(original)
    if name == HIGH_SCORES:
        cases.append(("random text", bytes(rng.randrange(256) for _ in range(300))))
        cases.append(("one line", b"KORVAX 5 01774\n"))
        return cases
    if name in PICTURES:
        # Inside the header, the header alone, one byte of pixels, half the pixels, the
        # palette marker's place, one byte of the palette short.
        cuts = [1, 127, 128, 129, n // 2, n - 769, n - 1]
    else:
        # Inside RIFF, inside fmt, fmt without data, the data chunk's header, one sample.
        cuts = [1, 12, 36, 44, 45, n // 2, n - 1]
    for cut in sorted(set(c for c in cuts if 0 < c < n)):
        cases.append(("cut to %d bytes" % cut, original[:cut]))
    if name in PICTURES:
        header = original[:128]
        cases.append(("PCX header + %d random bytes" % (n - 128),
                      header + bytes(rng.randrange(256) for _ in range(n - 128))))
        cases.append(("PCX header + 3000 random bytes",
                      header + bytes(rng.randrange(256) for _ in range(3000))))
        for width, height in SMALL_PICTURES[name]:
            cases.append(("a %d x %d picture" % (width, height), small_picture(width, height)))
        if huge:
            cases.append(("16384 x 16384 pixels declared in 1 KB",
                          pcx_header(16384, 16384) + bytes(1024 - 128)))
    else:
        header = wave_header()
        cases.append(("RIFF-WAVE-fmt header + %d random bytes" % (n - 36),
                      header + bytes(rng.randrange(256) for _ in range(n - 36))))
        cases.append(("RIFF-WAVE-fmt header + data claiming 2 GiB",
                      header + b"data" + struct.pack("<I", 0x7FFFFFF0) +
                      bytes(rng.randrange(256) for _ in range(2000))))
        cases.append(("data claiming 8 MiB, 100 bytes there",
                      header + b"data" + struct.pack("<I", 8 << 20) + bytes(100)))
        for label, fmt in [("no channels", wave_header(channels=0)),
                           ("a rate of 0", wave_header(rate=0)),
                           ("32-bit float", wave_header(bits=32, tag=3))]:
            cases.append(("format with " + label, fmt + b"data" + struct.pack("<I", 4000) +
                          bytes(rng.randrange(256) for _ in range(4000))))
    return cases


def check(log_lines, rc, stderr, missing_high_scores):
    """None when the run ended as it must; otherwise why not."""
    if stderr.strip():
        return "wrote to standard error"
    if rc != 0:
        return "exit status %d" % rc
    if not log_lines:
        return "no log"
    if log_lines[-1] != "exit 0":
        return "log ends '%s'" % log_lines[-1]
    # The screen changes, each logged as the half-second pause after the frame it came at.
    flips = 0
    last_flip = 0
    changes = []
    boxes = []
    for number, line in enumerate(log_lines):
        if line.startswith("flip "):
            flips = int(line.split()[1])
            last_flip = number
        elif line == "sleep 500":
            changes.append(flips)
        elif line.startswith("messagebox "):
            boxes.append((flips, line))
    if missing_high_scores:
        # The box comes when the hall of fame is chosen, and the game ends after it.
        if len(boxes) != 1 or not boxes[0][1].startswith("messagebox 0x10 ") or \
                not boxes[0][1].endswith("|Highscore-Liste nicht gefunden!"):
            return "expected the high-score box, got %s" % [line for _, line in boxes]
        if boxes[0][0] != FAME_AT or flips != FAME_AT:
            return "high-score box at frame %d and the end at %d, not both at %d" % (
                boxes[0][0], flips, FAME_AT)
        return None
    if boxes:
        return "message box: %s" % boxes[0][1]
    if "mci 0 close all" not in log_lines[last_flip:]:
        return "no shutdown (mci 0 close all) before the end"
    # The last pause is the shutdown's own.
    if changes[:-1] != SCREEN_CHANGES:
        return "screen changes at frames %s, not %s" % (changes[:-1], SCREEN_CHANGES)
    return None


def run_case(args, work, index, name, label, content):
    folder = os.path.join(work, "case%03d" % index)
    os.makedirs(folder)
    for other in DATA_FILES:
        if other != name:
            os.symlink(os.path.join(args.dir, other), os.path.join(folder, other))
    if name is not None:
        target = os.path.join(folder, name)
        if content == "folder":
            os.makedirs(target)
        elif content is not None:
            with open(target, "wb") as f:
                f.write(content)
    script = os.path.join(folder, "script.txt")
    with open(script, "w") as f:
        f.write(SCRIPT)
    log = os.path.join(folder, "run.log")
    command = [args.runner, "--dir", folder, "--script", script, "--frames", str(FRAMES),
               "--log", log]
    if args.memory:
        command = ["/bin/sh", "-c", 'ulimit -v %d && exec "$@"' % (args.memory * 1024), "sh"] + \
            command
    try:
        proc = subprocess.run(command, capture_output=True, timeout=args.timeout)
        rc, stderr = proc.returncode, proc.stderr.decode("utf-8", "replace")
    except subprocess.TimeoutExpired:
        return (name, label, "no end within %g s" % args.timeout, folder, "")
    lines = []
    if os.path.exists(log):
        with open(log, errors="replace") as f:
            lines = f.read().splitlines()
    why = check(lines, rc, stderr, name == HIGH_SCORES and content is None)
    if why is None:
        shutil.rmtree(folder)
    # With every file as made, the sound buffers are numbered by their slots: 4 the crash, 5 the
    # bonus.
    played = {line for line in lines if line in ("sound 4 play", "sound 5 play")}
    return (name, label, why, folder, stderr, len(played) == 2)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--runner", required=True, help="asphaltix-headless to run")
    parser.add_argument("--dir", required=True, help="the game folder with the valid data files")
    parser.add_argument("--files", default=",".join(DATA_FILES),
                        help="comma-separated data files to damage (default: all nine)")
    parser.add_argument("--seed", type=int, default=1, help="seed of the random bytes")
    parser.add_argument("--jobs", type=int, default=1, help="cases at a time (default 1)")
    parser.add_argument("--timeout", type=float, default=60.0,
                        help="seconds a case may take before it counts as hung (default 60)")
    parser.add_argument("--huge", action="store_true",
                        help="also each picture declaring the largest size the loader takes, "
                        "16384 x 16384, in 1 KB (seconds a case, and up to 1 GB)")
    parser.add_argument("--memory", type=int, metavar="MB",
                        help="limit each run's address space to MB megabytes (ulimit -v), as on "
                        "a machine with little memory; not for a sanitizer build")
    parser.add_argument("--keep", action="store_true",
                        help="keep the folders of failed cases (they are listed)")
    args = parser.parse_args()
    args.runner = os.path.abspath(args.runner)
    args.dir = os.path.abspath(args.dir)
    files = [f for f in args.files.split(",") if f]
    for name in files:
        if name not in DATA_FILES:
            parser.error("'%s' is not one of the game's data files" % name)
    for name in DATA_FILES:
        if not os.path.isfile(os.path.join(args.dir, name)):
            parser.error("no %s in %s" % (name, args.dir))

    rng = random.Random(args.seed)
    cases = []
    cases = [(None, "every file as made", None)]
    for name in files:
        with open(os.path.join(args.dir, name), "rb") as f:
            original = f.read()
        for label, content in cases_for(name, original, rng, args.huge):
            cases.append((name, label, content))

    work = tempfile.mkdtemp(prefix="damaged-data-")
    started = time.monotonic()
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        results = list(pool.map(lambda c: run_case(args, work, c[0], *c[1]), enumerate(cases)))
    elapsed = time.monotonic() - started

    failures = [r for r in results if r[2] is not None]
    print("damaged-data: %d files, %d cases, %.1f s" % (len(files), len(cases), elapsed))
    print("  every file as made: %s; the race came to a crash and a time bonus: %s" % (
        "passed" if results[0][2] is None else "FAILED", "yes" if results[0][5] else "no"))
    for name in files:
        count = sum(1 for r in results if r[0] == name)
        bad = sum(1 for r in failures if r[0] == name)
        print("  %-15s %2d cases, %d failed" % (name, count, bad))
    print("failures: %d" % len(failures))
    for name, label, why, folder, stderr, _ in failures:
        print("  %s, %s: %s" % (name or "no file damaged", label, why))
        limit = "ulimit -v %d; " % (args.memory * 1024) if args.memory else ""
        print("    %s%s --dir %s --script %s/script.txt --frames %d" % (
            limit, args.runner, folder, folder, FRAMES))
        for line in stderr.splitlines()[:12]:
            print("    | " + line)
    if not failures or not args.keep:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
