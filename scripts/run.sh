#!/usr/bin/env bash
# Builds Quorvel and plays the built-in sample package.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja
cmake --build build
# build/quorvel is the player carrying the sample package (logo.swf).
exec build/quorvel
