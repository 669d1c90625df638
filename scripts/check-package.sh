#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks it: lintian, the
# desktop entry and AppStream metadata, and the renderer run from the
# package unpacked into a temporary root.
# Usage: check-package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
rm -f "$build"/marlowick_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/marlowick_*.deb)
echo "Checking $(basename "$deb")"
lintian --fail-on error "$deb"  # warnings are shown, errors fail

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml >/dev/null
grep -qx 'Exec=/usr/libexec/marlowick/marlowick-launcher' "$root"/usr/share/applications/*.desktop

"$root/usr/bin/marlowick-render" --help | grep -q -- '--format'
echo "CQ CQ DE MARLOWICK" | "$root/usr/bin/marlowick-render" --quiet -c 20 -t 20 -o "$root/cq.ogg"
[ "$(soxi -r "$root/cq.ogg")" = 44100 ]
seconds=$(soxi -D "$root/cq.ogg")
awk -v s="$seconds" 'BEGIN { exit !(s > 5 && s < 15) }' || {
  echo "the packaged renderer made $seconds s of audio" >&2
  exit 1
}
echo "Package checked: lintian, desktop entry, AppStream, renderer from the package"
