#!/bin/bash
# Builds the .deb into a temporary folder and checks what it holds and what
# it depends on.
set -u
build="$1"
command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null || { echo "skipped: no dpkg-dev"; exit 0; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
check() {
    local what="$1"; shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fail=1; fi
}
(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/korvid_*.deb)
check "one package" test -f "$deb"
info=$(dpkg-deb -I "$deb")
depends=$(sed -n 's/^ Depends: //p' <<<"$info")
for d in libqt6widgets6 libqt6network6 libgstreamer1.0-0 libavcodec59 libc6 gstreamer1.0-libav \
    gstreamer1.0-plugins-good fonts-ipafont-gothic; do
    check "depends on $d" grep -q "$d" <<<"$depends"
done
check "no dependency on a build package" bash -c '! grep -q -e "-dev" -e lumacast -e vantrex <<<"$1"' _ "$depends"
files=$(dpkg-deb -c "$deb")
for f in ./usr/bin/korvid ./usr/bin/qmr3tool ./usr/lib/korvid/korvid ./usr/lib/korvid/liblumacast.so ./usr/lib/korvid/libvantrex.so \
    ./usr/lib/korvid/gstreamer-1.0/libgsthexmoor.so ./usr/lib/korvid/Helps/jp/help.ini \
    ./usr/share/applications/korvid.desktop ./usr/share/mime/packages/korvid-qmr3.xml \
    ./usr/share/thumbnailers/korvid.thumbnailer ./usr/share/icons/hicolor/256x256/apps/korvid.png; do
    check "holds $f" grep -q -F " $f" <<<"$files"
done
check "bin/korvid links into the program folder" grep -q -F "./usr/bin/korvid -> ../lib/korvid/korvid" <<<"$files"
exit $fail
