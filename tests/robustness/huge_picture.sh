#!/usr/bin/env bash
# A damaged background picture that is all header: huge_picture.gfx (1 KB) declares 16384 x
# 16384 pixels, the largest the loader takes. Loading it needs a 256 MB DIB and a 512 MB surface;
# with the address space held to 700 MB, as on a machine with little memory, the surface cannot
# be had. The game must then go on without the picture, as with a missing one: start, run its
# menu and end when the runner stops it, with exit status 0 and nothing on standard error.
#
#   tests/robustness/huge_picture.sh build/game/asphaltix-headless build/game
#
# Use a runner built without sanitizers (they need more address space than the limit leaves).
set -uo pipefail
if [ $# -ne 2 ]; then
    echo "usage: tests/robustness/huge_picture.sh RUNNER GAME_DIR" >&2
    exit 2
fi
runner=$(realpath "$1")
game=$(realpath "$2")
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for file in Strasse.gfx Autos.gfx Status.gfx Menu.snd Engine.snd Crash1.snd Bonus.snd \
    Highscore.List; do
    ln -s "$game/$file" "$work/$file"
done
cp "$here/huge_picture.gfx" "$work/Back.gfx"
(ulimit -v 700000 && exec "$runner" --dir "$work" --frames 200 --log "$work/run.log") \
    2>"$work/stderr"
status=$?
last=$(tail -n 1 "$work/run.log" 2>/dev/null)
if [ $status -ne 0 ] || [ -s "$work/stderr" ] || [ "$last" != "stop 200" ]; then
    echo "FAIL: exit status $status, log ends '${last}'"
    sed 's/^/  | /' "$work/stderr" | head -n 5
    exit 1
fi
echo "ok"
