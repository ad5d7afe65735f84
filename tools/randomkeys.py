#!/usr/bin/env python3
"""Plays the whole game through the headless runner with random key scripts, and checks that
it only ever ends the ways it is meant to.

    tools/randomkeys.py --runner build-asan/game/asphaltix-headless --dir build-asan/game \\
        --events 100000 --seeds 1-200

Each seed plays runs of the game, one after another, until the seed's share of the events has
been delivered (or one of its runs has failed); each run is one script of up to --run-events
events made from its own random stream (seed and run number), so a run is played again by its
script alone (--script-only SEED:RUN prints it). Some runs use the 5-5-5 display format, and
some start without activation (--no-activate). The scripts press,
hold, release and repeat every key the game knows (Enter, Space, Escape, the arrows, Y and N,
and their Alt forms) and keys it does not (other letters, digits, F-keys, other named keys and
raw key codes), change activation and send the close command. A player model steers them:
through the menu to each item, through the countdown into races, into and out of the quit
question and the hall of fame, so runs get everywhere and not only into the first screen.

A run may end only as the game is meant to end, with exit status 0 and nothing on standard
error:
  shutdown   the log ends with `exit 0`, after `mci 0 close all` (Exit game, or Escape in the menu)
  close      `exit 0` without the shutdown (the close command, Alt+F4)
  fame-box   `exit 0` after the "Highscore-Liste nicht gefunden!" box (only without Highscore.List)
  stop       `stop N`, the runner's frame limit
  idle       `stop idle`, no script left while the game waits for activation
Anything else (a crash, a sanitizer report, another exit status, a run longer than --timeout)
is a failure; its script, log and standard error are kept in --keep (default: a new folder in
the system's temporary folder) and the command that plays it again is printed.

The model also predicts how each run ends. A run that ends another allowed way than predicted
is counted and listed (the model is simpler than the game), but is not a failure.

Python 3 standard library only. Exit status: 0 when every run ended an allowed way, 1 otherwise,
2 for bad arguments.
"""
import argparse
import concurrent.futures
import os
import random
import shutil
import subprocess
import sys
import tempfile
import threading
import time

# Virtual-key codes of the keys the game reacts to.
VK_RETURN, VK_ESCAPE, VK_SPACE = 13, 27, 32
VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN = 37, 38, 39, 40
VK_MENU, VK_F4, VK_F10 = 18, 115, 121

GAME_KEYS = {"ENTER": VK_RETURN, "SPACE": VK_SPACE, "ESCAPE": VK_ESCAPE, "UP": VK_UP,
             "DOWN": VK_DOWN, "LEFT": VK_LEFT, "RIGHT": VK_RIGHT, "Y": ord("Y"), "N": ord("N")}
OTHER_NAMED = {"BACKSPACE": 8, "TAB": 9, "SHIFT": 16, "CONTROL": 17, "ALT": VK_MENU, "PAUSE": 19,
               "CAPSLOCK": 20, "PAGEUP": 33, "PAGEDOWN": 34, "END": 35, "HOME": 36,
               "INSERT": 45, "DELETE": 46, "NUMPAD0": 96, "MULTIPLY": 106, "ADD": 107,
               "SUBTRACT": 109, "DECIMAL": 110, "DIVIDE": 111, "NUMLOCK": 144,
               "SCROLLLOCK": 145, "OEM_1": 186, "OEM_PLUS": 187, "OEM_COMMA": 188,
               "OEM_MINUS": 189, "OEM_PERIOD": 190, "OEM_2": 191, "OEM_3": 192, "OEM_4": 219,
               "OEM_5": 220, "OEM_6": 221, "OEM_7": 222}
OTHER_LETTERS = [c for c in "ABCDEFGHIJKLMOPQRSTUVWXZ"]  # all but N and Y
DIGITS = [c for c in "0123456789"]
F_KEYS = ["F%d" % n for n in range(1, 13)]

CURTAIN_FRAMES = 95  # keys do nothing after frames 1 to 95, while the curtain opens
COUNTDOWN = 250  # race frames before Escape asks the quit question
MENU_ITEMS = 5
NEW_GAME, OPTIONS, HIGH_SCORES, ABOUT, EXIT_GAME = 1, 2, 3, 4, 5

