#!/usr/bin/env bash
# Installs the thumbnailer staged under DESTDIR, reads its thumbnailer entry and
# runs its Exec line the way a file manager does, with no X display (so on EGL):
# the sample station gives a picture of it; missing, odd, broken and hostile
# files, a FIFO, bad arguments and a spent time limit give a non-zero status, one
# line on stderr and no file at all.
#
# check.sh BUILD_DIR SOURCE_DIR CMAKE TESTFILES_PROGRAM
set -euo pipefail
build=$1
source=$2
cmake=$3
testfiles=$4

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
unset DISPLAY WAYLAND_DISPLAY
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

stage=$scratch/stage
DESTDIR=$stage "$cmake" --install "$build" --prefix /usr --component thumbnailer >"$scratch/install.log" || {
    cat "$scratch/install.log" >&2
    echo "FAIL: cmake --install failed" >&2
    exit 1
}
entry=$stage/usr/share/thumbnailers/quor.thumbnailer
if [[ ! -f $entry || ! -x $stage/usr/bin/quor-thumbnailer ]]; then
    echo "FAIL: the entry or the program was not installed" >&2
    exit 1
fi
key() { awk -v key="$1" 'index($0, key "=") == 1 { print substr($0, length(key) + 2); exit }' "$entry"; }
[[ $(head -n 1 "$entry") == '[Thumbnailer Entry]' ]] || fail "the entry does not start with [Thumbnailer Entry]"
[[ $(key MimeType) == 'image/x-3ds;' ]] || fail "MimeType=$(key MimeType)"
exec_line=$(key Exec)
# TryExec and Exec name the program bare: found on PATH, here the staged bin.
export PATH=$stage/usr/bin:$PATH
command -v "$(key TryExec)" >/dev/null || fail "TryExec=$(key TryExec) is not found on PATH"

