#!/bin/sh
# Builds the editor alone as a user or a packager would (a fresh Release configure with the
# default options), then installs it stripped into a fresh prefix, as `make install` does,
# and checks the tree: bin/fenk stripped and running, the compressed manual page formatting
# without a warning, and the copyright and changelog in share/doc/fenk.
#   install_test.sh CMAKE SOURCE_DIR BUILD_DIR
# BUILD_DIR is emptied first; the package test builds its .deb from it afterwards.
set -eu
cmake=$1
source=$2
build=$3

fail() {
    echo "install test: $*" >&2
    exit 1
}

rm -rf "$build"
mkdir -p "$build"
log=$build/build.log
{ "$cmake" -S "$source" -B "$build" -DCMAKE_BUILD_TYPE=Release &&
    "$cmake" --build "$build" --parallel "$(nproc)"; } >"$log" 2>&1 ||
    { cat "$log"; fail "the Release build failed"; }
# Warnings are not fatal by default, so look for them: a Release build must have none.
if grep -i "warning" "$log"; then fail "the Release build has warnings (above)"; fi
# The editor alone: none of the test programs was built.
[ ! -e "$build/tests" ] || fail "the default build also built the tests"

prefix=$(mktemp -d "${TMPDIR:-/tmp}/fenk-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" --strip >/dev/null || fail "cmake --install failed"

program=$prefix/bin/fenk
[ -x "$program" ] || fail "no executable bin/fenk under $prefix"
if readelf -S "$program" | grep -q '\.symtab'; then fail "bin/fenk is not stripped"; fi
# The installed program starts: too many arguments give the usage line, status 0.
usage=$("$program" one two 2>&1) || fail "installed fenk exited with status $?"
[ "$usage" = "usage: $program [filename]" ] || fail "unexpected usage text: $usage"

for doc in copyright changelog.gz; do
    [ -s "$prefix/share/doc/fenk/$doc" ] || fail "no share/doc/fenk/$doc under $prefix"
done

page=$prefix/share/man/man1/fenk.1.gz
[ -f "$page" ] || fail "no share/man/man1/fenk.1.gz under $prefix"
source_page=$(mktemp "${TMPDIR:-/tmp}/fenk-page.XXXXXX")
trap 'rm -rf "$prefix" "$source_page"' EXIT
gzip -dc "$page" >"$source_page" || fail "the manual page is not gzip data"
# Every groff warning counts as a failure.
warnings=$(groff -ww -z -man -Tutf8 "$source_page" 2>&1) || fail "groff failed: $warnings"
[ -z "$warnings" ] || fail "the manual page has warnings:
$warnings"
# The page has its sections.
for section in NAME SYNOPSIS DESCRIPTION COMMANDS FILES "EXIT STATUS" LIMITS; do
    grep -q "^\.SH \"\{0,1\}$section\"\{0,1\}\$" "$source_page" || fail "the manual page lacks $section"
done
