#!/usr/bin/env bash
# Installs what building, running and testing Quorvel needs on Debian 12.
# Safe to run again: packages already present are skipped.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
    zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev
    zip unzip p7zip-full libarchive-tools python3
    libgtk-3-dev libwebkit2gtk-4.1-dev xvfb xauth xdotool x11-utils imagemagick
    liblzma-dev libfontconfig-dev
    # The engine's sound goes through GStreamer; the tests record it from a
    # private PulseAudio null sink.
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-pulseaudio pulseaudio pulseaudio-utils
    # One small font with Chinese, Japanese and Korean glyphs, for the device-text tests.
    fonts-wqy-microhei
    # The session bus the control starts for the engine where the user has none.
    dbus-daemon
    # Windows executables for the packager's tests: windres and the linkers
    # of MinGW-w64, 32-bit and 64-bit.
    binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    # The Debian package: its dependencies from dpkg-shlibdeps, checked by lintian.
    dpkg-dev lintian
    # A Wayland compositor without Xwayland for the Wayland tests (run headless
    # as an ordinary user), its screenshots and its typed keys.
    sway grim wtype
    # desktop-file-validate, for the desktop entries quorvel-pack install writes;
    # update-desktop-database and gio (and the shared MIME data it reads), for
    # opening a movie through quorvel's own entry.
    desktop-file-utils libglib2.0-bin shared-mime-info
    # The icon an author gives quorvel-pack build is decoded whole with libpng.
    libpng-dev
)
# The movie engine comes from the npm registry; Node.js may already be there.
command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The movie engine our Flash control carries, at the version the lock file pins.
stamp=control/node_modules/.installed-from
want=$(sha256sum control/package-lock.json | cut -d' ' -f1)
if [ ! -f control/node_modules/@ruffle-rs/ruffle/ruffle.js ] || [ "$(cat "$stamp" 2>/dev/null)" != "$want" ]; then
    (cd control && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
    echo "$want" >"$stamp"
fi
