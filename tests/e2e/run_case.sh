#!/bin/sh
# Runs one end-to-end case of ti99run and compares what it produced with the
# expected files.
#
#   run_case.sh TI99RUN PROGRAM.bas EXPECTED
#
# EXPECTED is a path without extension; next to it:
#   EXPECTED.out     expected standard output, byte for byte (required)
#   EXPECTED.in      standard input (optional; /dev/null without it)
#   EXPECTED.status  expected exit status (optional; 0 without it)
#   EXPECTED.err     expected standard error (optional; empty without it)
#
# Exit status 0 when everything matches, 1 otherwise (with a readable diff).
set -u

if [ $# -ne 3 ]; then
  echo "usage: $0 TI99RUN PROGRAM.bas EXPECTED" >&2
  exit 2
fi
bin=$1
prog=$2
exp=$3
limit=${TI99_E2E_TIMEOUT:-60}

if [ ! -f "$exp.out" ]; then
  echo "missing expected output $exp.out" >&2
  exit 2
fi

input=/dev/null
[ -f "$exp.in" ] && input=$exp.in
want_status=0
[ -f "$exp.status" ] && want_status=$(tr -d ' \r\n' < "$exp.status")

work=$(mktemp -d "${TMPDIR:-/tmp}/ti99e2e.XXXXXX") || exit 2
trap 'rm -rf "$work"' EXIT INT TERM

if command -v timeout >/dev/null 2>&1; then
  timeout "$limit" "$bin" "$prog" < "$input" > "$work/out" 2> "$work/err"
else
  "$bin" "$prog" < "$input" > "$work/out" 2> "$work/err"
fi
status=$?

if [ -f "$exp.err" ]; then
  cp "$exp.err" "$work/want_err"
else
  : > "$work/want_err"
fi

# Shows a file with every byte visible: non-printing bytes as escapes,
# each line end as "$", and a note when the last line has no line feed.
show() {
  LC_ALL=C sed -n l "$1"
  if [ -s "$1" ] && [ "$(tail -c 1 "$1" | od -An -c | tr -d ' ')" != '\n' ]; then
    echo "(no line feed at the end)"
  fi
}

fail=0
if [ "$status" = 124 ] && [ "$want_status" != 124 ]; then
  echo "TIMEOUT: no end after ${limit}s"
  fail=1
fi
if [ "$status" != "$want_status" ]; then
  echo "exit status: expected $want_status, got $status"
  fail=1
fi
if ! cmp -s "$exp.out" "$work/out"; then
  echo "standard output differs (- expected, + actual):"
  show "$exp.out" > "$work/want_out.txt"
  show "$work/out" > "$work/got_out.txt"
  diff -u "$work/want_out.txt" "$work/got_out.txt" | sed '1,2d'
  fail=1
fi
if ! cmp -s "$work/want_err" "$work/err"; then
  echo "standard error differs (- expected, + actual):"
  show "$work/want_err" > "$work/want_err.txt"
  show "$work/err" > "$work/got_err.txt"
  diff -u "$work/want_err.txt" "$work/got_err.txt" | sed '1,2d'
  fail=1
fi
if [ "$fail" = 0 ]; then
  echo "ok"
fi
exit "$fail"
