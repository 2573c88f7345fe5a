#!/bin/sh
# A short demonstration of the suite (well under a minute), run by `make run`
# in results/. Each program is stopped after its first lines; the result files
# they appended stay in results/.
set -u
BIN=${BIN:-../build/bin}

show() {
  echo "\$ $*"
}

show "rngstream xor seed2 1 1 --count 4 --hex"
"$BIN/rngstream" xor seed2 1 1 --count 4 --hex
show "rngstream mt array 1 2 3 4 --count 4 --hex"
"$BIN/rngstream" mt array 1 2 3 4 --count 4 --hex
show "rngstream rb5u seed 1 1 --count 4 --hex"
"$BIN/rngstream" rb5u seed 1 1 --count 4 --hex
show "rngstream sfsse2 seed 1234 --count 4 --hex"
"$BIN/rngstream" sfsse2 seed 1234 --count 4 --hex

for p in chi6-xor chi7-xor chi8-xor chi7-rb5u; do
  show "$p   (first 2 of 1000 trials)"
  "$BIN/$p" | head -n 2
done
show "pair-xor 0 75 1 1   (one trial of one pass, a few seconds)"
"$BIN/pair-xor" 0 75 1 1
show "lenser-xor 1 1   (one trial of one pass, a few seconds)"
"$BIN/lenser-xor" 1 1
show "len03-xor 0   (stopped after 3 s: a trial takes seconds to a minute)"
timeout 3 "$BIN/len03-xor" 0; echo
show "lag-xor 1   (stopped after 2 s: a trial takes minutes)"
timeout 2 "$BIN/lag-xor" 1
show "rngstream xor seed2 1 1 | rngtest chi7 --trials 1   (a generator through a pipe)"
"$BIN/rngstream" xor seed2 1 1 | "$BIN/rngtest" chi7 --trials 1
show "speed-xor 1 1"
"$BIN/speed-xor" 1 1
show "rngreport . --html report.html   (p-values and verdicts of what is here)"
"$BIN/rngreport" . --html report.html
echo
echo "Result files in $(pwd):"
ls
