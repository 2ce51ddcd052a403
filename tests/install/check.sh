#!/usr/bin/env bash
# Installs a built tree twice, once with --prefix into a scratch folder and once
# staged under DESTDIR for a prefix with a space in it, and checks what lands
# where, that the desktop entry names the final places, and that the installed
# quor-inspect reads the installed station.
#
# check.sh BUILD_DIR SOURCE_DIR CMAKE [DESKTOP_FILE_VALIDATE]
set -euo pipefail
build=$1
source=$2
cmake=$3
validate=${4:-}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Width and height from a PNG's header chunk.
png_size() {
    local sig
    sig=$(od -An -tx1 -N8 "$1" | tr -d ' \n')
    [[ $sig == 89504e470d0a1a0a ]] || { echo "not-png"; return; }
    local w h
    w=$(od -An -tu1 -j16 -N4 "$1" | awk '{print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4}')
    h=$(od -An -tu1 -j20 -N4 "$1" | awk '{print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4}')
    echo "${w}x${h}"
}

# The value of KEY in the [Desktop Entry] group (first occurrence only).
entry_key() {
    awk -v key="$2" '
        /^\[/ { group = $0; next }
        group == "[Desktop Entry]" && index($0, key "=") == 1 { print substr($0, length(key) + 2); exit }
    ' "$1"
}

# check_tree ROOT PREFIX: ROOT is where the files are, PREFIX where the entry
# says they are (the same unless staged under DESTDIR).
check_tree() {
    local root=$1 prefix=$2
    local data=$root/share/quor

    for program in quor launcher quor-inspect; do
        [[ -f $root/bin/$program && -x $root/bin/$program ]] || fail "$root/bin/$program is not an executable file"
    done

    local map=$data/Weltkart.bmp
    if [[ -f $map ]]; then
        [[ $(head -c 2 "$map") == BM ]] || fail "$map does not start with BM"
        [[ $(stat -c %s "$map") == 6291510 ]] || fail "$map is $(stat -c %s "$map") bytes, not 6291510"
    else
        fail "$map missing"
    fi
    cmp -s "$source/data/station.3ds" "$data/station.3ds" || fail "$data/station.3ds differs from data/station.3ds"

    for size in 16 32 48 64 128 256; do
        local icon=$root/share/icons/hicolor/${size}x${size}/apps/quor.png
        if [[ -f $icon ]]; then
            [[ $(png_size "$icon") == "${size}x${size}" ]] || fail "$icon is $(png_size "$icon"), not ${size}x${size}"
        else
            fail "$icon missing"
        fi
    done

    for file in icons/hicolor/scalable/apps/quor.svg metainfo/org.quor.QUOR.metainfo.xml doc/quor/copyright \
        man/man1/quor.1.gz man/man1/launcher.1.gz man/man1/quor-inspect.1.gz; do
        [[ -s $root/share/$file ]] || fail "$root/share/$file missing or empty"
    done

    local entry=$root/share/applications/quor.desktop
    if [[ ! -f $entry ]]; then
        fail "$entry missing"
        return
    fi
    local exec_line=$prefix/bin/quor launcher_line=$prefix/bin/launcher
    if [[ $prefix == *' '* ]]; then
        exec_line="\"$exec_line\""
        launcher_line="\"$launcher_line\""
    fi
    [[ $(entry_key "$entry" Exec) == "$exec_line %F" ]] || fail "Exec=$(entry_key "$entry" Exec) in $entry"
    [[ $(entry_key "$entry" Path) == "$prefix/share/quor" ]] || fail "Path=$(entry_key "$entry" Path) in $entry"
    [[ $(entry_key "$entry" MimeType) == "image/x-3ds;" ]] || fail "MimeType=$(entry_key "$entry" MimeType) in $entry"
    [[ $(entry_key "$entry" Icon) == quor ]] || fail "Icon=$(entry_key "$entry" Icon) in $entry"
    local action
    action=$(awk '/^\[Desktop Action launcher\]/ { on = 1; next } /^\[/ { on = 0 } on && /^Exec=/' "$entry")
    [[ $action == "Exec=$launcher_line" ]] || fail "launcher action '$action' in $entry"
    if [[ -n $validate ]]; then
        "$validate" "$entry" || fail "desktop-file-validate rejects $entry"
    fi
}

# 1. --prefix, as a user installs into ~/.local.
prefix=$scratch/prefix
"$cmake" --install "$build" --prefix "$prefix" >"$scratch/install.log" || {
    cat "$scratch/install.log" >&2
    fail "cmake --install --prefix failed"
}
check_tree "$prefix" "$prefix"
# The entry's working directory holds the map, and its program is there.
entry=$prefix/share/applications/quor.desktop
if [[ -f $entry ]]; then
    path=$(entry_key "$entry" Path)
    [[ -f $path/Weltkart.bmp ]] || fail "no Weltkart.bmp in the entry's working directory $path"
    program=$(entry_key "$entry" Exec)
    program=${program% %F}
    [[ -x $program ]] || fail "the entry runs $program, which is not an installed program"
fi
# The installed inspector reads the installed station.
if out=$(cd "$scratch" && "$prefix/bin/quor-inspect" "$prefix/share/quor/station.3ds" 2>&1); then
    [[ $out == *'"faces": 5392'* || $out == *'"faces":5392'* ]] || fail "installed quor-inspect printed: $out"
else
    fail "installed quor-inspect on the installed station exited $?: $out"
fi

# 2. A package build: staged under DESTDIR, the entry names the final prefix.
stage=$scratch/stage
final='/opt/QUOR 5'
DESTDIR=$stage "$cmake" --install "$build" --prefix "$final" >"$scratch/install.log" || {
    cat "$scratch/install.log" >&2
    fail "cmake --install with DESTDIR failed"
}
check_tree "$stage$final" "$final"
[[ ! -e $final ]] || fail "$final was written outside DESTDIR"

if [[ -z $validate ]]; then
    fail "desktop-file-validate not found (Debian package desktop-file-utils)"
fi
if ((failures > 0)); then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "install checks passed"
