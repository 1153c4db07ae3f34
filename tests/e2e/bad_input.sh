#!/bin/sh
# A source too big to keep as a case or that cannot be opened, and standard output that goes away
# or cannot be written: each run must end by itself with the documented status and messages.
#   bad_input.sh TI99RUN WORKDIR
set -u
[ $# -eq 2 ] || { echo "usage: $0 TI99RUN WORKDIR" >&2; exit 2; }
case $1 in /*) bin=$1 ;; *) bin=$PWD/$1 ;; esac
rm -rf "$2/bad_input" && mkdir -p "$2/bad_input" && cd "$2/bad_input" || exit 2
fail=0 why='writing standard output:'

# repeat TEXT N: TEXT repeated to N characters (an escape such as \n in TEXT works).
repeat() {
  awk -v s="$1" -v n="$2" 'BEGIN { while (length(s) < n) s = s s; printf "%s", substr(s, 1, n) }'
}
# run PROGRAM [OUTPUT]: one run, standard input from /dev/null, into out, err and status.
run() { : > out; timeout 60 "$bin" "$1" < /dev/null > "${2:-out}" 2> err; echo $? > status; }
# expect WHAT STATUS OUTPUT ERROR: the last run, without bells (OUTPUT, ERROR: printf formats).
expect() {
  printf "$3" > want_out && printf "$4" > want_err
  tr -d '\a' < out | cmp -s - want_out && cmp -s err want_err && [ "$(cat status)" = "$2" ] &&
    return
  echo "$1: expected status $2, got $(cat status); output and standard error:"
  sed -n l out err
  fail=1
}

repeat "10 REM $(repeat M 90)\\n" 1048600 > megabyte.bas  # 10,700 lines of 98 bytes
echo '10 PRINT "LAST"' >> megabyte.bas
run megabyte.bas; expect 'a megabyte of source' 0 'LAST\n' ''
run none.bas; expect 'a missing file' 1 '' 'opening BASIC source file: No such file or directory\n'

printf '10 PRINT I\n20 I=I+1\n30 GOTO 10\n' > printer.bas && printf '10 PRINT 1\n' > one.bas
( timeout 60 "$bin" printer.bas 2> err; echo $? > status ) < /dev/null | head -n 1 > out
expect '| head -1' 141 ' 0 \n' ''
( trap '' PIPE; timeout 60 "$bin" printer.bas 2> err; echo $? > status ) < /dev/null |
  head -n 1 > out
expect '| head -1, SIGPIPE ignored' 1 ' 0 \n' "$why Broken pipe\\n"
run one.bas /dev/full; expect '> /dev/full' 1 '' "$why No space left on device\\n"
run printer.bas /dev/full; expect '> /dev/full, printing' 1 '' "$why No space left on device\\n"

# Closed descriptors: a closed standard input is the end of input, even for a CALL KEY loop; a
# closed standard output is reported and never taken by a file the program writes.
printf '10 CALL KEY(0,K,S)\n20 IF S=0 THEN 10\n30 PRINT K\n' > key_loop.bas
( timeout 60 "$bin" key_loop.bas > out 2> err <&-; echo $? > status )
expect 'CALL KEY with standard input closed' 0 '' ''
printf '10 OPEN #1:"DSK1.LOG",OUTPUT\n20 PRINT #1:"RECORD"\n30 PRINT "SCREEN"\n' > log.bas
( timeout 60 "$bin" log.bas 2> err < /dev/null >&-; echo $? > status ); : > out
expect 'standard output closed' 1 '' "$why Bad file descriptor\n"
[ "$(cat LOG)" = RECORD ] || { echo "standard output closed: LOG holds $(od -c LOG)"; fail=1; }
( timeout 60 "$bin" - > out 2> err <&-; echo $? > status )
expect 'a listing from a closed standard input' 1 '' 'reading BASIC source file: Bad file descriptor\n'
[ "$fail" = 0 ] && echo ok; exit "$fail"