ENDINGS = ["shutdown", "close", "fame-box", "stop", "idle"]
# What the runs got to, as the model saw it.
VISITS = ["races", "countdowns over", "quit questions", "answered yes", "answered no",
          "halls of fame", "options or about", "deactivations"]


def key_code(name):
    """The virtual-key code of a script key name (without alt+)."""
    if name in GAME_KEYS:
        return GAME_KEYS[name]
    if name in OTHER_NAMED:
        return OTHER_NAMED[name]
    if name.startswith("code:"):
        return int(name[5:])
    if name.startswith("F") and len(name) > 1:
        return 111 + int(name[1:])
    return ord(name)


class Game:
    """What the game does with each event, as far as the ending and the screens go."""

    def __init__(self, high_scores_missing=False):
        self.high_scores_missing = high_scores_missing
        self.frame = 0
        self.active = True
        self.screen = "menu"  # menu, race, fame, exit (shutdown pending), or ended
        self.selection = 1
        self.race_start = 0
        self.quit_question = False
        self.ending = None  # shutdown or close once the game has ended
        self.visits = {name: 0 for name in VISITS}

    def ended(self):
        return self.ending is not None

    def countdown_over(self):
        return self.frame - self.race_start >= COUNTDOWN

    def advance(self, frames):
        """Time passes; only an active game plays frames (scripts stop the clock meanwhile)."""
        if frames <= 0 or self.ended():
            return
        if self.screen == "exit" and self.active:
            self.ending = "shutdown"
            return
        if self.active:
            if self.screen == "race" and not self.countdown_over() and \
                    self.frame + frames - self.race_start >= COUNTDOWN:
                self.visits["countdowns over"] += 1
            self.frame += frames

    def event(self, action, key=None):
        """Applies one delivered event."""
        if self.ended():
            return
        if action == "close":
            self.ending = "close"
            return
        if action in ("activate", "deactivate"):
            if self.active and action == "deactivate":
                self.visits["deactivations"] += 1
            self.active = action == "activate"
            return
        alt = key.startswith("alt+")
        vk = key_code(key[4:] if alt else key)
        if action == "up":
            return
        system = alt or vk in (VK_MENU, VK_F10)
        if system:
            if alt and vk == VK_F4:
                self.ending = "close"
            return
        self.key_down(vk)

    def key_down(self, vk):
        if 1 <= self.frame <= CURTAIN_FRAMES:
            return
        if self.screen == "menu":
            if vk in (VK_RETURN, VK_SPACE):
                self.choose()
            elif vk == VK_ESCAPE:
                self.screen = "exit"
            elif vk == VK_UP:
                self.selection = self.selection - 1 if self.selection > 1 else MENU_ITEMS
            elif vk == VK_DOWN:
                self.selection = self.selection + 1 if self.selection < MENU_ITEMS else 1
        elif self.screen == "race":
            if vk in (VK_RETURN, VK_SPACE, ord("Y")):
                if self.quit_question:
                    self.visits["answered yes"] += 1
                    self.screen = "menu"
                    self.quit_question = False
            elif vk == VK_ESCAPE:
                if self.countdown_over():
                    if not self.quit_question:
                        self.visits["quit questions"] += 1
                    self.quit_question = True
            elif vk in (VK_UP, VK_DOWN):
                pass
            elif self.quit_question:
                self.visits["answered no"] += 1
                self.quit_question = False
        elif vk == VK_ESCAPE:  # the hall of fame, and the moment before the shutdown
            self.screen = "menu"

    def choose(self):
        if self.selection == NEW_GAME:
            self.visits["races"] += 1
            self.screen = "race"
            self.race_start = self.frame
            self.quit_question = False
        elif self.selection == HIGH_SCORES and self.high_scores_missing:
            self.ending = "fame-box"  # the game's message box, and the end
        elif self.selection == HIGH_SCORES:
            self.visits["halls of fame"] += 1
            self.screen = "fame"
        elif self.selection in (OPTIONS, ABOUT):
            self.visits["options or about"] += 1
        elif self.selection == EXIT_GAME:
            self.screen = "exit"


