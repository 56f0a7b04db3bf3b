#!/usr/bin/env bash
# The installed tree as the Debian package lays it out: `cmake --install BUILD --prefix /usr`
# into a scratch DESTDIR, then each file the package promises, read by the validators that
# menus, software centres and man read them with.
# Usage: package_tree.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
usr=$root/usr
id=net.vendrix.Vendrix

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# gzip -n leaves the name flag and the time stamp out of the header (bytes 4 to 8).
reproducible_gzip() { [ "$(od -An -tx1 -j3 -N5 "$1" | tr -d ' \n')" = 0000000000 ]; }

for program in vendrix vendrix-cli vendrix-sandbox; do
  [ -x "$usr/bin/$program" ] || fail "/usr/bin/$program is missing or not executable"
  page=$usr/share/man/man1/$program.1.gz
  if [ ! -f "$page" ]; then
    fail "no manual page $program(1)"
    continue
  fi
  reproducible_gzip "$page" || fail "$program.1.gz carries a name or time stamp"
  # As man formats it for a UTF-8 terminal.
  warnings=$(zcat "$page" | groff -k -Tutf8 -ww -man -z 2>&1)
  [ -z "$warnings" ] || fail "groff warns about $program(1):"$'\n'"$warnings"
  zcat "$page" | grep -q "^\.TH .* \"Vendrix $version\"" || fail "$program(1) is not of version $version"
done

desktop=$usr/share/applications/$id.desktop
if [ -f "$desktop" ]; then
  report=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate:"$'\n'"$report"
  grep -qx "Icon=$id" "$desktop" || fail "the desktop entry names another icon"
else
  fail "no desktop entry $desktop"
fi

[ -f "$usr/share/icons/hicolor/scalable/apps/$id.svg" ] || fail "no scalable icon"
png=$usr/share/icons/hicolor/128x128/apps/$id.png
file -b "$png" 2>/dev/null | grep -q '^PNG image data, 128 x 128,' || fail "$png is not a 128x128 PNG"

metainfo=$usr/share/metainfo/$id.metainfo.xml
if [ -f "$metainfo" ]; then
  report=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli:"$'\n'"$report"
  grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"
else
  fail "no AppStream metadata $metainfo"
fi

doc=$usr/share/doc/vendrix
head -1 "$doc/copyright" 2>/dev/null | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "no machine-readable copyright file"
if [ -f "$doc/changelog.gz" ]; then
  reproducible_gzip "$doc/changelog.gz" || fail "changelog.gz carries a name or time stamp"
  zcat "$doc/changelog.gz" | head -1 | grep -q "^vendrix ($version) " || fail "the changelog does not open with $version"
else
  fail "no changelog.gz"
fi

[ "$failures" -eq 0 ] || exit 1
echo "package tree: every file in place and valid"
