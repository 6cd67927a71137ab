# Sourced by scripts/test and scripts/demo: installs the Debian packages the
# build, the program and the tests need, only when some are missing.
KORVID_PACKAGES="cmake ninja-build g++ pkg-config libgtest-dev
  qt6-base-dev qt6-tools-dev qt6-l10n-tools
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base
  gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-libav gstreamer1.0-tools
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev ffmpeg mencoder libgif-dev
  fonts-liberation fonts-dejavu-core fonts-ipafont-gothic xvfb xauth
  desktop-file-utils appstream shared-mime-info libglib2.0-bin dpkg-dev fakeroot"

korvid_install_deps() {
    local missing=""
    for p in $KORVID_PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
    done
    [ -z "$missing" ] && return 0
    echo "Installing:$missing"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends $missing
}

korvid_build() {
    local root="$1"
    cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build "$root/build" -j "$(nproc)"
}