class Script:
    """A script being written, played into the model as it is written."""

    def __init__(self, rng, budget, high_scores_missing):
        self.rng = rng
        self.budget = budget
        self.lines = []
        self.game = Game(high_scores_missing)
        self.frame = 0  # the script's frame, which is the game's while it is active

    def full(self):
        return len(self.lines) >= self.budget or self.game.ended()

    def wait(self, frames):
        if self.game.ended() or not self.game.active:
            return  # an inactive game takes the next event at once: keep the frame
        self.game.advance(frames)
        if not self.game.ended():
            self.frame += frames

    def emit(self, action, key=None):
        if self.full():
            return
        line = "%d %s" % (self.frame, action) if key is None else "%d %s %s" % (
            self.frame, action, key)
        self.lines.append(line)
        self.game.event(action, key)

    def press(self, key, gap=(1, 8)):
        self.emit("press", key)
        self.wait(self.rng.randint(*gap))

    def text(self):
        return "\n".join(self.lines) + "\n"

    def last_frame(self):
        return int(self.lines[-1].split()[0]) if self.lines else 0


def random_key(rng):
    """Any key a keyboard can send, with the game's own keys the most often."""
    r = rng.random()
    if r < 0.45:
        name = rng.choice(list(GAME_KEYS))
    elif r < 0.60:
        name = rng.choice(OTHER_LETTERS + DIGITS)
    elif r < 0.70:
        name = rng.choice(F_KEYS)
    elif r < 0.82:
        name = rng.choice(list(OTHER_NAMED))
    else:
        name = "code:%d" % rng.randint(1, 254)
    if rng.random() < 0.12:
        name = "alt+" + name
    return name


def noise(s):
    """One event of any kind, in any screen."""
    rng = s.rng
    r = rng.random()
    if r < 0.001:
        s.emit("close")
    elif r < 0.0015:
        s.emit("down", "alt+F4")
    elif r < 0.03:
        s.emit("deactivate")
        for _ in range(rng.randint(0, 4)):
            s.emit(rng.choice(["press", "down", "up", "repeat"]), random_key(rng))
        s.emit("activate")
    elif r < 0.035:
        s.emit("activate")  # already active: nothing happens
    else:
        action = rng.choice(["press", "press", "down", "up", "repeat"])
        key = random_key(rng)
        # Keys that would end the game in the menu come rarely, so runs get somewhere.
        vk = key_code(key[4:] if key.startswith("alt+") else key)
        if s.game.screen in ("menu", "exit") and vk == VK_ESCAPE and action != "up" and \
                rng.random() < 0.9:
            key = "code:%d" % rng.randint(65, 90)
        if s.game.screen == "menu" and vk in (VK_RETURN, VK_SPACE) and action != "up" and \
                s.game.selection == EXIT_GAME and rng.random() < 0.9:
            key = "N"
        s.emit(action, key)
    s.wait(rng.choice([0, 0, 1, 1, 2, 3, 5]))


def hold(s, key, frames, repeats=True):
    """Holds a key for some frames, with the keyboard's auto-repeat if asked."""
    s.emit("down", key)
    end = s.frame + frames
    while s.frame < end and not s.full():
        if repeats and s.rng.random() < 0.8:
            s.emit("repeat", key)
        if s.rng.random() < 0.1:
            noise(s)
        s.wait(s.rng.randint(1, 3))
    s.emit("up", key)


def in_menu(s):
    rng = s.rng
    game = s.game
    # Late in a run the player more often leaves the game, with Exit game or Escape.
    late = len(s.lines) > 0.7 * s.budget
    if late and rng.random() < 0.3:
        s.press("ESCAPE")
        return
    target = rng.choices([NEW_GAME, HIGH_SCORES, OPTIONS, ABOUT, EXIT_GAME],
                         weights=[50, 25, 8, 8, 40 if late else 2])[0]
    while game.screen == "menu" and game.selection != target and not s.full():
        down = (target - game.selection) % MENU_ITEMS <= MENU_ITEMS // 2
        if rng.random() < 0.5:
            down = not down if rng.random() < 0.2 else down
        key = "DOWN" if down else "UP"
        if rng.random() < 0.15:
            # Held down: the auto-repeat moves on by itself; stop when the item comes.
            s.emit("down", key)
            while game.selection != target and not s.full() and rng.random() < 0.9:
                s.emit("repeat", key)
                s.wait(rng.randint(0, 2))
            s.emit("up", key)
        else:
            s.press(key, (1, 6))
        if rng.random() < 0.15:
            noise(s)
    if game.screen != "menu" or s.full():
        return
    choice = rng.choices(["press ENTER", "press SPACE", "repeat ENTER", "down ENTER"],
                         weights=[60, 25, 5, 10])[0]
    action, key = choice.split()
    s.emit(action, key)
    if action == "down":
        s.wait(rng.randint(0, 3))
        s.emit("up", key)
    s.wait(rng.randint(1, 10))


