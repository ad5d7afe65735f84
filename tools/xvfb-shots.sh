#!/usr/bin/env bash
# Runs the real game (SDL backend) in a virtual X display and takes screenshots while keys
# are pressed, to see what the player sees on a machine without a screen.
#
#   tools/xvfb-shots.sh OUT_DIR [STEP...]
#
# Each STEP is "wait SECONDS", "key KEYNAME" (an xdotool key name: Return, Escape, Down, ...),
# "hold KEYNAME SECONDS", "down KEYNAME", "up KEYNAME", "shot NAME" (writes OUT_DIR/NAME.png)
# or "measure SECONDS LABEL" (prints the processor time the game and the X server took over
# that many seconds, in percent of one core, and the game's resident memory).
# Needs xvfb, xdotool and
# imagemagick (apt-get install xvfb xauth xdotool imagemagick). The steps should end the game
# (for example "key Escape" in the main menu); the script then prints its exit status.
# XVFB_SCREEN sets the virtual screen (default 1024x768x24).
set -euo pipefail
out=$1
shift
mkdir -p "$out"
game_dir=$(cd "${GAME_DIR:-$(dirname "$0")/../build/game}" && pwd)
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 "${XVFB_SCREEN:-1024x768x24}" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1
export DISPLAY=$display
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
(cd "$game_dir" && exec ./asphaltix) &
game=$!
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
sleep 1
while [ $# -gt 0 ]; do
    case "$1" in
        wait) sleep "$2"; shift 2 ;;
        key) xdotool key "$2"; shift 2 ;;
        hold) xdotool keydown "$2"; sleep "$3"; xdotool keyup "$2"; shift 3 ;;
        down) xdotool keydown "$2"; shift 2 ;;
        up) xdotool keyup "$2"; shift 2 ;;
        shot) import -window root "$out/$2.png"; echo "$out/$2.png"; shift 2 ;;
        measure)
            g0=$(ticks "$game"); x0=$(ticks "$xvfb"); t0=$(date +%s.%N)
            sleep "$2"
            g1=$(ticks "$game"); x1=$(ticks "$xvfb"); t1=$(date +%s.%N)
            rss=$(awk '/VmRSS/ {print $2}' "/proc/$game/status")
            hz=$(getconf CLK_TCK)
            awk -v l="$3" -v g=$((g1 - g0)) -v x=$((x1 - x0)) -v t0="$t0" -v t1="$t1" -v hz="$hz" \
                -v rss="$rss" 'BEGIN { s = t1 - t0; printf "%s: game %.1f %%, X server %.1f %%, resident %.1f MB\n", l, 100 * g / hz / s, 100 * x / hz / s, rss / 1024 }'
            shift 3 ;;
        *) echo "unknown step $1" >&2; exit 2 ;;
    esac
done
status=0
wait "$game" || status=$?
echo "asphaltix exited with status $status"
