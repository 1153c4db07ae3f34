#!/bin/sh
# shellcheck disable=SC2016 # the $ of TI BASIC, in single quotes
# What the data cases (cases/file_*) cannot hold: a run of each file format
# killed by SIGTERM while it writes leaves every record it wrote, whole.
# ti99run itself reads the file back.
#   files.sh TI99RUN WORKDIR
set -u
[ $# -eq 2 ] || { echo "usage: $0 TI99RUN WORKDIR" >&2; exit 2; }
case $1 in /*) bin=$1 ;; *) bin=$PWD/$1 ;; esac
rm -rf "$2/files" && mkdir -p "$2/files" && cd "$2/files" || exit 2
fail=0
for kind in '' ',INTERNAL,VARIABLE 20' ',INTERNAL,FIXED 20'; do
  rm -f LOG
  printf '10 OPEN #1:"DSK1.LOG",OUTPUT%s\n20 PRINT #1:STR$(N)\n30 N=N+1\n40 GOTO 20\n' \
    "$kind" > write.bas
  timeout --preserve-status -s TERM 1 "$bin" write.bas < /dev/null > /dev/null 2>&1
  status=$?
  printf '%s\n' "10 OPEN #1:\"DSK1.LOG\",INPUT$kind" '20 INPUT #1:A$' \
    '30 IF A$<>STR$(N) THEN 70' '40 N=N+1' '50 IF EOF(1)=0 THEN 20' \
    '60 PRINT N' '65 END' '70 PRINT "RECORD";N;"IS ";A$' > read.bas
  records=$("$bin" read.bas < /dev/null 2>&1 | tr -d ' ')
  case $kind in '') [ "$(tail -c 1 LOG)" = "" ] || records="a last line without its line end" ;; esac
  [ "$status" = 143 ] && [ "$records" -ge 10 ] 2>/dev/null ||
    { echo "killed${kind:- as text}: status $status, read back: $records"; fail=1; }
done
[ "$fail" = 0 ] && echo ok; exit "$fail"
