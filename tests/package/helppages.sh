#!/usr/bin/env bash
# Every program answers --help and --version with no display, the version as
# "NAME VERSION", and its manual page names exactly the options its --help does,
# so a page cannot fall behind its program.
#
# helppages.sh BINDIR MANDIR VERSION
set -euo pipefail
bindir=$1
mandir=$2
version=$3

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
programs=(quor launcher quor-inspect quor-thumbnailer)

# Options as written in help text or in a page made readable: a dash or two and a
# name, at the start of a word.
options() {
    grep -oE '(^|[][[:space:](,|])--?[A-Za-z][A-Za-z0-9-]*' | sed -E 's/^[^-]*//' | sort -u
}
for program in "${programs[@]}"; do
    page=$mandir/$program.1.gz
    if [[ ! -f $page ]]; then
        fail "no manual page for $program"
        continue
    fi
    # As help2man and a user at a terminal run it: with no display.
    if ! env -u DISPLAY -u WAYLAND_DISPLAY "$bindir/$program" --help >"$scratch/help" 2>&1; then
        fail "$program --help exits non-zero"
    fi
    [[ $(env -u DISPLAY "$bindir/$program" --version | head -1) == "$program $version" ]] ||
        fail "$program --version does not print '$program $version'"
    options <"$scratch/help" >"$scratch/help.options"
    zcat "$page" | sed -E 's/\\-/-/g; s/\\f[BIRP]//g; s/\\[,\/]//g' | options >"$scratch/page.options"
    [[ -s $scratch/help.options ]] || fail "$program --help names no option"
    missing=$(comm -23 "$scratch/help.options" "$scratch/page.options" | tr '\n' ' ')
    extra=$(comm -13 "$scratch/help.options" "$scratch/page.options" | tr '\n' ' ')
    [[ -z $missing ]] || fail "the manual page of $program lacks $missing"
    [[ -z $extra ]] || fail "the manual page of $program names $extra, which --help does not"
    zcat "$page" | grep -q '^\.SH ENVIRONMENT' || fail "the manual page of $program has no ENVIRONMENT section"
done

if ((failures > 0)); then
    exit 1
fi
echo "--help, --version and manual pages agree: ${programs[*]}"
