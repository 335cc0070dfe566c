#!/bin/sh
# Builds the Debian package of a Release build with `cpack -G DEB`, as the README says,
# checks its control fields and files, and runs lintian on it: not one error or warning.
# Without lintian the checks before it still run and the test reports itself skipped (77).
#   deb_test.sh CPACK BUILD_DIR
set -eu
cpack=$1
build=$2

fail() {
    echo "package test: $*" >&2
    exit 1
}

out=$build/package
rm -rf "$out"
(cd "$build" && "$cpack" -G DEB -B "$out") >"$build/cpack.log" 2>&1 ||
    { cat "$build/cpack.log"; fail "cpack -G DEB failed"; }
set -- "$out"/fenk_*.deb
[ $# -eq 1 ] && [ -f "$1" ] || fail "cpack made no single fenk_*.deb in $out"
deb=$1

# Depends comes from dpkg-shlibdeps: the C and C++ runtimes and ncurses, with versions.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6 libncursesw6; do
    echo "$depends" | grep -q "$library (>= " || fail "Depends lacks $library: $depends"
done
files=$(dpkg-deb -c "$deb")
for path in ./usr/bin/fenk ./usr/share/man/man1/fenk.1.gz ./usr/share/doc/fenk/copyright \
    ./usr/share/doc/fenk/changelog.gz; do
    echo "$files" | grep -q " $path\$" || fail "the package lacks $path:
$files"
done

# lintian only mentions a missing md5sums file: check that it covers the program.
dpkg-deb -I "$deb" md5sums | grep -q ' usr/bin/fenk$' || fail "no md5sums entry for usr/bin/fenk"

if ! command -v lintian >/dev/null 2>&1; then
    echo "lintian is not installed: the package was not linted"
    exit 77
fi
# Info tags are shown for the reader but pass; an error or a warning fails (status 1), and
# so does a lintian that cannot read the package (status 2). Run as root, lintian also
# prints a notice on its standard error, which does not count.
if ! lintian --fail-on error,warning --display-info "$deb" 2>"$build/lintian.err"; then
    cat "$build/lintian.err" >&2
    fail "lintian rejects the package (above)"
fi
