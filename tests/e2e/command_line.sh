#!/bin/sh
# The command line: every usage error (one line, the usage, status 2, nothing run), --help and
# --version, options on either side of the program file, "--", and "-" for a listing on
# standard input.
#   command_line.sh TI99RUN WORKDIR
set -u
[ $# -eq 2 ] || { echo "usage: $0 TI99RUN WORKDIR" >&2; exit 2; }
case $1 in /*) bin=$1 ;; *) bin=$PWD/$1 ;; esac
rm -rf "$2/command_line" && mkdir -p "$2/command_line" && cd "$2/command_line" || exit 2
fail=0
usage="Usage: ti99run [OPTION]... [PROGRAM | -]
Try 'ti99run --help' for more information."
printf '10 PRINT "RAN"\n' > ran.bas

# run STDIN ARGUMENTS...: one run, into out, err and status.
run() {
  input=$1 && shift
  timeout 20 "$bin" "$@" < "$input" > out 2> err
  status=$?
}
# expect WHAT STATUS OUTPUT ERROR: the last run (OUTPUT and ERROR as text, no final line feed).
expect() {
  [ "$status" = "$2" ] && [ "$(cat out)" = "$3" ] && [ "$(cat err)" = "$4" ] && return
  echo "$1: expected status $2, got $status; output and standard error:"
  sed -n l out err
  fail=1
}

while IFS='|' read -r arguments message; do
  # shellcheck disable=SC2086 # the arguments are words
  run /dev/null $arguments
  expect "ti99run $arguments" 2 '' "ti99run: $message
$usage"
done <<'TABLE'
--bogus ran.bas|unknown option '--bogus'
-x ran.bas|unknown option '-x'
ran.bas --screen|option '--screen' needs a value
--time-limit|option '--time-limit' needs a value
--time-limit abc ran.bas|--time-limit needs a number of seconds greater than 0, not 'abc'
--time-limit 0 ran.bas|--time-limit needs a number of seconds greater than 0, not '0'
--time-limit -1 ran.bas|--time-limit needs a number of seconds greater than 0, not '-1'
--time-limit 2s ran.bas|--time-limit needs a number of seconds greater than 0, not '2s'
--time-limit inf ran.bas|--time-limit needs a number of seconds greater than 0, not 'inf'
--help=yes|option '--help' takes no value
ran.bas ran.bas|only one program file can be given, not also 'ran.bas'
TABLE

# --help: on standard output, each option and the advice on "ti99run < prog.bas".
for arguments in --help '-h --bogus'; do
  # shellcheck disable=SC2086
  run /dev/null $arguments
  expect "$arguments" 0 "$(cat out)" ''
  for text in "${usage%%
*}" '--screen FILE' '--time-limit SECONDS' '--version' "use a file or '-'"; do
    grep -qF -- "$text" out || { echo "$arguments: no '$text'"; fail=1; }
  done
done
run /dev/null --version
expect '--version' 0 "$(grep -x 'ti99run [0-9][0-9.]*' out)" ''

run /dev/null ran.bas --time-limit 5
expect 'options after the program' 0 'RAN' ''
run /dev/null --tim=5 --scr=- ran.bas
expect 'abbreviated options' 0 "RAN
$(sed 1d out)" ''
[ "$(wc -l < out)" = 25 ] || { echo 'abbreviated options: no screen'; fail=1; }
cp ran.bas ./--screen
run /dev/null -- --screen
expect '"--" ends the options' 0 'RAN' ''

printf '10 PRINT "FROM STDIN"\n20 CALL KEY(0,K,S)\n30 PRINT K;S\n40 INPUT A$\n50 PRINT "NOT HERE"\n' \
  > listing.bas
run listing.bas -
expect '"-": the listing, then no more input' 0 "FROM STDIN
-1  0 
?$(printf '\a ')" ''
[ "$fail" = 0 ] && echo ok; exit "$fail"
