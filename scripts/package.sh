#!/usr/bin/env bash
# Makes the Debian package: build-deb/quorvel_VERSION_amd64.deb.
# A build of its own (RelWithDebInfo, stripped by cpack), without the tests
# and benchmarks; extra arguments go to the configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_TESTS=OFF -DQUORVEL_BENCH=OFF "$@"
cmake --build build-deb
(cd build-deb && cpack -G DEB)
ls build-deb/quorvel_*_amd64.deb
