#!/usr/bin/env bash
# Builds Quorvel and runs the whole test suite.
#   scripts/test.sh              plain build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
# QUORVEL_WERROR=ON (as CI sets it) turns compiler warnings into errors.
options=(-DQUORVEL_WERROR="${QUORVEL_WERROR:-OFF}")
if [ "${1:-}" = "--sanitize" ]; then
    build=build-asan
    options+=(-DQUORVEL_SANITIZE=ON -DQUORVEL_BENCH=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    # GTK's font machinery keeps caches it never frees; see tests/lsan.supp.
    export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp
fi

scripts/setup.sh
cmake -S . -B "$build" -G Ninja "${options[@]}"
cmake --build "$build"
# Every test runs once: a failure fails the suite. A test that skips (a
# tool or a privilege it needs is missing) shows as skipped in the summary.
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
