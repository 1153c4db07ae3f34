#!/bin/sh
# RANDOMIZE without a seed: three runs of the same program must not all
# print the same numbers.
#   randomize_differs.sh TI99RUN PROGRAM.bas
set -u
bin=$1
prog=$2
run() {
  if command -v timeout >/dev/null 2>&1; then
    timeout 60 "$bin" "$prog" < /dev/null
  else
    "$bin" "$prog" < /dev/null
  fi
}
a=$(run) || { echo "first run failed"; exit 1; }
b=$(run) || { echo "second run failed"; exit 1; }
c=$(run) || { echo "third run failed"; exit 1; }
echo "run 1: $a"
echo "run 2: $b"
echo "run 3: $c"
if [ -z "$a" ]; then
  echo "no output"
  exit 1
fi
if [ "$a" = "$b" ] && [ "$b" = "$c" ]; then
  echo "RANDOMIZE gave the same numbers three times"
  exit 1
fi
echo ok
