#!/usr/bin/env bash
# The README's pictures of the main menu and of a race, made by the headless runner so that
# they always show what the code draws.
#
#   tools/readme-shots.sh RUNNER GAME_DIR           writes docs/menu.png and docs/race.png
#   tools/readme-shots.sh --check RUNNER GAME_DIR   fails when the committed ones differ
set -euo pipefail
check=0
if [ "${1:-}" = "--check" ]; then
    check=1
    shift
fi
if [ $# -ne 2 ]; then
    sed -n '2,7p' "$0"
    exit 2
fi
runner=$(realpath "$1")
game=$(realpath "$2")
docs=$(cd "$(dirname "$0")/../docs" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$runner" --dir "$game" --frames 130 --shot "120:$work/menu.png" >/dev/null
"$runner" --dir "$game" --frames 1110 --shot "1100:$work/race.png" \
    --script "$docs/shots/race.txt" >/dev/null
for name in menu race; do
    if [ $check -eq 0 ]; then
        cp "$work/$name.png" "$docs/$name.png"
    elif ! cmp -s "$work/$name.png" "$docs/$name.png"; then
        echo "docs/$name.png is not what the game draws now: run tools/readme-shots.sh $*"
        exit 1
    fi
done
[ $check -eq 1 ] && echo "readme-shots: docs/menu.png and docs/race.png match the game"
exit 0
