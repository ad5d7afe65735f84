#!/usr/bin/env bash
# Runs the real game (SDL backend) in a virtual X display and takes screenshots while keys
# are pressed, to see what the player sees on a machine without a screen.
#
#   tools/xvfb-shots.sh OUT_DIR [STEP...]
#
# Each STEP is "wait SECONDS", "key KEYNAME" (an xdotool key name: Return, Escape, Down, ...),
# "hold KEYNAME SECONDS" or "shot NAME" (writes OUT_DIR/NAME.png).
# Needs xvfb, xdotool and
# imagemagick (apt-get install xvfb xauth xdotool imagemagick). The steps should end the game
# (for example "key Escape" in the main menu); the script then prints its exit status.
# XVFB_SCREEN sets the virtual screen (default 1024x768x24).
set -euo pipefail
out=$1
shift
mkdir -p "$out"
game_dir=$(cd "$(dirname "$0")/../build/game" && pwd)
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 "${XVFB_SCREEN:-1024x768x24}" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1
export DISPLAY=$display
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
(cd "$game_dir" && ./asphaltix) &
game=$!
sleep 1
while [ $# -gt 0 ]; do
    case "$1" in
        wait) sleep "$2"; shift 2 ;;
        key) xdotool key "$2"; shift 2 ;;
        hold) xdotool keydown "$2"; sleep "$3"; xdotool keyup "$2"; shift 3 ;;
        shot) import -window root "$out/$2.png"; echo "$out/$2.png"; shift 2 ;;
        *) echo "unknown step $1" >&2; exit 2 ;;
    esac
done
status=0
wait "$game" || status=$?
echo "asphaltix exited with status $status"
