#!/usr/bin/env bash
# Holds our platform layer to a real one: runs the conformance program on our layer and, built
# with mingw-w64 against the system's libraries, under Wine; then plays the Windows build of
# the game under Wine in a virtual X display, keys sent with xdotool, and compares what it
# shows with the headless runner's pictures of the same screens.
#
#   tools/wine-check.sh [OUT_DIR]      (default: build-win/wine-check)
#
# Installs the Debian packages it needs, builds what is missing in build/ (native) and
# build-win/ (mingw-w64), makes a throw-away Wine prefix and cleans up after itself. The
# pictures (the game's screens, the headless runner's, the race) and the programs' output are
# kept in OUT_DIR. Exits 0 when every check passed: the conformance tests on both sides (they
# hold Wine's known differences), the main menu and the hall of fame identical in 5-6-5 to the
# runner's, the race panel identical outside its number column, the game reaching the race and
# ending with status 0 through the menu.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=${1:-$root/build-win/wine-check}
mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -f "$out"/*.png "$out"/*.txt
jobs=$(nproc 2>/dev/null || echo 2)
start=$(date +%s)
# Seconds since the start, for the progress lines.
at() { echo "[$(($(date +%s) - start)) s]"; }

packages=(build-essential cmake ninja-build pkg-config libsdl2-dev libpng-dev libgtest-dev
          python3 g++-mingw-w64-x86-64 wine wine64 xvfb xauth x11-apps xdotool imagemagick
          libgl1 libgl1-mesa-dri libglx-mesa0)
source tools/packages.sh
install_packages "${packages[@]}"

echo "== building what is missing $(at)"
has_target() { ninja -C "$1" -t targets all 2>/dev/null | grep -q "^$2:"; }
if [ ! -f build/build.ninja ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DASPHALTIX_BENCH=OFF >/dev/null
fi
has_target build conformance_tests || cmake -S . -B build -DBUILD_TESTING=ON >/dev/null
ninja -C build -j"$jobs" asphaltix-headless game_data conformance_tests >/dev/null
if [ ! -f build-win/build.ninja ]; then
    cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
has_target build-win conformance_tests || cmake -S . -B build-win -DBUILD_TESTING=ON >/dev/null
ninja -C build-win -j"$jobs" asphaltix conformance_tests >/dev/null
built=$(date +%s)

work=$(mktemp -d /tmp/wine-check.XXXXXX)
xvfb=""
game=""
export HOME=$work/home WINEPREFIX=$work/home/prefix WINEARCH=win64 WINEDEBUG=-all
cleanup() {
    [ -n "$game" ] && kill "$game" 2>/dev/null || true
    [ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
failures=()
fail() {
    echo "wine-check: FAILED: $*"
    failures+=("$*")
}

echo "== the conformance program on our layer $(at)"
mkdir -p "$work/native"
if (cd "$work/native" && "$root/build/bin/conformance_tests" --gtest_color=no) >"$out/conformance-native.txt" 2>&1; then
    echo "$(grep -c '^\[       OK' "$out/conformance-native.txt") tests passed"
else
    grep -E '^\[  FAILED|Failure|Expected|Which is|Actual' "$out/conformance-native.txt" | head -40 || true
    fail "the conformance tests on our layer (see $out/conformance-native.txt)"
fi

echo "== a virtual display and a Wine prefix $(at)"
mkdir -p "$HOME"
# A silent sound device: without one DirectSoundCreate fails.
echo 'pcm.!default { type null }' >"$HOME/.asoundrc"
display=""
for n in $(seq 110 199); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=:$n; break; fi
done
[ -n "$display" ] || { echo "wine-check: no free display number"; exit 1; }
Xvfb "$display" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
wineserver -w
# A 640 x 480 desktop of Wine's own (SetDisplayMode fails in Xvfb without one), and a crash
# that ends the program with a status instead of waiting in a dialog.
cat >"$work/settings.reg" <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="640x480"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000
EOF
wine regedit /S "$work/settings.reg" >/dev/null 2>&1
prefix_made=$(date +%s)
echo "made in $((prefix_made - built)) s"

echo "== the conformance program under Wine $(at)"
mkdir -p "$work/wine"
if (cd "$work/wine" && timeout 300 wine "$root/build-win/conformance_tests.exe" --gtest_color=no) \
        >"$out/conformance-wine.txt" 2>&1; then
    echo "$(grep -c '^\[       OK' "$out/conformance-wine.txt") tests passed"
else
    grep -E '^\[  FAILED|Failure|Expected|Which is|Actual' "$out/conformance-wine.txt" | head -40 || true
    fail "the conformance tests under Wine (see $out/conformance-wine.txt)"
fi

echo "== the game under Wine $(at)"
headless() { "$root/build/game/asphaltix-headless" --dir "$root/build/game" "$@" >/dev/null; }
printf '100 press DOWN\n101 press DOWN\n102 press ENTER\n' >"$work/fame.txt"
printf '100 press ENTER\n' >"$work/race.txt"
headless --frames 130 --shot "120:$out/menu-headless.png"
headless --frames 200 --shot "190:$out/fame-headless.png" --script "$work/fame.txt"
headless --frames 400 --shot "390:$out/race-headless.png" --script "$work/race.txt"

# The game as a player gets it: the Windows zip unpacked (build-win configured with
# ASPHALTIX_DATA_DIR makes it); without a zip, the program beside the native build's data.
zip=$(ls "$root"/build-win/asphaltix-*-windows.zip 2>/dev/null | head -n 1 || true)
if [ -n "$zip" ]; then
    ninja -C build-win -j"$jobs" windows_zip >/dev/null
    mkdir -p "$work/zip"
    (cd "$work/zip" && cmake -E tar xf "$zip")
    gamedir=$(dirname "$(ls "$work"/zip/*/asphaltix.exe)")
    echo "== the game from the unpacked $(basename "$zip") $(at)"
