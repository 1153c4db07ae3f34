#!/bin/sh
# Plays examples/guess.bas through a pipe four times, guessing 1, 2, 3, ... and then answering
# "N" to "PLAY AGAIN": each game must report the guesses it took and end with GOODBYE, and
# RANDOMIZE must not pick the same number four times.
#   guess_plays.sh TI99RUN GUESS.bas
set -u
work=$(mktemp -d "${TMPDIR:-/tmp}/ti99guess.XXXXXX") || exit 2
trap 'rm -rf "$work"' EXIT INT TERM
{ seq 100; echo N; } > "$work/in"
fail=0 games=
for game in 1 2 3 4; do
  timeout 60 "$1" "$2" < "$work/in" > "$work/out" 2> "$work/err"
  status=$?
  tr -d '\007' < "$work/out" > "$work/plain"
  tries=$(grep -c 'TOO LOW' "$work/plain")
  games="$games $tries"
  # "GUESSES." moves to a line of its own when it does not fit the screen row.
  if [ "$status" != 0 ] || [ -s "$work/err" ] || grep -q 'TOO HIGH' "$work/plain" ||
    ! grep -q "RIGHT! YOU NEEDED $((tries + 1)) " "$work/plain" ||
    ! tail -n 1 "$work/plain" | grep -q 'GOODBYE\.$'; then
    echo "game $game: status $status; output and standard error:" && sed -n l "$work/out" "$work/err"
    fail=1
  fi
done
[ "$games" = " $tries $tries $tries $tries" ] && { echo "the same number four times:$games"; fail=1; }
[ "$fail" = 0 ] && echo ok
exit "$fail"
