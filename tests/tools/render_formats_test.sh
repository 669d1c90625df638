#!/usr/bin/env bash
# marlowick-render's output formats, read back by independent decoders (sox,
# and opusdec for Opus): lossless ones give exactly the WAV samples, lossy
# ones the right rate and length; and its refusals, which leave no file.
# Usage: render_formats_test.sh MARLOWICK_RENDER
set -euo pipefail
render=$1
tmp=$(mktemp -d)
trap 'chmod -R u+w "$tmp"; rm -rf "$tmp"' EXIT
cd "$tmp"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
raw() { sox "$1" -t raw -e signed-integer -b 16 -c 1 - 2>/dev/null; }

printf 'CQ CQ DE TEST PARIS 73\n' >text.txt
opts=(-c 25 -t 20 --freq 700)
"$render" --quiet "${opts[@]}" -o ref.wav text.txt
tail -c +47 ref.wav >ref.raw
ref_samples=$(($(stat -c %s ref.raw) / 2))
[ "$(soxi -s ref.wav)" = "$ref_samples" ] || fail "sox reads another length from the WAV file"
raw ref.wav | cmp -s - ref.raw || fail "sox reads other samples from the WAV file"

for ext in flac rf64; do
  "$render" --quiet "${opts[@]}" -o "out.$ext" text.txt || fail "$ext: render failed"
  [ "$(soxi -r "out.$ext")" = 44100 ] || fail "$ext: rate"
  raw "out.$ext" | cmp -s - ref.raw || fail "$ext: samples differ from the WAV render"
done
# Lossy: the rate, and the length within an encoder's padding (60 ms).
for ext in ogg mp3; do
  "$render" --quiet "${opts[@]}" -q 4 -o "out.$ext" text.txt || fail "$ext: render failed"
  [ "$(soxi -r "out.$ext")" = 44100 ] || fail "$ext: rate"
  n=$(soxi -s "out.$ext")
  ((n >= ref_samples && n - ref_samples <= 2646)) || fail "$ext: $n samples, $ref_samples rendered"
done
"$render" --quiet "${opts[@]}" -o out.opus text.txt || fail "opus: render failed"
opusdec --quiet --rate 48000 out.opus opus.wav 2>/dev/null || fail "opus: not decodable"
n=$(soxi -s opus.wav)
want=$((ref_samples * 48000 / 44100))
((n >= want - 2880 && n <= want + 2880)) || fail "opus: $n samples at 48 kHz, about $want wanted"
# --format wins over the extension.
"$render" --quiet "${opts[@]}" -f flac -o named.wav text.txt
[ "$(head -c 4 named.wav)" = fLaC ] || fail "--format flac did not write FLAC"
# Compressed to standard output.
"$render" --quiet "${opts[@]}" -f flac -o - text.txt >piped.flac
raw piped.flac | cmp -s - ref.raw || fail "FLAC on standard output differs"

# Refusals: a clear message, the right status, nothing left behind.
expect_refusal() {  # status, message part, then the command's arguments
  local status=$1 message=$2
  shift 2
  local before after out code=0
  before=$(ls -A | sort)
  out=$("$render" "$@" 2>&1 >/dev/null) || code=$?
  after=$(ls -A | sort)
  [ "$code" = "$status" ] || fail "$*: status $code, $status wanted"
  [[ $out == *"$message"* ]] || fail "$*: message '$out' lacks '$message'"
  [ "$before" = "$after" ] || fail "$*: files changed: $(comm -3 <(echo "$before") <(echo "$after"))"
}
expect_refusal 2 "unknown format 'aac'" -f aac -o out.aac text.txt
expect_refusal 2 "--quality does not apply to flac" -q 5 -o q.flac text.txt
expect_refusal 2 "invalid value '11' for -q" -q 11 -o q.ogg text.txt
expect_refusal 1 "is the input file" -o text.txt text.txt
ln -s text.txt link.txt
expect_refusal 1 "is the input file" -o link.txt text.txt
echo keep >readonly.ogg && chmod 444 readonly.ogg
expect_refusal 1 "cannot write \"readonly.ogg\": Permission denied" -o readonly.ogg text.txt
[ "$(cat readonly.ogg)" = keep ] || fail "a read-only file was replaced"
expect_refusal 1 "No such file or directory" -o missing/out.mp3 text.txt
[ "$(cat text.txt)" = "CQ CQ DE TEST PARIS 73" ] || fail "the input changed"

# Interrupted, a render removes its temporary file and leaves the old one.
for i in $(seq 400); do echo "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 1234567890"; done >long.txt
set -m  # a background job of a script would otherwise ignore SIGINT
for signal in INT TERM; do
  echo old >long.opus
  timeout 120 "$render" --quiet -o long.opus long.txt &
  pid=$!
  for _ in $(seq 100); do compgen -G 'long.opus.*' >/dev/null && break; sleep 0.02; done
  sleep 0.2
  kill -"$signal" "$pid"
  wait "$pid" && fail "SIG$signal: the render did not stop"
  [ "$(cat long.opus)" = old ] || fail "SIG$signal: the old file was replaced"
  compgen -G 'long.opus.*' >/dev/null && fail "SIG$signal: temporary file left: $(ls long.opus.*)"
done
set +m

# Characters without code are named once; no progress bar off a terminal,
# one summary line.
printf 'E~E~\tE\n' >odd.txt
out=$("$render" -o odd.wav odd.txt 2>&1 >/dev/null)
[[ $out == *"U+007E '~' (2x), tab (1x)"* || $out == *"tab (1x), U+007E '~' (2x)"* ]] ||
  fail "unsendable characters not reported: $out"
[ "$(grep -c 'no code' <<<"$out")" = 1 ] || fail "reported more than once: $out"
[[ $out != *$'\r'* ]] || fail "a progress bar went to a file"
[[ $out == *'"odd.wav": 0:0'*" of wav"*"real time"* ]] || fail "no summary: $out"
if command -v script >/dev/null; then
  out=$(script -qec "$render -o bar.flac text.txt" /dev/null)
  [[ $out == *$'\r['*'] 100%'* ]] || fail "no progress bar on a terminal"
fi

[ "$failures" -eq 0 ] && echo "render formats: all passed"
exit "$((failures > 0))"
