#!/bin/sh
# Runs one end-to-end case (README.md: what the files next to EXPECTED hold; each run may take
# TI99_E2E_TIMEOUT seconds, 10 without it); prints a readable diff, exits 1 on any difference.
#   run_case.sh TI99RUN PROGRAM.bas|--no-program EXPECTED
set -u
[ $# -eq 3 ] || { echo "usage: $0 TI99RUN PROGRAM.bas|--no-program EXPECTED" >&2; exit 2; }
bin=$1 prog=$2 exp=$3
limit=${TI99_E2E_TIMEOUT:-10}
input=/dev/null
[ -f "$exp.in" ] && input=$exp.in
want_status=0
[ -f "$exp.status" ] && want_status=$(tr -d ' \r\n' < "$exp.status")

work=$(mktemp -d "${TMPDIR:-/tmp}/ti99e2e.XXXXXX") || exit 2
trap 'rm -rf "$work"' EXIT INT TERM
args=
[ -f "$exp.args" ] && args=$(cat "$exp.args")
[ -f "$exp.screen" ] && args="$args --screen $work/screen"
# The run takes place in a folder of its own, where the program has its bare
# name (as messages then show it) and files it writes land.
mkdir "$work/run"
[ -d "$exp.files" ] && cp -R "$exp.files/." "$work/run/"
input=$(cd "$(dirname "$input")" && pwd)/$(basename "$input")
if [ "$prog" = --no-program ]; then
  # shellcheck disable=SC2086 # the options are words
  (cd "$work/run" && timeout "$limit" "$bin" $args) < "$input" > "$work/out" 2> "$work/err"
else
  name=$(basename "$prog")
  cp "$prog" "$work/run/$name"
  # shellcheck disable=SC2086
  (cd "$work/run" && timeout "$limit" "$bin" $args "$name") < "$input" > "$work/out" 2> "$work/err"
fi
status=$?
[ -f "$exp.err" ] && cp "$exp.err" "$work/want_err" || : > "$work/want_err"

# Every byte visible: escapes for non-printing bytes, "$" at each line end,
# and a note when the last line has no line feed.
show() {
  LC_ALL=C sed -n l "$1"
  if [ -s "$1" ] && [ "$(tail -c 1 "$1" | od -An -c | tr -d ' ')" != '\n' ]; then
    echo "(no line feed at the end)"
  fi
}

# compare NAME EXPECTED ACTUAL
compare() {
  cmp -s "$2" "$3" && return 0
  echo "$1 differs (- expected, + actual):"
  show "$2" > "$work/want.txt"
  show "$3" > "$work/got.txt"
  diff -u "$work/want.txt" "$work/got.txt" | sed '1,2d'
  return 1
}

fail=0
[ "$status" = 124 ] && { echo "TIMEOUT: no end after $limit s"; fail=1; }
[ "$status" = "$want_status" ] || { echo "exit status: expected $want_status, got $status"; fail=1; }
compare "standard output" "$exp.out" "$work/out" || fail=1
compare "standard error" "$work/want_err" "$work/err" || fail=1
[ -f "$exp.screen" ] && { compare "screen" "$exp.screen" "$work/screen" || fail=1; }
if [ -d "$exp.files.after" ]; then
  [ "$prog" = --no-program ] || rm "$work/run/$name"
  diff -r --no-dereference "$exp.files.after" "$work/run" > "$work/files" || {
    echo "files after the run differ (- expected, + actual):"
    fail=1
    while IFS= read -r line; do
      echo "$line"
      case $line in "Binary files "*)  # the first bytes that differ: position, octal values
        want=${line#Binary files } && want=${want% and "$work"/run/*}
        got=$work/run/${line##* and "$work"/run/} && got=${got% differ}
        cmp -l "$want" "$got" 2>&1 | head -n 4 ;;
      esac
    done < "$work/files"
  }
fi
[ "$fail" = 0 ] && echo ok
exit "$fail"
