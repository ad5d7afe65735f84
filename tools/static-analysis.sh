#!/usr/bin/env bash
# Static analysis of the game (src/) and the platform layer (platform/): clang-tidy with the
# checks in .clang-tidy, then cppcheck. Fails on any finding.
#
#   tools/static-analysis.sh [BUILD_DIR]    (default: build; it must have been configured)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
if [ ! -f "$build/compile_commands.json" ]; then
    echo "no $build/compile_commands.json: configure $build first" >&2
    exit 2
fi
# The files this build compiles (the web backend is analysed only where Emscripten builds it).
mapfile -t sources < <(git ls-files -- 'src/*.cpp' 'platform/*.cpp' |
    while read -r f; do grep -q "\"file\": \"$PWD/$f\"" "$build/compile_commands.json" && echo "$f"; done)
echo "== clang-tidy: ${#sources[@]} files"
run-clang-tidy -quiet -p "$build" -j "$(nproc)" "${sources[@]/#/$PWD/}" >"$build/clang-tidy.log" 2>&1 ||
    status=$?
if [ "${status:-0}" -ne 0 ] || grep -q 'warning:\|error:' "$build/clang-tidy.log"; then
    grep -A3 'warning:\|error:' "$build/clang-tidy.log" | head -n 80
    echo "clang-tidy: findings (all of them in $build/clang-tidy.log)"
    exit 1
fi
echo "== cppcheck"
# The game and the platform, with the platform's headers standing in for the system's.
cppcheck --quiet --error-exitcode=1 --inline-suppr --std=c++20 --language=c++ \
    --enable=warning,performance,portability --suppress=missingIncludeSystem \
    -I platform/include src platform
echo "static analysis: clean"
