#!/bin/bash
# Installs the build into a temporary prefix and runs the installed programs:
# qmr3tool reads a recording, korvid plays it with the installed skin and
# help, the thumbnailer draws it, the desktop files validate and the MIME
# type recognises a recording by its content.
set -u
build="$1"
qmr3gen="$2"
fail=0
check() {  # check "what" command...
    local what="$1"; shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fail=1; fi
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/run"
export KORVID_INSTANCE_KEY="installed-$$" KORVID_TEMP_DIR="$work/temp" LC_ALL=en_US.UTF-8
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

check "install into $prefix" cmake --install "$build" --prefix "$prefix"
for f in bin/korvid bin/qmr3tool lib/korvid/liblumacast.so lib/korvid/libvantrex.so lib/korvid/gstreamer-1.0/libgsthexmoor.so \
    lib/korvid/gstreamer-1.0/libgstpexaro.so lib/korvid/templates.ini lib/korvid/Helps/en/help.ini \
    lib/korvid/Helps/jp/help.ini share/applications/korvid.desktop share/metainfo/korvid.metainfo.xml \
    share/mime/packages/korvid-qmr3.xml share/thumbnailers/korvid.thumbnailer \
    share/icons/hicolor/48x48/apps/korvid.png share/icons/hicolor/256x256/apps/korvid.png; do
    check "installed $f" test -e "$prefix/$f"
done
# Every page the installed help names is there.
for lang in en jp; do
    missing=$(cut -d'|' -f3 -s "$prefix/lib/korvid/Helps/$lang/help.ini" | sort -u |
        while read -r page; do [ -n "$page" ] && [ ! -f "$prefix/lib/korvid/Helps/$lang/$page" ] && echo "$page"; done)
    check "help pages of $lang" test -z "$missing"
done

mkdir -p "$work/rec"
rec="$work/rec/installed.qmr3"
check "qmr3gen" "$qmr3gen" --seconds 20 --fps 10 --gop 10 --start "2026-12-01 08:00:00" "$rec"
# Away from the build tree, so nothing can be found there by accident.
cd "$work"
out=$("$prefix/bin/qmr3tool" scan "$work/rec/")
check "installed qmr3tool scans" grep -q "installed.qmr3" <<<"$out"
check "installed qmr3tool verifies" "$prefix/bin/qmr3tool" verify "$rec"

shot="$work/playing.png"
err=$(QT_LOGGING_RULES="korvid.playback.debug=true" KORVID_SCREENSHOT="$shot" KORVID_SCREENSHOT_DELAY=3000 \
    "$prefix/bin/korvid" "$rec" 2>&1)
rc=$?
check "installed korvid ran" test "$rc" -eq 0
check "installed korvid played the recording" grep -q "playing \"$rec\"" <<<"$err"
check "installed korvid said nothing was wrong" bash -c '! grep -q -e "cannot" -e "No Template" <<<"$1"' _ "$err"
check "installed korvid drew its skinned window" bash -c 'file "$1" | grep -q "1100 x 720"' _ "$shot"

if command -v desktop-file-validate >/dev/null; then
    check "desktop-file-validate" desktop-file-validate "$prefix/share/applications/korvid.desktop"
else
    echo "skipped: desktop-file-validate is not installed"
fi
if command -v appstreamcli >/dev/null; then
    check "appstreamcli validate" appstreamcli validate --no-net "$prefix/share/metainfo/korvid.metainfo.xml"
else
    echo "skipped: appstreamcli is not installed"
fi

# The type by content: a recording under a name without the extension.
cp "$rec" "$work/recording-without-extension"
if command -v update-mime-database >/dev/null && command -v gio >/dev/null; then
    update-mime-database "$prefix/share/mime" 2>/dev/null
    type=$(XDG_DATA_DIRS="$prefix/share:/usr/share" XDG_DATA_HOME="$work/nodata" \
        gio info -a standard::content-type "$work/recording-without-extension" | sed -n 's/.*content-type: //p')
    check "a recording is application/x-qmr3 by content (got $type)" test "$type" = application/x-qmr3
    cp "$work/recording-without-extension" "$work/plain.bin"
    printf 'not a recording' | dd of="$work/plain.bin" bs=1 seek=178 conv=notrunc status=none
    type=$(XDG_DATA_DIRS="$prefix/share:/usr/share" XDG_DATA_HOME="$work/nodata" \
        gio info -a standard::content-type "$work/plain.bin" | sed -n 's/.*content-type: //p')
    check "other bytes are not application/x-qmr3 (got $type)" test "$type" != application/x-qmr3
else
    # Without the tools, the magic rule itself against the recording's bytes.
    magic=$(od -An -tx1 -j180 -N5 "$rec" | tr -d ' \n')
    check "the magic rule matches a recording" test "$magic" = ab3f71debb
fi

# The thumbnailer as its entry names it (%i %o --size %s).
exec_line=$(sed -n 's/^Exec=//p' "$prefix/share/thumbnailers/korvid.thumbnailer")
exec_line=${exec_line//%i/$rec}
exec_line=${exec_line//%o/$work/thumb.png}
exec_line=${exec_line//%s/128}
check "thumbnailer entry runs" env PATH="$prefix/bin:$PATH" $exec_line
check "thumbnail is a PNG 128 pixels wide" bash -c 'file "$1" | grep -q "PNG image data, 128 x"' _ "$work/thumb.png"
exit $fail
