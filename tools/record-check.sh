#!/usr/bin/env bash
# Plays the real game (SDL backend) in a virtual X display with keys sent by xdotool, recording
# the player's input with ASPHALTIX_RECORD; then replays the recording with the headless runner
# and checks that it gives the same race: the screen at a moment where it stands still (the
# quit question, with the car stopped and the traffic held) must match the runner's picture of
# the same frame, pixel for pixel.
#
#   tools/record-check.sh [GAME_DIR]      (default: build/game)
#
# Needs xvfb, xauth, xdotool and imagemagick. Exits with 0 when the pictures match.
set -euo pipefail
game_dir=$(cd "${1:-$(dirname "$0")/../build/game}" && pwd)
work=$(mktemp -d)
display=:$((100 + RANDOM % 100))
Xvfb "$display" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() {
    kill "$xvfb" 2>/dev/null || true
    [ -n "${game:-}" ] && kill "$game" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

# On a 640 x 480 screen the picture is shown at its own size: the screen is the picture.
(cd "$game_dir" && ASPHALTIX_RECORD="$work/played.txt" SDL_AUDIODRIVER=dummy exec ./asphaltix) &
game=$!
step() { sleep "$1"; shift; xdotool "$@"; }
step 6 key Return              # a new race, after the curtain
step 1 keydown Up              # full throttle through the countdown and beyond
step 6 keydown Left
step 0.5 keyup Left
step 1.5 keydown Right
step 0.4 keyup Right
step 2 keyup Up
xdotool keydown space          # brake to a stand
step 4 keyup space
step 0.5 key Escape            # the quit question holds the race still
sleep 1
import -window root "$work/screen.png"
step 0.5 key y                 # leave the race, then the game
step 1.5 key Escape
status=0
wait "$game" || status=$?
game=
[ "$status" -eq 0 ] || { echo "record-check: the game ended with status $status"; exit 1; }

# The frame to compare: halfway between the question and its answer.
answered=$(awk '$2 == "down" && $3 == "Y" {print $1; exit}' "$work/played.txt")
asked=$(awk -v y="$answered" '$2 == "down" && $3 == "ESCAPE" && $1 < y {f = $1} END {print f}' "$work/played.txt")
[ -n "$asked" ] && [ -n "$answered" ] || { echo "record-check: the recording lacks the question"; cat "$work/played.txt"; exit 1; }
frame=$(( (asked + answered) / 2 ))
(cd "$game_dir" && ./asphaltix-headless --script "$work/played.txt" --shot "$frame:$work/replayed.png" \
    --log "$work/replayed.log" >/dev/null)
differ=$(compare -metric AE "$work/screen.png" "$work/replayed.png" null: 2>&1 || true)
crashes=$(grep -c '^sound 4 freq 22000$' "$work/replayed.log" || true)
echo "record-check: $(grep -vc '^#' "$work/played.txt") events recorded; frame $frame of the replay" \
     "differs from the screen in $differ pixels; $crashes crash sounds in the replayed race"
if [ "$differ" != "0" ]; then
    mkdir -p "${RECORD_CHECK_KEEP:-/tmp/record-check}"
    cp "$work"/* "${RECORD_CHECK_KEEP:-/tmp/record-check}/"
    echo "record-check: kept the files in ${RECORD_CHECK_KEEP:-/tmp/record-check}"
    exit 1
fi
