#!/usr/bin/env bash
# Checks a built package without installing it: every file under /usr where the
# desktop looks for it, the control fields, the desktop entry and the AppStream
# entry as their validators see them, each manual page against its program's
# --help (both ways, so a page cannot fall behind the program), and lintian.
#
# check.sh PACKAGE.deb VERSION
set -euo pipefail
deb=$1
version=$2

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

programs=(quor launcher quor-inspect quor-thumbnailer)
root=$scratch/root
dpkg-deb -x "$deb" "$root"

# Control fields: the version from the build, Depends computed from the binaries
# (Qt's widget library is in no hand-written list) plus what is loaded unlinked.
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == quor ]] || fail "Package: $(field Package)"
[[ $(field Version) == "$version" ]] || fail "Version: $(field Version), not $version"
[[ $(field Architecture) == amd64 ]] || fail "Architecture: $(field Architecture)"
for dep in 'libqt6widgets6 (>=' 'libc6 (>=' 'libpng16-16 (>=' qt6-qpa-plugins fonts-liberation; do
    [[ $(field Depends) == *"$dep"* ]] || fail "Depends lacks $dep: $(field Depends)"
done
[[ $(basename "$deb") == "quor_${version}_amd64.deb" ]] || fail "file name $(basename "$deb")"

# Nothing outside /usr.
while read -r path; do
    [[ $path == ./ || $path == ./usr/* ]] || fail "$path is outside /usr"
done < <(dpkg-deb -c "$deb" | awk '{print $6}')

png_size() {
    python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print("%dx%d" % struct.unpack(">II", d[16:24]) if d[:8]==b"\x89PNG\r\n\x1a\n" else "not-png")' "$1"
}

usr=$root/usr
for program in "${programs[@]}"; do
    [[ -f $usr/bin/$program && -x $usr/bin/$program ]] || fail "/usr/bin/$program is not an executable file"
done
for file in share/quor/Weltkart.bmp share/quor/station.3ds share/applications/quor.desktop \
    share/thumbnailers/quor.thumbnailer share/icons/hicolor/scalable/apps/quor.svg \
    share/metainfo/org.quor.QUOR.metainfo.xml share/doc/quor/copyright share/doc/quor/changelog.gz; do
    [[ -s $usr/$file ]] || fail "/usr/$file missing or empty"
done
for size in 16 32 48 64 128 256; do
    icon=$usr/share/icons/hicolor/${size}x${size}/apps/quor.png
    [[ -f $icon && $(png_size "$icon") == "${size}x${size}" ]] || fail "$icon is not a ${size}x${size} PNG"
done

entry=$usr/share/applications/quor.desktop
desktop-file-validate "$entry" || fail "desktop-file-validate rejects the desktop entry"
grep -qx 'Exec=/usr/bin/quor %F' "$entry" || fail "the desktop entry does not run /usr/bin/quor"
grep -qx 'Path=/usr/share/quor' "$entry" || fail "the desktop entry does not start in /usr/share/quor"
appstreamcli validate --no-net "$usr/share/metainfo/org.quor.QUOR.metainfo.xml" ||
    fail "appstreamcli rejects the AppStream entry"
grep -q "<release version=\"$version\"" "$usr/share/metainfo/org.quor.QUOR.metainfo.xml" ||
    fail "the AppStream entry has no release $version"

copyright=$usr/share/doc/quor/copyright
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$copyright" ||
    fail "the copyright file is not machine-readable"
grep -q '^License: Expat' "$copyright" || fail "the copyright file names no licence for QUOR"
grep -q 'Visible Earth' "$copyright" || fail "the copyright file does not say where the Earth imagery is from"

bash "$(dirname "$0")/helppages.sh" "$usr/bin" "$usr/share/man/man1" "$version" || fail "manual pages or --help"

if command -v lintian >/dev/null; then
    lintian --fail-on error "$deb" || fail "lintian reports errors"
else
    fail "lintian not found (Debian package lintian)"
fi

if ((failures > 0)); then
    echo "$failures package check(s) failed" >&2
    exit 1
fi
echo "package checks passed: $(basename "$deb")"
