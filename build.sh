#!/usr/bin/env bash
# Builds, plays and tests Asphaltix on Debian.
#
#   ./build.sh play    install what is missing, build, start the game
#   ./build.sh test    install what is missing, build everything, run every test
#   ./build.sh build   build the game and the headless runner only
#   ./build.sh package install what is missing, build the Debian package and the Windows zip
#   ./build.sh web     build the game as a web page into build-web/ (needs emscripten)
#   ./build.sh serve   serve build-web/ on http://127.0.0.1:8000/ to play it in a browser
#
# Build folders: build/ (Release with GCC: the game, the tests and the benchmarks; its folder
# build/game holds the programs and data; the .deb lands here), build-asan/ (clang with
# AddressSanitizer, UndefinedBehaviorSanitizer and the libFuzzer targets), build-win/ (the
# Windows program, its zip and the conformance program, mingw-w64; tools/wine-check.sh runs them
# under Wine), build-web/ (the web page, static files only; Emscripten's build in build-web/cmake;
# tools/web-check.sh plays it in chromium).
set -euo pipefail
cd "$(dirname "$0")"

# zenity is what SDL shows its message boxes with.
PLAY_PACKAGES=(build-essential cmake ninja-build pkg-config libsdl2-dev libpng-dev zenity)
# dpkg-dev computes the package's library dependencies; lintian, desktop-file-utils and
# appstream check what a player installs.
PACKAGE_PACKAGES=("${PLAY_PACKAGES[@]}" g++-mingw-w64-x86-64 dpkg-dev)
TEST_PACKAGES=("${PACKAGE_PACKAGES[@]}" libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
               clang-format clang-tidy cppcheck python3 wine wine64 xvfb xauth x11-apps xdotool
               imagemagick libgl1 libgl1-mesa-dri libglx-mesa0 lintian desktop-file-utils
               appstream)
JOBS=$(nproc 2>/dev/null || echo 2)
FUZZ_SECONDS=${FUZZ_SECONDS:-60}

source tools/packages.sh  # install_packages

configure() {  # configure DIR [cmake options...]
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
}

build_game() {
    configure build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DASPHALTIX_BENCH=OFF
    ninja -C build -j"$JOBS" asphaltix asphaltix-headless game_data
}

build_windows() {  # the Windows program and its zip, with the data files of build/game
    configure build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
        -DCMAKE_BUILD_TYPE=Release -DASPHALTIX_DATA_DIR="$PWD/build/game" "$@"
    ninja -C build-win -j"$JOBS"
    test -f build-win/asphaltix.exe
}

run_fuzzers() {  # the targets are built in build-asan
    for source in fuzz/fuzz_*.cpp; do
        local name corpus work
        name=$(basename "$source" .cpp)
        corpus=fuzz/corpus/${name#fuzz_}
        work=build-asan/corpus-${name#fuzz_}
        rm -rf "$work" && mkdir -p "$work"
        echo "== fuzzing $name for ${FUZZ_SECONDS}s"
        (cd build-asan && "./bin/$name" -max_total_time="$FUZZ_SECONDS" -rss_limit_mb=2048 \
            -timeout=10 -print_final_stats=1 "../$work" "../$corpus" 2>&1 | tail -n 12)
        # libFuzzer exits non-zero on a finding; pipefail carries it out.
    done
}

build_web() {  # the web page, with the data files and the headless runner of build/game
    [ -f build/build.ninja ] ||
        configure build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DASPHALTIX_BENCH=OFF
    ninja -C build -j"$JOBS" asphaltix-headless game_data
    # Debian's emscripten finds its JavaScript optimiser's modules there.
    export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
    emcmake cmake -S . -B build-web/cmake -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DASPHALTIX_DATA_DIR="$PWD/build/game" -DASPHALTIX_WEB_DIR="$PWD/build-web" "$@" >/dev/null
    ninja -C build-web/cmake -j"$JOBS"
    ls -l build-web/index.html build-web/asphaltix.js build-web/asphaltix.wasm build-web/asphaltix.data
}

check_format() {
    local off
    off=$(git ls-files -- '*.cpp' '*.h' | xargs clang-format --dry-run --Werror 2>&1 \
          | grep -o '^[^:]*:[0-9]*:[0-9]*: error' | cut -d: -f1 | sort -u || true)
    if [ -n "$off" ]; then
        echo "not in the house format (clang-format -i fixes them):"
        echo "$off"
        return 1
    fi
}

case "${1:-}" in
    play)
        install_packages "${PLAY_PACKAGES[@]}"
        build_game
        cd build/game && exec ./asphaltix
        ;;
    build)
        build_game
        ;;
    package)
        install_packages "${PACKAGE_PACKAGES[@]}"
        build_game
        (cd build && cpack -G DEB >/dev/null)
        build_windows
        ls -l build/asphaltix_*.deb build-win/asphaltix-*-windows.zip
        ;;
    web)
        install_packages "${PLAY_PACKAGES[@]}" emscripten
        # tools/web-check.sh sets ASPHALTIX_WERROR=ON; a player's build never fails on a warning.
        build_web -DASPHALTIX_WERROR="${ASPHALTIX_WERROR:-OFF}"
        ;;
    serve)
        [ -f build-web/index.html ] || { echo "no page yet: ./build.sh web"; exit 1; }
        echo "== Asphaltix at http://127.0.0.1:${PORT:-8000}/ (Ctrl+C ends)"
        exec python3 -m http.server "${PORT:-8000}" --bind 127.0.0.1 --directory build-web
        ;;
    test)
        install_packages "${TEST_PACKAGES[@]}"
        echo "== the house format"
        check_format
        echo "== build (Release, GCC, warnings as errors) and test"
        configure build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DASPHALTIX_BENCH=ON \
            -DASPHALTIX_WERROR=ON
        ninja -C build -j"$JOBS"
        (cd build && ctest --output-on-failure -j"$JOBS")
        echo "== benchmarks (a short run each, to prove they work)"
        for b in build/bin/bench_*; do
            [ -x "$b" ] && "$b" --benchmark_min_time=0.01 >/dev/null
        done
        echo "== static analysis: clang-tidy and cppcheck"
        tools/static-analysis.sh build
        echo "== clang, warnings as errors: AddressSanitizer, UndefinedBehaviorSanitizer, libFuzzer"
        configure build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
            -DCMAKE_CXX_COMPILER=clang++ -DASPHALTIX_FUZZ=ON -DASPHALTIX_BENCH=OFF \
            -DASPHALTIX_WERROR=ON
        ninja -C build-asan -j"$JOBS"
        (cd build-asan && ctest --output-on-failure -j"$JOBS")
        echo "== the data files: our tools make the same bytes built by GCC and by clang"
        for f in build/game/*.gfx build/game/*.snd build/game/Highscore.List; do
            cmp "$f" "build-asan/game/$(basename "$f")"
        done
        echo "== fuzzing"
        run_fuzzers
        echo "== the Windows program and its zip (mingw-w64)"
        build_windows -DASPHALTIX_WERROR=ON
        echo "== what a player installs: the install tree, the Debian package, the zip"
        tools/package-check.sh build build-win
        echo "== the real game on SDL in Xvfb: a recording replayed by the headless runner"
        tools/record-check.sh build/game
        echo "== the Windows program under Wine: the conformance tests on both sides, the zip's game in Xvfb"
        tools/wine-check.sh
        echo "== the web page in a browser: chromium plays it from 127.0.0.1"
        tools/web-check.sh
        echo "== all tests passed"
        ;;
    *)
        sed -n '2,16p' "$0"
        exit 2
        ;;
esac
