#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks the layout, and runs the
# menu launcher against a stand-in trainer to check what it copies into the
# per-user folder and where it starts the trainer.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'chmod -R u+w "$tmp"; rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
expect_file() { [ -f "$1" ] || fail "missing $1"; }
expect_same() { cmp -s "$1" "$2" || fail "$1 differs from $2"; }

cmake --install "$build" --prefix "$prefix" >/dev/null

# The layout a desktop expects.
for f in bin/marlowick bin/marlowick-render libexec/marlowick/marlowick-launcher; do
  [ -x "$prefix/$f" ] || fail "$f is not an installed program"
done
for f in share/applications/org.marlowick.Marlowick.desktop \
  share/metainfo/org.marlowick.Marlowick.metainfo.xml \
  share/icons/hicolor/scalable/apps/marlowick.svg \
  share/man/man1/marlowick.1.gz share/man/man1/marlowick-render.1.gz; do
  expect_file "$prefix/$f"
done
for size in 16 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/marlowick.png
  expect_file "$png"
  if command -v identify >/dev/null; then
    [ "$(identify -format '%wx%h' "$png")" = "${size}x${size}" ] || fail "$png is not ${size}x${size}"
  fi
done
[ -d "$prefix/share/marlowick" ] || fail "no data folder"
(cd "$(dirname "$0")/../../data" && find . -type f ! -name '.*') | while read -r f; do
  expect_same "$(dirname "$0")/../../data/$f" "$prefix/share/marlowick/$f"
done
grep -qx "Exec=$prefix/libexec/marlowick/marlowick-launcher" \
  "$prefix/share/applications/org.marlowick.Marlowick.desktop" ||
  fail "the desktop entry does not start the installed launcher"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/org.marlowick.Marlowick.desktop" ||
    fail "desktop-file-validate"
fi
gzip -dc "$prefix/share/man/man1/marlowick-render.1.gz" | grep -qF -- '\-\-format' ||
  fail "the renderer's man page misses --format"

# A stand-in trainer that notes where and with what it was started.
cat >"$prefix/bin/marlowick" <<STUB
#!/bin/sh
pwd >"$tmp/started"
echo "\$@" >>"$tmp/started"
STUB
chmod +x "$prefix/bin/marlowick"
shared=$prefix/share/marlowick
rm -rf "$shared" && mkdir -p "$shared/images"
echo "text one" >"$shared/P1"
echo "<html>help</html>" >"$shared/help.htm"
echo "picture" >"$shared/images/key.png"
echo "installed settings" >"$shared/Pelkainit.txt"
echo "installed notes" >"$shared/Notepad.txt"
touch -d '2 days ago' "$shared"/* "$shared/images/key.png"

launch() { env -u XDG_DATA_HOME HOME="$tmp/home" MARLOWICK_NO_NOTIFY=1 "$@" \
  "$prefix/libexec/marlowick/marlowick-launcher" --from-menu; }
user=$tmp/home/.local/share/marlowick

# First start: the folder is made, texts, help and pictures copied, the
# user's files are not, and the trainer runs there.
mkdir -p "$tmp/home"
rm -f "$tmp/started"
launch || fail "first start failed"
[ "$(head -n 1 "$tmp/started" 2>/dev/null)" = "$user" ] || fail "not started in $user"
[ "$(sed -n 2p "$tmp/started" 2>/dev/null)" = "--from-menu" ] || fail "arguments not passed on"
for f in P1 help.htm images/key.png; do expect_same "$shared/$f" "$user/$f"; done
[ ! -e "$user/Pelkainit.txt" ] && [ ! -e "$user/Notepad.txt" ] ||
  fail "settings or notes copied from the installation"

# The user edits a text and keeps settings and notes; the installation is
# updated. The edit survives, the untouched page is updated, a deleted
# picture comes back, settings and notes stay the user's.
echo "my own text" >"$user/P1"
echo "my settings" >"$user/Pelkainit.txt"
echo "my notes" >"$user/Notepad.txt"
rm "$user/images/key.png"
echo "text one, revised" >"$shared/P1"
echo "<html>help, revised</html>" >"$shared/help.htm"
echo "new settings" >"$shared/Pelkainit.txt"
launch || fail "second start failed"
[ "$(cat "$user/P1")" = "my own text" ] || fail "the user's text was replaced"
expect_same "$shared/help.htm" "$user/help.htm"
expect_same "$shared/images/key.png" "$user/images/key.png"
[ "$(cat "$user/Pelkainit.txt")" = "my settings" ] || fail "settings touched"
[ "$(cat "$user/Notepad.txt")" = "my notes" ] || fail "notes touched"
# Still the user's after another update.
echo "text one, third" >"$shared/P1"
launch || fail "third start failed"
[ "$(cat "$user/P1")" = "my own text" ] || fail "the user's text was replaced later"

# XDG_DATA_HOME decides where the folder is.
launch XDG_DATA_HOME="$tmp/xdg" || fail "start with XDG_DATA_HOME failed"
[ "$(head -n 1 "$tmp/started")" = "$tmp/xdg/marlowick" ] || fail "XDG_DATA_HOME not followed"

# A read-only folder, or one that cannot be made, is refused with a message
# and the trainer is not started.
chmod 555 "$user"
rm -f "$tmp/started"
if out=$(launch 2>&1); then fail "a read-only folder was accepted"; fi
[[ $out == *"$user"*"read-only"* ]] || fail "unclear message for a read-only folder: $out"
[ ! -e "$tmp/started" ] || fail "the trainer started in a read-only folder"
chmod 755 "$user"
echo "a file" >"$tmp/plain"
if out=$(launch XDG_DATA_HOME="$tmp/plain" 2>&1); then fail "an impossible folder was accepted"; fi
[[ $out == *"cannot create the folder"* ]] || fail "unclear message for an impossible folder: $out"

[ "$failures" -eq 0 ] && echo "install layout and launcher: all passed"
exit "$((failures > 0))"
