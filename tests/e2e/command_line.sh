#!/bin/sh
# What the cases cannot give, since their options come before the program: an option that
# ends the command line without its value, options after the program, "--" before a program
# named like an option, "-" for a listing on standard input; and --version.
#   command_line.sh TI99RUN WORKDIR
set -u
[ $# -eq 2 ] || { echo "usage: $0 TI99RUN WORKDIR" >&2; exit 2; }
case $1 in /*) bin=$1 ;; *) bin=$PWD/$1 ;; esac
rm -rf "$2/command_line" && mkdir -p "$2/command_line" && cd "$2/command_line" || exit 2
fail=0
printf '10 PRINT "RAN"\n' > ran.bas

# expect WHAT STATUS OUTPUT ERROR STDIN ARGUMENTS...: one run (OUTPUT and ERROR as text, no
# final line feed).
expect() {
  what=$1 status=$2 output=$3 error=$4 input=$5 && shift 5
  timeout 20 "$bin" "$@" < "$input" > out 2> err
  got=$?
  [ "$got" = "$status" ] && [ "$(cat out)" = "$output" ] && [ "$(cat err)" = "$error" ] && return
  echo "$what: expected status $status, got $got; output and standard error:"
  sed -n l out err
  fail=1
}

usage="Usage: ti99run [OPTION]... [PROGRAM | -]
Try 'ti99run --help' for more information."
expect 'an option at the end without its value' 2 '' "ti99run: option '--screen' needs a value
$usage" /dev/null ran.bas --screen
expect 'the only argument, an option without its value' 2 '' \
  "ti99run: option '--time-limit' needs a value
$usage" /dev/null --time-limit
expect 'options after the program' 0 RAN '' /dev/null ran.bas --time-limit 5
cp ran.bas ./--screen
expect '"--" ends the options' 0 RAN '' /dev/null -- --screen
printf '10 PRINT "FROM STDIN"\n20 CALL KEY(0,K,S)\n30 PRINT K;S\n40 INPUT A$\n50 PRINT "NOT HERE"\n' \
  > listing.bas
expect '"-": the listing, then no more input' 0 "FROM STDIN
-1  0 
?$(printf '\a ')" '' listing.bas -
timeout 20 "$bin" --version > out 2> err && grep -qx 'ti99run [0-9][0-9.]*' out && [ ! -s err ] ||
  { echo "--version: $(cat out err)"; fail=1; }
[ "$fail" = 0 ] && echo ok; exit "$fail"
