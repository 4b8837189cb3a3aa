#!/usr/bin/env bash
# Builds Quorvel and plays the built-in sample package.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja
cmake --build build
if [ ! -x build/quorvel ]; then
    echo "The player is not built yet: only the package reader and quorvel-pack exist so far." >&2
    echo "Try: build/tools/quorvel-pack list <package.zip>" >&2
    exit 1
fi
exec build/quorvel
