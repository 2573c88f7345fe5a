#!/bin/sh
# Words per second of the ChiTest7 kernel on xorshift128, two ways:
#   pipe:       rngstream xor seed2 1 1 | rngtest chi7 --trials 2
#   in process: chi7-xor (its first two trials)
# Both count 2 x 512,000,000 words; the seconds are those printed on the
# second result line (from the first trial's start to the end of the second).
# Run from the source tree after `make`: sh bench/rngtest_pipe.sh
set -eu
BIN=$(cd "${BIN:-build/bin}" && pwd)
WORDS=1024000000
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

seconds_of_second_line() {
  sed -n 2p | awk '{ print $(NF - 1) }'
}

pipe=$("$BIN/rngstream" xor seed2 1 1 | "$BIN/rngtest" chi7 --trials 2 | seconds_of_second_line)
in_process=$("$BIN/chi7-xor" | head -n 2 | seconds_of_second_line)
awk -v w="$WORDS" -v p="$pipe" -v i="$in_process" 'BEGIN {
  printf "through the pipe: %.3f s, %.0f words/s\n", p, w / p
  printf "in process:       %.3f s, %.0f words/s\n", i, w / i
  printf "pipe / in process: %.2f\n", (w / p) / (w / i)
}'
