#!/usr/bin/env bash
# The game in a browser: installs what it needs (emscripten, chromium, puppeteer-core from the
# lock file), builds the native game folder and the web page, then plays the page in headless
# chromium served from 127.0.0.1 (tests/web/browser-test.mjs). The pictures are kept in
# build-web/cmake/browser-test/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
start=$(date +%s)
at() { echo "($(($(date +%s) - start)) s)"; }

packages=(emscripten chromium nodejs python3 imagemagick)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# NodeSource's Node stands in for Debian's nodejs.
if command -v node >/dev/null && command -v npm >/dev/null; then
    missing=("${missing[@]/nodejs/}")
fi
missing=($(printf '%s\n' "${missing[@]}" | grep -v '^$' || true))
if [ ${#missing[@]} -gt 0 ]; then
    echo "== installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if [ ! -d tests/web/node_modules/puppeteer-core ]; then
    echo "== puppeteer-core from tests/web/package-lock.json $(at)"
    # puppeteer-core never downloads a browser; the system's chromium is used.
    (cd tests/web && npm ci --no-audit --no-fund --prefer-offline >/dev/null)
fi

echo "== the web page $(at)"
ASPHALTIX_WERROR=ON ./build.sh web
echo "== the page in chromium $(at)"
node tests/web/browser-test.mjs "$root/build-web"
echo "== web check done $(at)"