def in_race(s):
    rng = s.rng
    game = s.game
    # Drive: through the countdown, and on for a while (now and then until the time is out).
    drive = rng.choices([COUNTDOWN + rng.randint(0, 150), rng.randint(0, 100),
                         COUNTDOWN + rng.randint(150, 1100)], weights=[70, 20, 10])[0]
    end = game.race_start + drive
    while game.screen == "race" and s.frame < end and not game.quit_question and not s.full():
        r = rng.random()
        if r < 0.35:
            hold(s, "UP", rng.randint(5, 80))
        elif r < 0.6:
            hold(s, rng.choice(["LEFT", "RIGHT"]), rng.randint(2, 40))
        elif r < 0.7:
            hold(s, rng.choice(["DOWN", "SPACE"]), rng.randint(2, 30), repeats=False)
        elif r < 0.8:
            s.wait(rng.randint(5, 60))
        else:
            noise(s)
    if game.screen != "race" or s.full():
        return
    if not game.quit_question:
        s.press("ESCAPE", (1, 30))
    if not game.quit_question or s.full():
        return
    # The quit question: now and then left open while keys and activation come and go.
    if rng.random() < 0.2:
        for _ in range(rng.randint(1, 6)):
            if rng.random() < 0.5:
                s.emit("repeat", "ESCAPE")
            else:
                s.emit(rng.choice(["down", "up"]), rng.choice(["UP", "DOWN", "alt+N", "F10"]))
            s.wait(rng.randint(0, 20))
    answer = rng.choices(["Y", "ENTER", "SPACE", "N", "LEFT", "code:%d" % rng.randint(1, 254),
                          "alt+Y"], weights=[30, 15, 10, 20, 10, 10, 5])[0]
    s.press(answer, (1, 30))


def in_fame(s):
    rng = s.rng
    for _ in range(rng.randint(0, 3)):
        if s.game.screen != "fame" or s.full():
            return
        if rng.random() < 0.5:
            s.wait(rng.randint(1, 40))
        else:
            noise(s)
    if s.game.screen == "fame":
        s.press("ESCAPE", (1, 20))


def make_script(rng, budget, high_scores_missing=False):
    """A random script of at most budget events; returns it with the model's ending."""
    s = Script(rng, budget, high_scores_missing)
    options = []
    if rng.random() < 0.2:
        options += ["--format", "555"]
    if rng.random() < 0.1:
        # The game waits for its activation, taking every event at once meanwhile.
        options.append("--no-activate")
        s.game.active = False
        for _ in range(rng.randint(0, 3)):
            s.emit(rng.choice(["press", "down", "up", "repeat"]), random_key(rng))
        s.emit("activate")
    if rng.random() < 0.2:
        # Keys of frame 0 come as the start-up pause ends and count; the curtain's do nothing.
        for _ in range(rng.randint(1, 4)):
            noise(s)
    if s.frame <= CURTAIN_FRAMES and not s.full():
        while s.frame <= CURTAIN_FRAMES and not s.full() and rng.random() < 0.5:
            noise(s)
        s.wait(CURTAIN_FRAMES + 1 - s.frame)
    while not s.full():
        screen = s.game.screen
        if rng.random() < 0.08:
            noise(s)
        elif screen == "menu":
            in_menu(s)
        elif screen == "race":
            in_race(s)
        elif screen == "fame":
            in_fame(s)
        elif not s.game.active:
            s.emit("activate")
        else:
            s.wait(1)
    ending = s.game.ending
    frames = s.last_frame() + rng.randint(1, 60)
    if ending is None:
        if not s.game.active or rng.random() < 0.25:
            # Without activation at the end the runner stops once the script is used up.
            if s.game.active:
                s.lines.append("%d deactivate" % s.frame)
            ending = "idle"
            frames = s.last_frame() + 600
        elif s.game.screen == "exit":
            ending = "shutdown"  # the next turn of the main loop shuts the game down
        else:
            ending = "stop"
    return s.text(), ending, frames, len(s.lines), s.game.visits, options


