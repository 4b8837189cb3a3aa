#!/usr/bin/env bash
# Builds Quorvel and plays the built-in sample package.
# On a desktop the player opens its window there. Without a display it plays
# under a virtual one (Xvfb) for a few seconds, saves a screenshot to
# build/screenshot.png and ends the player with Escape.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja
cmake --build build

# build/quorvel-sample is the player carrying the sample package (logo.swf);
# build/quorvel FILE plays any other movie, package or player.
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec build/quorvel-sample
fi

display=""
for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
        display=":$n"
        break
    fi
done
[ -n "$display" ] || { echo "run.sh: no free display number for Xvfb" >&2; exit 1; }

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done

echo "No display here: playing under Xvfb on $display."
DISPLAY=$display build/quorvel-sample &
player=$!
sleep "${QUORVEL_RUN_SECONDS:-8}"
DISPLAY=$display import -window root build/screenshot.png
echo "Screenshot of the playing sample: build/screenshot.png"
DISPLAY=$display xdotool search --sync --name '^Quorvel$' windowactivate --sync key Escape >/dev/null 2>&1 ||
    kill "$player" 2>/dev/null || true
wait "$player" || true
