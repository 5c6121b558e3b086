#!/bin/sh
# What a user gets from the install rules and the Debian package: the
# installed program converts the bundled song exactly as the build tree's
# does, both manual pages render without warnings, and the package holds the
# programs, the pages and the player with the runtime libraries as depends
# and cc65 (which lz16 sap and xex use) as recommended.
#
#   install_test.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "$*"; exit 1; }

cmake --install "$build" --prefix "$work/prefix" >/dev/null
"$work/prefix/bin/regsqueeze" -q "$source/examples/example.vgm" "$work/installed.lz16" 2>/dev/null
"$build/regsqueeze" -q "$source/examples/example.vgm" "$work/built.lz16" 2>/dev/null
cmp "$work/installed.lz16" "$work/built.lz16"
"$work/prefix/bin/lz16" --version >/dev/null

for page in regsqueeze lz16; do
    warnings=$(man -l --warnings=all "$work/prefix/share/man/man1/$page.1" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page.1: $warnings"
    grep -q "$work/prefix/share/doc/regsqueeze/file-format.md" "$work/prefix/share/man/man1/$page.1" ||
        fail "$page.1 does not name the installed documentation"
done

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null)
deb=$(echo "$work"/regsqueeze_*.deb)
depends=$(dpkg-deb --field "$deb" Depends)
for library in libboost-program-options zlib1g; do
    echo "$depends" | grep -q "$library" || fail "no $library in: $depends"
done
[ "$(dpkg-deb --field "$deb" Recommends)" = cc65 ] || fail "the package does not recommend cc65"
contents=$(dpkg-deb --contents "$deb")
for file in bin/regsqueeze bin/lz16 share/man/man1/regsqueeze.1 share/man/man1/lz16.1 \
    share/regsqueeze/player/lz16_player.s share/regsqueeze/player/lz16_player.inc share/doc/regsqueeze/README.md; do
    echo "$contents" | grep -q "/usr/$file\$" || fail "the package lacks /usr/$file"
done
