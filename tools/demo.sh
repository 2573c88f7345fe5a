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

for p in chi6-xor chi7-xor chi8-xor; do
  show "$p   (first 2 of 1000 trials)"
  "$BIN/$p" | head -n 2
done
show "speed-xor 1 1"
"$BIN/speed-xor" 1 1
echo
echo "Result files in $(pwd):"
ls
