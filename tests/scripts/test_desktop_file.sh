#!/usr/bin/env bash
# Desktop integration: the launcher entry passes desktop-file-validate, names
# a MIME type for every extension the application opens, and `cmake --install`
# puts the entry, the icons, the MIME package and the metainfo in place.
set -euo pipefail

src=${TRELVIO_SOURCE_DIR:?}
build=$(cd "${TRELVIO_BIN_DIR:?}/.." && pwd)
desktop="$src/src/Resources/desktop/io.trelvio.Trelvio3.desktop"
fail() { echo "FAIL: $*" >&2; exit 1; }

desktop-file-validate "$desktop" || fail "desktop-file-validate rejected $desktop"

# Every supported extension maps to a type listed in MimeType=: either the
# shared MIME database's own glob or the package we install.
mimetypes=";$(sed -n 's/^MimeType=//p' "$desktop")"
globs=/usr/share/mime/globs2
exts=$(sed -n '/GlobalFun::getSupportedFmts()/,/^}/p' "$src/src/submodules/SharedSource/Shared/GlobalFun.cpp" \
       | sed -n 's/.*QStringLiteral("\([a-z0-9]*\)").*/\1/p')
[ -n "$exts" ] || fail "no extensions read from GlobalFun::getSupportedFmts"
for ext in $exts; do
    types=$(grep -i ":\*\.$ext\$" "$globs" 2>/dev/null | cut -d: -f2 || true)
    types="$types $(grep -B3 "pattern=\"\*\.$ext\"" "$src/src/Resources/desktop/io.trelvio.Trelvio3-mime.xml" \
                    | sed -n 's/.*type="\([^"]*\)".*/\1/p' || true)"
    found=no
    for t in $types; do
        case "$mimetypes" in *";$t;"*) found=yes ;; esac
    done
    [ "$found" = yes ] || fail "no MIME type of .$ext ($types) in MimeType="
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

if grep -q 'io.trelvio.Trelvio3.desktop' "$build/cmake_install.cmake" 2>/dev/null; then
    cmake --install "$build" --component desktop --prefix "$prefix" >/dev/null
else
    # The project does not include the rules yet: install them from a
    # minimal project of their own.
    mkdir -p "$work/proj"
    cat > "$work/proj/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(DesktopInstallCheck LANGUAGES C)
include("$src/cmake/DesktopInstall.cmake")
CMAKE
    cmake -S "$work/proj" -B "$work/proj/build" >/dev/null
    cmake --install "$work/proj/build" --component desktop --prefix "$prefix" >/dev/null
fi

expect=(
    share/applications/io.trelvio.Trelvio3.desktop
    share/icons/hicolor/scalable/apps/io.trelvio.Trelvio3.svg
    share/mime/packages/io.trelvio.Trelvio3.xml
    share/metainfo/io.trelvio.Trelvio3.metainfo.xml
)
for size in 16 24 32 48 64 128 256 512; do
    expect+=("share/icons/hicolor/${size}x${size}/apps/io.trelvio.Trelvio3.png")
done
for f in "${expect[@]}"; do
    [ -s "$prefix/$f" ] || fail "$f was not installed"
done
# Each PNG really has the size of its folder.
for size in 16 48 512; do
    head -c 24 "$prefix/share/icons/hicolor/${size}x${size}/apps/io.trelvio.Trelvio3.png" | tail -c 8 | od -An -tu1 \
        | awk -v s="$size" '{ w=$1*16777216+$2*65536+$3*256+$4; h=$5*16777216+$6*65536+$7*256+$8; exit !(w==s && h==s) }' \
        || fail "the ${size}x${size} icon has another size"
done
desktop-file-validate "$prefix/share/applications/io.trelvio.Trelvio3.desktop"
echo "desktop integration ok"
