#!/bin/sh
# Plays examples/guess.bas through a pipe: guesses 1, 2, 3, ... until the
# secret number is found, then answers "N" to "PLAY AGAIN". The secret number
# changes from run to run, so only the shape of the game is checked.
#   guess_plays.sh TI99RUN GUESS.bas
set -u
bin=$1
prog=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/ti99guess.XXXXXX") || exit 2
trap 'rm -rf "$work"' EXIT INT TERM
i=1
while [ $i -le 100 ]; do echo $i; i=$((i + 1)); done > "$work/in"
echo N >> "$work/in"
if command -v timeout >/dev/null 2>&1; then
  timeout 60 "$bin" "$prog" < "$work/in" > "$work/out" 2> "$work/err"
else
  "$bin" "$prog" < "$work/in" > "$work/out" 2> "$work/err"
fi
status=$?
LC_ALL=C sed -n l "$work/out"
fail=0
[ "$status" = 0 ] || { echo "exit status $status, expected 0"; fail=1; }
[ -s "$work/err" ] && { echo "unexpected standard error:"; cat "$work/err"; fail=1; }
tr -d '\007' < "$work/out" > "$work/plain"
tries=$(grep -c 'TOO LOW' "$work/plain")
grep -q 'TOO HIGH' "$work/plain" && { echo "a rising guess was called too high"; fail=1; }
# "GUESSES." moves to a line of its own when it does not fit the screen row.
grep -q "RIGHT! YOU NEEDED $((tries + 1)) " "$work/plain" ||
  { echo "no RIGHT line for $((tries + 1)) guesses"; fail=1; }
tail -n 1 "$work/plain" | grep -q "GOODBYE\.$" || { echo "does not end with GOODBYE."; fail=1; }
[ "$fail" = 0 ] && echo ok
exit "$fail"
