#!/bin/sh
# Installs a build into a fresh prefix and checks the tree: bin/fenk, which must run, and
# share/man/man1/fenk.1, which must format without a single warning.
#   install_test.sh CMAKE BUILD_DIR
set -eu
cmake=$1
build=$2

fail() {
    echo "install test: $*" >&2
    exit 1
}

prefix=$(mktemp -d "${TMPDIR:-/tmp}/fenk-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT

"$cmake" --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"
[ -x "$prefix/bin/fenk" ] || fail "no executable bin/fenk under $prefix"
page="$prefix/share/man/man1/fenk.1"
[ -f "$page" ] || fail "no share/man/man1/fenk.1 under $prefix"

# The installed program starts: too many arguments give the usage line, status 0.
usage=$("$prefix/bin/fenk" one two 2>&1) || fail "installed fenk exited with status $?"
[ "$usage" = "usage: $prefix/bin/fenk [filename]" ] || fail "unexpected usage text: $usage"

# Every groff warning counts as a failure.
warnings=$(groff -ww -z -man -Tutf8 "$page" 2>&1) || fail "groff failed: $warnings"
[ -z "$warnings" ] || fail "the manual page has warnings:
$warnings"
# The page has its sections.
for section in NAME SYNOPSIS DESCRIPTION COMMANDS FILES "EXIT STATUS" LIMITS; do
    grep -q "^\.SH \"\{0,1\}$section\"\{0,1\}\$" "$page" || fail "the manual page lacks $section"
done
