#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a temporary root and checks that
# every file lies where the desktop entry and the program look for it, then runs
# the unpacked program's --version.
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1) || {
  cat "$work/cpack.log" >&2
  exit 1
}
deb=$(ls "$work"/pkg/velkor_*.deb)
root="$work/root"
dpkg-deb -x "$deb" "$root"
fail() { echo "package: $*" >&2; exit 1; }

for f in usr/bin/velkor usr/bin/velkor-publisher-sim; do
  [ -x "$root/$f" ] || fail "$f missing or not executable"
done
# The program looks for its login browser in ../lib/velkor/ beside its folder.
[ -f "$root/usr/lib/velkor/libvelkor_login_browser.so" ] || fail "login browser module missing"

entry="$root/usr/share/applications/io.velkor.Velkor.desktop"
[ -f "$entry" ] || fail "desktop entry missing"
desktop-file-validate "$entry" || fail "desktop entry does not validate"
grep -qx 'Exec=velkor' "$entry" || fail "entry does not start velkor"
grep -qx 'Categories=Game;Utility;' "$entry" || fail "entry categories"
icon=$(sed -n 's/^Icon=//p' "$entry")
for size in scalable/apps/$icon.svg 128x128/apps/$icon.png; do
  [ -f "$root/usr/share/icons/hicolor/$size" ] || fail "icon $size missing"
done
metainfo="$root/usr/share/metainfo/io.velkor.Velkor.metainfo.xml"
[ -f "$metainfo" ] || fail "metainfo missing"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$metainfo" >/dev/null || fail "metainfo does not validate"
fi

fields=$(dpkg-deb -f "$deb" Package Version Depends Recommends Maintainer)
echo "$fields" | grep -q '^Depends:.*libqt6widgets6' || fail "no library dependencies worked out"
echo "$fields" | grep -q '^Recommends: fonts-wqy-microhei' || fail "no font recommended"

out=$("$root/usr/bin/velkor" --version)
[ "$out" = "velkor $(dpkg-deb -f "$deb" Version)" ] || fail "--version printed '$out'"
"$root/usr/bin/velkor" --help | grep -q VELKOR_HOSTS || fail "--help does not name VELKOR_HOSTS"
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes, all in place"
