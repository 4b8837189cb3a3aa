#!/usr/bin/env bash
# Builds the extraction benchmark, makes its packages when they are missing,
# and runs it. Arguments after the options go to quorvel-bench-extract
# (for instance --runs 5, --work DIR, --tools ours,floor,7z).
#   BUILD_DIR=build-bench bench/run.sh    another build folder (default build/)
#   BUILD_TYPE=Release bench/run.sh       (re)configure the folder with that build type
#   STAGES=1 bench/run.sh                 also split our time into its stages
# Exit status: 0 targets met, 3 a target missed or a tool failed, else an error.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_DIR:-build}
data="$build/bench-data"
large="$data/package-200MB.zip"
small="$data/package-50MB.zip"

if [ -n "${BUILD_TYPE:-}" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="$BUILD_TYPE"
elif [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja
fi
cmake --build "$build" --target quorvel-bench-make-package quorvel-bench-extract quorvel-bench-stages

for tool in unzip 7z bsdtar; do
    if ! command -v "$tool" >/dev/null; then
        echo "note: $tool is missing (apt-get install -y unzip p7zip-full libarchive-tools); its row will fail" >&2
    fi
done

mkdir -p "$data"
# Eight entries of 25,000,000 bytes (about 200 MB), and the same eight at a
# quarter of the size for the memory comparison.
[ -f "$large" ] || "$build/bench/quorvel-bench-make-package" "$large"
[ -f "$small" ] || "$build/bench/quorvel-bench-make-package" "$small" --entry-bytes 6250000

echo
date -u +"%Y-%m-%d %H:%M UTC, $(nproc) CPUs, $(uname -r)"
status=0
"$build/bench/quorvel-bench-extract" "$large" --memory "$large" --memory "$small" "$@" || status=$?
if [ "${STAGES:-0}" != 0 ]; then
    echo
    "$build/bench/quorvel-bench-stages" "$large"
fi
exit "$status"