def parse_seeds(text):
    if "-" in text:
        a, b = text.split("-", 1)
        first, last = int(a), int(b)
    else:
        first = last = int(text)
    if last < first:
        raise ValueError("empty seed range")
    return list(range(first, last + 1))


def classify(log_lines, rc, stderr, fame_box_allowed):
    """How a run ended, or None with the reason when it ended a way it must not."""
    if stderr.strip():
        return None, "wrote to standard error"
    if rc != 0:
        return None, "exit status %d" % rc
    if not log_lines:
        return None, "empty log"
    last = log_lines[-1]
    if last == "stop idle":
        return "idle", None
    if last.startswith("stop "):
        return "stop", None
    if last != "exit 0":
        return None, "log ends '%s'" % last
    tail = []
    for line in reversed(log_lines[:-1]):
        if line.startswith("flip "):
            break
        tail.append(line)
    if any(line.startswith("messagebox ") and line.endswith("|Highscore-Liste nicht gefunden!")
           for line in tail):
        if fame_box_allowed:
            return "fame-box", None
        return None, "high-score box with Highscore.List present"
    if any(line.startswith("messagebox ") for line in log_lines):
        return None, "message box: " + next(line for line in log_lines
                                             if line.startswith("messagebox "))
    if "mci 0 close all" in tail:
        return "shutdown", None
    return "close", None


def delivered(script_text, log_lines, ending):
    """Events of the script the game took before it ended."""
    events = [line for line in script_text.splitlines() if line and not line.startswith("#")]
    if ending == "idle":
        return len(events)
    flips = 0
    for line in reversed(log_lines):
        if line.startswith("flip "):
            flips = int(line.split()[1])
            break
    return sum(1 for line in events if int(line.split()[0]) <= flips)


