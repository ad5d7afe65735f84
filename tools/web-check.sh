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

packages=(emscripten chromium python3 imagemagick)
# NodeSource's Node, where the machine has it, stands in for Debian's nodejs.
command -v node >/dev/null && command -v npm >/dev/null || packages+=(nodejs npm)
source tools/packages.sh
install_packages "${packages[@]}"
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
