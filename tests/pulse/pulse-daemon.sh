#!/usr/bin/env bash
# A private PulseAudio daemon for the sound tests: one null sink,
# "marlowick_null", as the default sink at full volume, reachable at
# unix:DIR/pulse/native.
#
#   pulse-daemon.sh start DIR   start it in the background, wait until it answers
#   pulse-daemon.sh stop DIR    stop the daemon started in DIR
set -euo pipefail

usage() { echo "usage: $0 start|stop DIR" >&2; exit 2; }
[[ $# -eq 2 ]] || usage
action=$1
dir=$2
sink=marlowick_null

daemon_pid() {
  local pid
  [[ -f $dir/pid ]] || return 1
  pid=$(<"$dir/pid")
  [[ $pid =~ ^[0-9]+$ ]] && kill -0 "$pid" 2>/dev/null || return 1
  echo "$pid"
}

stop() {
  local pid i
  if pid=$(daemon_pid); then
    kill -TERM "$pid" 2>/dev/null || true
    for ((i = 0; i < 50; i++)); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
      echo "pulseaudio $pid ignored SIGTERM; killing it" >&2
      kill -KILL "$pid" 2>/dev/null || true
      for ((i = 0; i < 20; i++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
      done
    fi
  fi
  rm -f "$dir/pid"
}

start() {
  command -v pulseaudio >/dev/null || { echo "pulseaudio is not installed" >&2; exit 1; }
  # A daemon left over from an interrupted run would hold the socket.
  stop
  mkdir -p "$dir"
  chmod 700 "$dir"
  rm -rf "$dir/pulse" "$dir/state"
  mkdir -m 700 "$dir/pulse" "$dir/state"
  : >"$dir/pulse.log"

  export XDG_RUNTIME_DIR=$dir
  export PULSE_RUNTIME_PATH=$dir/pulse
  export PULSE_STATE_PATH=$dir/state
  export PULSE_SERVER=unix:$dir/pulse/native

  # Its own session, no inherited terminal or pipes: ctest must not wait for it.
  setsid pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
    --use-pid-file=no --log-target="file:$dir/pulse.log" \
    --load="module-native-protocol-unix auth-anonymous=1 socket=$dir/pulse/native" \
    --load="module-null-sink sink_name=$sink rate=44100 norewinds=1" \
    </dev/null >/dev/null 2>&1 &
  local pid=$! deadline=$((SECONDS + 10)) answered=no
  echo "$pid" >"$dir/pid"

  while ((SECONDS < deadline)); do
    if ! kill -0 "$pid" 2>/dev/null; then
      echo "pulseaudio exited at start-up; its log:" >&2
      cat "$dir/pulse.log" >&2
      rm -f "$dir/pid"
      exit 1
    fi
    if timeout 2 pactl info >/dev/null 2>&1; then
      answered=yes
      break
    fi
    sleep 0.1
  done
  if [[ $answered != yes ]]; then
    echo "pulseaudio did not answer within 10 s; its log:" >&2
    cat "$dir/pulse.log" >&2
    stop
    exit 1
  fi
  timeout 5 pactl set-default-sink "$sink"
  # The monitor records after the sink volume: keep it at unity.
  timeout 5 pactl set-sink-volume "$sink" 100%
}

case $action in
  start) start ;;
  stop) stop ;;
  *) usage ;;
esac
