#!/usr/bin/env bash
# Installs the built Debian package into a fresh Debian root (debootstrap,
# made once and kept in ROOT) with apt-get, then starts the trainer there the
# way the applications menu does, by its desktop entry's command, on a
# private X server and sound server, and checks that its window appears and
# that it runs in the per-user folder. Needs root and network access to the
# Debian mirror. Not part of scripts/test.sh: it downloads some 150 MB.
# Usage: check-debian-root.sh BUILD_DIR ROOT [DISPLAY_NUMBER]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
root=$2
display=:${3:-78}
deb=$(ls "$build"/marlowick_*.deb)

if [ ! -x "$root/usr/bin/apt-get" ]; then
  debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/"
mkdir -p "$root/tmp/.X11-unix"

work=$(mktemp -d)
xvfb_pid=
run_pid=
cleanup() {
  [ -n "$run_pid" ] && pkill -TERM -P "$run_pid" 2>/dev/null || :
  [ -n "$run_pid" ] && kill "$run_pid" 2>/dev/null || :
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || :
  "$top/tests/pulse/pulse-daemon.sh" stop "$work/pulse-run" >/dev/null 2>&1 || :
  rm -rf "$work"
}
trap cleanup EXIT

# Everything mounted lives in a private mount namespace and goes with it.
in_root() {
  unshare -m --propagation private sh -c '
    root=$1; work=$2; shift 2
    mount -t proc proc "$root/proc" && mount --bind /dev "$root/dev" &&
    mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix" &&
    mkdir -p "$root$work" && mount --bind "$work" "$root$work" &&
    exec chroot "$root" "$@"' sh "$root" "$work" "$@"
}

in_root sh -c "apt-get update -q >/dev/null &&
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --reinstall /tmp/$(basename "$deb") >/dev/null"
echo "installed $(basename "$deb") with apt-get"

if xdpyinfo -display "$display" >/dev/null 2>&1; then
  echo "display $display is taken; pass another number" >&2
  exit 1
fi
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
"$top/tests/pulse/pulse-daemon.sh" start "$work/pulse-run" >/dev/null
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done

command=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/org.marlowick.Marlowick.desktop")
echo "desktop entry command: $command"
rm -rf "$root/root/.local/share/marlowick"
in_root env -i PATH=/usr/bin:/bin HOME=/root DISPLAY="$display" \
  PULSE_SERVER="unix:$work/pulse-run/pulse/native" $command >"$work/trainer.log" 2>&1 &
run_pid=$!
window=
for _ in $(seq 120); do
  window=$(DISPLAY=$display xdotool search --onlyvisible --name "Morse Teaching Program" 2>/dev/null | head -n 1) && [ -n "$window" ] && break
  sleep 0.25
done
[ -n "$window" ] || { echo "no trainer window; its output:" >&2; cat "$work/trainer.log" >&2; exit 1; }
sleep 1
DISPLAY=$display import -window root "$build/debian-root-trainer.png"
# The trainer started here is the one whose root is the Debian root.
trainer=
for pid in $(pgrep -x marlowick); do
  [ "$(readlink "/proc/$pid/root")" = "$(readlink -f "$root")" ] && trainer=$pid
done
cwd=$(readlink "/proc/$trainer/cwd" 2>/dev/null || :)
[ "$cwd" = "$(readlink -f "$root")/root/.local/share/marlowick" ] ||
  { echo "the trainer runs in '$cwd'" >&2; exit 1; }
echo "the trainer's window appeared; it runs in ~/.local/share/marlowick; screenshot: $build/debian-root-trainer.png"
kill "$trainer"
