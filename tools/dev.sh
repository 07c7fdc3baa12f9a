#!/usr/bin/env bash
# Installs what is missing, builds, and runs BRINDLEWORK or its tests.
#   tools/dev.sh run [PAGE]   build and start the program (on the sample site by default)
#   tools/dev.sh test         build and run every test
#   tools/dev.sh build        build only
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${BW_BUILD_DIR:-$here/build}"

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libgtest-dev libgmock-dev
          libbenchmark-dev libcurl4-openssl-dev fonts-dejavu-core xvfb xauth libxcb1-dev
          libqt6svg6 qt6-image-formats-plugins libgumbo-dev libssl-dev qtkeychain-qt6-dev
          libtesseract-dev tesseract-ocr-eng)
# libqt6svg6 and qt6-image-formats-plugins let the view show SVG and WebP pictures; libgumbo-dev
# is the tests' HTML parser, which the program itself never links. libtesseract-dev and
# tesseract-ocr-eng read the text in pictures (the program builds without them, and does not).
# Only the tests need the servers (FTP, FTP with TLS, SSH) and a keyring to talk to; running
# the program does not install them.
# The packaging test builds the Debian packages (dpkg-dev, file) and validates what they install.
# The accessibility walk reads the window through the AT-SPI bus (python3-pyatspi, at-spi2-core).
# The pictures of text are drawn in the fonts of fonts-dejavu-extra and fonts-liberation.
test_packages=(python3-pyftpdlib python3-openssl openssl vsftpd openssh-server openssh-client gnome-keyring dbus
               dpkg-dev file desktop-file-utils appstream groff-base python3-pyatspi at-spi2-core
               fonts-dejavu-extra fonts-liberation)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "Please install as root: apt-get install ${missing[*]}" >&2; exit 1; }
        sudo=(sudo)
    fi
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j "$(nproc)"
}

# The window and core tests once more with AddressSanitizer and UBSan, in a folder of their
# own: a handler that runs inside another or an answer for a window that has gone shows as
# a use after free there. Qt's own leaks at exit are not the program's. GCC's vptr check
# trips AddressSanitizer on calls through member function pointers, so it is left out.
sanitized_tests() {
    local asan="${BW_ASAN_BUILD_DIR:-$here/build-asan}"
    export ASAN_OPTIONS=detect_leaks=0 # the tests' listing at build time too
    cmake -S "$here" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBW_BUILD_BENCH=OFF \
        -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize=vptr -fno-omit-frame-pointer -fno-sanitize-recover=undefined" \
        -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
    cmake --build "$asan" -j "$(nproc)" --target gui_tests core_tests
    cd "$asan"
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" -L "^(gui|core)_tests$" -E include_layers
}

case "${1:-}" in
run)
    install_missing
    build
    page="${2:-$here/examples/site/index.html}"
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        echo "There is no graphical display here (DISPLAY is not set), so the window cannot be shown."
        echo "The program is built. To run it on a virtual display, use:"
        echo "    xvfb-run -a \"$build/brindlework\" \"$page\""
        exit 1
    fi
    exec "$build/brindlework" "$page"
    ;;
test)
    packages+=("${test_packages[@]}")
    install_missing
    build
    (cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)")
    sanitized_tests
    ;;
build)
    install_missing
    build
    ;;
*)
    echo "usage: tools/dev.sh run [PAGE] | test | build" >&2
    exit 2
    ;;
esac
