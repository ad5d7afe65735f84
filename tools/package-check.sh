#!/usr/bin/env bash
# Checks what a player gets: the install tree (its files, the desktop entry under
# desktop-file-validate, the AppStream metadata under appstreamcli), the installed program
# finding its data from another folder, the message when no data folder can be found, the
# Debian package under lintian, and the Windows zip's contents.
#
#   tools/package-check.sh BUILD_DIR [WINDOWS_BUILD_DIR]
#
# Needs desktop-file-utils, appstream, lintian and dpkg-dev.
set -euo pipefail
build=$(cd "$1" && pwd)
win=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package-check: $*"; exit 1; }
id=io.github.asphaltix.Asphaltix

cmake --install "$build" --prefix "$work/usr" >/dev/null
for f in games/asphaltix share/games/asphaltix/{Strasse.gfx,Autos.gfx,Back.gfx,Status.gfx,Menu.snd} \
         share/games/asphaltix/{Engine.snd,Crash1.snd,Bonus.snd,Highscore.List} \
         share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
         share/icons/hicolor/{16x16,24x24,32x32,48x48,64x64,128x128,256x256}/apps/asphaltix.png \
         share/man/man6/asphaltix.6.gz share/doc/asphaltix/copyright; do
    [ -f "$work/usr/$f" ] || fail "the install tree lacks $f"
done
desktop-file-validate "$work/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$work/usr/share/metainfo/$id.metainfo.xml" >/dev/null
echo "package-check: the install tree holds its $(find "$work/usr" -type f | wc -l) files;" \
     "the desktop entry and the AppStream metadata are valid"

# Started from a folder without data, the installed program finds its own; alone, it says
# where it looked. (No display is needed: it fails at its window once it has its data.)
cd "$work"
SDL_VIDEODRIVER=none SDL_AUDIODRIVER=dummy "$work/usr/games/asphaltix" > "$work/found.txt" 2>&1 || true
grep -q "were not found" "$work/found.txt" && fail "the installed program did not find its data"
grep -q "Fehler beim Initialisieren des Fensters" "$work/found.txt" ||
    fail "the installed program did not start: $(cat "$work/found.txt")"
mkdir "$work/alone" && cp "$work/usr/games/asphaltix" "$work/alone/"
status=0
DISPLAY= "$work/alone/asphaltix" > "$work/alone.txt" 2>&1 || status=$?
[ "$status" -eq 1 ] || fail "without data the program ended with status $status"
grep -q "Looked in:" "$work/alone.txt" && grep -q "$work/alone" "$work/alone.txt" ||
    fail "without data the program did not say where it looked: $(cat "$work/alone.txt")"
echo "package-check: without data: $(grep -c . "$work/alone.txt") lines, naming $(grep -c "^/" "$work/alone.txt") folders"
cd - >/dev/null

(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/asphaltix_*.deb)
lintian --fail-on error,warning "$deb" 2>&1 | grep -v "root privileges" || true
lintian --fail-on error,warning "$deb" >/dev/null 2>&1 || fail "lintian reports errors or warnings"
echo "package-check: $(basename "$deb"): lintian finds no error or warning;" \
     "$(dpkg-deb -f "$deb" Depends)"

if [ -n "$win" ]; then
    zip=$(ls "$win"/asphaltix-*-windows.zip)
    listing=$(cmake -E tar tf "$zip")
    for f in asphaltix.exe Strasse.gfx Autos.gfx Back.gfx Status.gfx Menu.snd Engine.snd Crash1.snd \
             Bonus.snd Highscore.List LICENSE.txt How-to-play.txt; do
        echo "$listing" | grep -q "/$f\$" || fail "the zip lacks $f"
    done
    echo "package-check: $(basename "$zip") holds $(echo "$listing" | grep -vc '/$') files"
fi