else
    gamedir=$work/game
    mkdir -p "$gamedir"
    cp "$root/build-win/asphaltix.exe" "$root"/build/game/*.gfx "$root"/build/game/*.snd \
        "$root/build/game/Highscore.List" "$gamedir/"
fi
(cd "$gamedir" && exec wine asphaltix.exe) >"$out/game.txt" 2>&1 &
game=$!

# A picture of the screen as the X server's dump (quick to take), and as PNG to keep.
dump() { xwd -root -silent >"$work/$1.xwd"; }
shot() {
    dump "$1"
    convert "xwd:$work/$1.xwd" "$out/$1.png"
}
key() {
    for k in "$@"; do
        xdotool key "$k"
        sleep 0.3
    done
}
running() { kill -0 "$game" 2>/dev/null; }
# same NAME REFERENCE SECONDS [compare565 options]: takes pictures of the screen until one is
# the reference picture in 5-6-5 or the time is up; prints how many pixels differed last.
# With still=yes the screen must also stand still for half a second: the curtain draws onto the
# visible surface after each flip, and Wine may show the flipped menu for a moment before it.
still=""
same() {
    local name=$1 reference=$2 seconds=$3 differ=""
    shift 3
    local until=$(($(date +%s) + seconds))
    while running; do
        dump "$name"
        differ=$(tools/compare565.py "$work/$name.xwd" "$reference" "$@" || true)
        if [ "$differ" = 0 ] && [ -n "$still" ]; then
            sleep 0.5
            dump "$name-later"
            cmp -s "$work/$name.xwd" "$work/$name-later.xwd" || differ="moving"
        fi
        [ "$differ" = 0 ] && break
        [ "$(date +%s)" -ge "$until" ] && break
        sleep 0.2
    done
    [ -f "$work/$name.xwd" ] && convert "xwd:$work/$name.xwd" "$out/$name.png"
    echo "$name: ${differ:-no picture} pixels differ from $(basename "$reference") $(at)"
    [ "$differ" = 0 ]
}
# The panel beside the road, outside the column of numbers the race counts.
panel=(--region 480,0,640,480 --exclude 596,200,640,238)

still=yes same menu "$out/menu-headless.png" 60 || fail "the main menu after the curtain"
# Keys go to the window with the X input focus: give it to Wine's desktop window.
desktop=$(xdotool search --onlyvisible --name 'Wine desktop' 2>/dev/null | head -n 1 || true)
[ -n "$desktop" ] && xdotool windowfocus --sync "$desktop" 2>/dev/null || true
key Down Down Return
if ! still=yes same fame "$out/fame-headless.png" 20; then
    # On a loaded machine the keys may come before Wine takes them: while the screen is still
    # the untouched menu, none of them arrived, and sending them again is safe.
    if [ "$(tools/compare565.py "$work/fame.xwd" "$out/menu-headless.png" || true)" = 0 ]; then
        echo "the keys did not reach the game: again $(at)"
        key Down Down Return
        still=yes same fame "$out/fame-headless.png" 30 || fail "the hall of fame"
    else
        fail "the hall of fame"
    fi
fi
key Escape
sleep 1
key Up Up Return
same race-panel "$out/race-headless.png" 30 "${panel[@]}" || fail "the race's panel"
sleep 2
shot race
echo "race: $out/race.png"
# Escape asks the quit question once the start countdown is over, and the question holds the
# race still: ask until two pictures of the screen half a second apart are the same.
asked=""
until=$(($(date +%s) + 90))
while running && [ "$(date +%s)" -lt "$until" ]; do
    key Escape
    dump question
    sleep 0.5
    dump question-again
    if cmp -s "$work/question.xwd" "$work/question-again.xwd"; then
        asked=yes
        break
    fi
done
if [ -n "$asked" ]; then
    convert "xwd:$work/question.xwd" "$out/question.png"
    echo "the quit question: $out/question.png $(at)"
    same question-panel "$out/race-headless.png" 0 "${panel[@]}" ||
        fail "the race's panel with the quit question"
else
    fail "the race's quit question"
fi
key y
still=yes same menu-again "$out/menu-headless.png" 30 || fail "the main menu after the race"
# Up from the first item is the last, the way out.
key Up Return
for _ in $(seq 300); do running || break; sleep 0.1; done
status=0
if running; then
    fail "the game did not end"
else
    wait "$game" || status=$?
    game=""
    echo "the game ended with status $status $(at)"
    [ "$status" -eq 0 ] || fail "the game's exit status $status"
fi
wineserver -k 2>/dev/null || true

end=$(date +%s)
echo "wine-check: $((end - start)) s in all (building $((built - start)) s, the prefix $((prefix_made - built)) s)"
if [ ${#failures[@]} -gt 0 ]; then
    echo "wine-check: ${#failures[@]} checks failed; pictures and output in $out"
    exit 1
fi
echo "wine-check: all passed; pictures and output in $out"