# thumbnail SIZE INPUT OUTPUT [MORE...]: the Exec line split into words, then %s,
# %i and %o replaced inside each word, run without a shell; MORE is appended.
thumbnail() {
    local size=$1 input=$2 output=$3 word
    shift 3
    local -a words argv=()
    read -ra words <<<"$exec_line"
    for word in "${words[@]}"; do
        word=${word//"%s"/$size}
        word=${word//"%i"/$input}
        word=${word//"%o"/$output}
        argv+=("$word")
    done
    timeout 20 "${argv[@]}" "$@"
}

# Names with spaces: a file manager passes each path as one argument.
files="$scratch/in files"
out="$scratch/out dir"
mkdir -p "$files" "$out"
"$testfiles" "$files"
cp "$source/data/station.3ds" "$files/station.3ds"

# A failing run: non-zero but not the timeout's 124 (a hang), one line on stderr,
# and nothing left in the output's folder.
expect_failure() {
    local what=$1 status
    shift
    set +e
    "$@" >"$scratch/stdout" 2>"$scratch/stderr"
    status=$?
    set -e
    if ((status == 0 || status == 124)); then
        fail "$what: exit status $status"
    fi
    if [[ -n $(ls -A "$out") ]]; then
        fail "$what: left $(ls -A "$out" | tr '\n' ' ')"
        rm -rf "${out:?}"/* "${out:?}"/.[!.]*
    fi
    [[ -s $scratch/stderr ]] || fail "$what: nothing said on stderr"
    echo "$what: $(head -n 1 "$scratch/stderr")"
}

# The sample station.
if thumbnail 256 "$files/station.3ds" "$out/station.png" 2>"$scratch/stderr"; then
    python3 "$source/tests/thumbnailer/pngcheck.py" "$out/station.png" 256 --station || fail "station picture"
    [[ $(ls -A "$out") == station.png ]] || fail "left in the output folder: $(ls -A "$out" | tr '\n' ' ')"
else
    fail "station: exit status $?: $(cat "$scratch/stderr")"
fi
rm -f "$out/station.png"

# A file manager may make the output file first and read the picture through the
# descriptor it keeps (tumbler does): the picture goes into that file, not a new one.
: >"$out/held.png"
exec 3<"$out/held.png"
if thumbnail 256 "$files/station.3ds" "$out/held.png" 2>"$scratch/stderr"; then
    cat <&3 >"$scratch/through descriptor.png"
    python3 "$source/tests/thumbnailer/pngcheck.py" "$scratch/through descriptor.png" 256 --station ||
        fail "the picture read through the caller's descriptor"
else
    fail "held output: exit status $?: $(cat "$scratch/stderr")"
fi
exec 3<&-
# Such a file is not touched when there is nothing to draw.
printf 'old' >"$out/held.png"
if thumbnail 128 "$files/chained_walks.3ds" "$out/held.png" 2>/dev/null; then
    fail "held output: a hostile file drawn"
fi
[[ $(cat "$out/held.png") == old ]] || fail "held output: changed by a failed run"
rm -f "$out/held.png"

# Hostile files that hold one real triangle among their junk: it is drawn.
for name in overlapping_vertex_lists overlapping_face_lists many_face_material_lists; do
    if thumbnail 128 "$files/$name.3ds" "$out/$name.png" 2>"$scratch/stderr"; then
        python3 "$source/tests/thumbnailer/pngcheck.py" "$out/$name.png" 128 || fail "$name picture"
    else
        fail "$name: exit status $?: $(cat "$scratch/stderr")"
    fi
    rm -f "$out/$name.png"
done

# The smallest sizes, drawn larger and averaged down: the station's sparse frame
# and the hostile files' one triangle still show.
for size in 1 2 3; do
    for name in station overlapping_vertex_lists overlapping_face_lists many_face_material_lists; do
        if thumbnail "$size" "$files/$name.3ds" "$out/$name.png" 2>"$scratch/stderr"; then
            python3 "$source/tests/thumbnailer/pngcheck.py" "$out/$name.png" "$size" || fail "$name picture at $size"
        else
            fail "$name at $size: exit status $?: $(cat "$scratch/stderr")"
        fi
        rm -f "$out/$name.png"
    done
done
# A face too thin to cover any pixel gives no picture, at any size.
for size in 1 256; do
    expect_failure "sliver at $size" thumbnail "$size" "$files/sliver.3ds" "$out/sliver.png"
    grep -q 'cover no pixel' "$scratch/stderr" || fail "sliver at $size: $(cat "$scratch/stderr")"
done

# The output is the model itself, by its name, another path or a link: refused,
# and the model left as it was.
ln -s station.3ds "$files/symlink.png"
ln "$files/station.3ds" "$files/hardlink.png"
for output in "$files/station.3ds" "$files/../in files/./station.3ds" "$files/symlink.png" "$files/hardlink.png"; do
    expect_failure "output $output" thumbnail 128 "$files/station.3ds" "$output"
    grep -q 'is the input file' "$scratch/stderr" || fail "output $output: $(cat "$scratch/stderr")"
    cmp -s "$files/station.3ds" "$source/data/station.3ds" || fail "output $output: the model was changed"
done

# Nothing to draw, or nothing to read.
mkfifo "$files/fifo.3ds"
: >"$files/empty.3ds"
head -c 3000 "$files/station.3ds" >"$files/truncated.3ds"
printf 'solid cube\nfacet normal 0 0 1\n' >"$files/text.3ds"
mkdir "$files/folder.3ds"
for name in missing fifo empty truncated text folder chained_walks many_small_lists many_objects many_texture_maps; do
    expect_failure "$name" thumbnail 128 "$files/$name.3ds" "$out/$name.png"
    if [[ $(wc -l <"$scratch/stderr") != 1 ]]; then
        fail "$name: not one line on stderr: $(cat "$scratch/stderr")"
    fi
done
# A name with a line break still makes one line.
expect_failure "name with a line break" thumbnail 128 "$files/two"$'\n'"lines.3ds" "$out/two.png"
[[ $(wc -l <"$scratch/stderr") == 1 ]] || fail "name with a line break: not one line on stderr"
expect_failure "output folder missing" thumbnail 128 "$files/station.3ds" "$out/no such folder/station.png"
grep -q 'cannot write into folder' "$scratch/stderr" || fail "output folder missing: $(cat "$scratch/stderr")"

# The time limit, on a model far too big for it.
start=$(date +%s.%N)
expect_failure "time limit" thumbnail 256 "$files/big.3ds" "$out/big.png" --time-limit 0.05
grep -q 'gave up after 0.05 s' "$scratch/stderr" || fail "time limit: $(cat "$scratch/stderr")"
awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { exit !(e - s < 3) }' || fail "time limit: took over 3 s"

# Bad arguments: the usage, and no file.
for size in 0 -1 abc 12x 4097 ' 64' 0x40; do
    expect_failure "size $size" thumbnail "$size" "$files/station.3ds" "$out/station.png"
    grep -q '^usage:' "$scratch/stderr" || fail "size $size: no usage message"
done
for limit in -1 abc 1e9 0x10 inf; do
    expect_failure "time limit $limit" thumbnail 128 "$files/station.3ds" "$out/station.png" --time-limit "$limit"
    grep -q '^usage:' "$scratch/stderr" || fail "time limit $limit: no usage message"
done
expect_failure "no output" quor-thumbnailer -s 128 "$files/station.3ds"
expect_failure "three files" quor-thumbnailer -s 128 "$files/station.3ds" "$out/a.png" "$out/b.png"
expect_failure "no size" quor-thumbnailer "$files/station.3ds" "$out/station.png"

if ((failures > 0)); then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "thumbnailer checks passed"