class Runner:
    def __init__(self, args):
        self.args = args
        self.lock = threading.Lock()
        self.events = 0
        self.scripted = 0
        self.runs = 0
        self.endings = {name: 0 for name in ENDINGS}
        self.failures = []
        self.unpredicted = []
        self.frames = 0
        self.visits = {name: 0 for name in VISITS}
        self.work = tempfile.mkdtemp(prefix="randomkeys-")
        self.keep = args.keep
        self.fame_box_allowed = not os.path.exists(os.path.join(args.dir, "Highscore.List"))

    def run_one(self, seed, number, budget):
        rng = random.Random("%d:%d" % (seed, number))
        script, predicted, frames, count, visits, options = make_script(
            rng, budget, self.fame_box_allowed)
        name = "seed%d-run%d" % (seed, number)
        script_path = os.path.join(self.work, name + ".txt")
        log_path = os.path.join(self.work, name + ".log")
        with open(script_path, "w") as f:
            f.write("# tools/randomkeys.py, seed %d, run %d, --run-events %d: %s\n" %
                    (seed, number, budget, " ".join(["--frames", str(frames)] + options)))
            f.write(script)
        command = [self.args.runner, "--dir", self.args.dir, "--script", script_path,
                   "--frames", str(frames), "--log", log_path] + options
        try:
            proc = subprocess.run(command, capture_output=True, timeout=self.args.timeout)
            rc, stderr = proc.returncode, proc.stderr.decode("utf-8", "replace")
            timed_out = False
        except subprocess.TimeoutExpired as e:
            rc, stderr, timed_out = None, (e.stderr or b"").decode("utf-8", "replace"), True
        log_lines = []
        if os.path.exists(log_path):
            with open(log_path, errors="replace") as f:
                log_lines = f.read().splitlines()
        if timed_out:
            ending, why = None, "no end within %g s" % self.args.timeout
        else:
            ending, why = classify(log_lines, rc, stderr, self.fame_box_allowed)
        taken = delivered(script, log_lines, ending)
        with self.lock:
            self.runs += 1
            self.events += taken
            self.scripted += count
            self.frames += sum(1 for line in log_lines if line.startswith("flip "))
            for key, value in visits.items():
                self.visits[key] += value
            if ending is None:
                kept = self.keep_failure(name, script_path, log_path, stderr)
                replay = " ".join(command[:4] + [kept] + command[5:7] + options)
                self.failures.append((name, why, replay, stderr))
            else:
                self.endings[ending] += 1
                if ending != predicted:
                    self.unpredicted.append((name, predicted, ending))
        for path in (script_path, log_path):
            if os.path.exists(path):
                os.remove(path)
        return taken, ending is not None

    def keep_failure(self, name, script_path, log_path, stderr):
        if self.keep is None:
            self.keep = tempfile.mkdtemp(prefix="randomkeys-failures-")
        os.makedirs(self.keep, exist_ok=True)
        kept = os.path.join(self.keep, name + ".txt")
        shutil.copy(script_path, kept)
        if os.path.exists(log_path):
            shutil.copy(log_path, os.path.join(self.keep, name + ".log"))
        with open(os.path.join(self.keep, name + ".stderr"), "w") as f:
            f.write(stderr)
        return kept

    def run_seed(self, seed, share):
        """Runs of one seed until its share of events is delivered, or one of them fails."""
        taken = 0
        number = 0
        while taken < share:
            budget = min(self.args.run_events, share - taken)
            events, passed = self.run_one(seed, number, budget)
            if not passed:
                return
            taken += max(1, events)
            number += 1


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runner", required=True, help="asphaltix-headless to run")
    parser.add_argument("--dir", required=True, help="the game folder with the data files")
    parser.add_argument("--events", type=int, default=10000,
                        help="events to deliver in all (default 10000)")
    parser.add_argument("--seeds", default="1-20", help="seeds A-B, or one seed (default 1-20)")
    parser.add_argument("--run-events", type=int, default=500,
                        help="most events in one run's script (default 500)")
    parser.add_argument("--jobs", type=int, default=1, help="runs at a time (default 1)")
    parser.add_argument("--timeout", type=float, default=120.0,
                        help="seconds a run may take before it counts as hung (default 120)")
    parser.add_argument("--keep", help="folder for the scripts, logs and errors of failed runs")
    parser.add_argument("--script-only", metavar="SEED:RUN",
                        help="print the script of one run (with --run-events) and stop")
    args = parser.parse_args()

    if args.script_only:
        seed, number = (int(x) for x in args.script_only.split(":"))
        script, predicted, frames, _, _, options = make_script(
            random.Random("%d:%d" % (seed, number)), args.run_events)
        sys.stdout.write("# %s, expected end: %s\n%s" % (
            " ".join(["--frames", str(frames)] + options), predicted, script))
        return 0
    try:
        seeds = parse_seeds(args.seeds)
    except ValueError:
        parser.error("bad --seeds '%s' (A-B or N)" % args.seeds)
    if args.events <= 0 or args.run_events <= 0 or args.jobs <= 0:
        parser.error("--events, --run-events and --jobs must be positive")
    if not os.access(args.runner, os.X_OK):
        parser.error("cannot run '%s'" % args.runner)
    args.runner = os.path.abspath(args.runner)
    args.dir = os.path.abspath(args.dir)

    runner = Runner(args)
    shares = [args.events // len(seeds) + (1 if i < args.events % len(seeds) else 0)
              for i in range(len(seeds))]
    started = time.monotonic()
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        for future in [pool.submit(runner.run_seed, seed, share)
                       for seed, share in zip(seeds, shares) if share > 0]:
            future.result()
    elapsed = time.monotonic() - started
    shutil.rmtree(runner.work, ignore_errors=True)

    print("randomkeys: seeds %s, %d events run (%d scripted), %d runs, %d frames, %.1f s" %
          (args.seeds, runner.events, runner.scripted, runner.runs, runner.frames, elapsed))
    print("ended: " + ", ".join("%s %d" % (name, runner.endings[name]) for name in ENDINGS))
    print("reached: " + ", ".join("%s %d" % (name, runner.visits[name]) for name in VISITS))
    if runner.unpredicted:
        print("%d runs ended an allowed way the model did not expect:" % len(runner.unpredicted))
        for name, predicted, ending in sorted(runner.unpredicted)[:20]:
            print("  %s: expected %s, ended %s" % (name, predicted, ending))
    print("failures: %d" % len(runner.failures))
    for name, why, replay, stderr in sorted(runner.failures):
        print("  %s: %s" % (name, why))
        print("    " + replay)
        for line in stderr.splitlines()[:12]:
            print("    | " + line)
    return 1 if runner.failures else 0


if __name__ == "__main__":
    sys.exit(main())
