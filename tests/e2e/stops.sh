#!/bin/sh
# Ends of a run from outside, and the screen file at those ends: the time limit
# (its wall time, and in a wait for input), SIGINT, SIGTERM and SIGHUP (everything
# printed so far reaches the output file), a stop while a write is blocked,
# and a new screen file's permissions.
#   stops.sh TI99RUN WORKDIR
set -u
[ $# -eq 2 ] || { echo "usage: $0 TI99RUN WORKDIR" >&2; exit 2; }
case $1 in /*) bin=$1 ;; *) bin=$PWD/$1 ;; esac
rm -rf "$2/stops" && mkdir -p "$2/stops" && cd "$2/stops" || exit 2
umask 022
fail=0

# timed COMMAND...: runs it; its status goes to status, its wall time in ms to ms.
timed() {
  start=$(date +%s%N)
  "$@"
  status=$?
  ms=$(( ($(date +%s%N) - start) / 1000000 ))
}
# check WHAT CONDITION...: reports WHAT with the last run's details unless the test holds.
check() {
  what=$1 && shift
  "$@" && return
  echo "$what: failed [$*] (status $status, $ms ms); output and standard error:"
  sed -n l out err 2>/dev/null | tail -n 8
  fail=1
}
row() { sed -n "$(($1 + 1))p" "$2"; }  # row N (0-23) of a text screen file
starts() { case $1 in "$2"*) return 0 ;; esac; return 1; }  # starts TEXT PREFIX

# The time limit is wall time (a limit taken as milliseconds would end the run at once).
printf '10 GOTO 10\n' > loop.bas
timed "$bin" --time-limit 1 loop.bas < /dev/null > out 2> err
check 'time limit in a loop' [ "$status" = 3 ] && check 'time limit: wall time' [ "$ms" -ge 1000 ]
check 'time limit: wall time' [ "$ms" -lt 6000 ]

# A wait for a line that never comes: standard input is a FIFO held open without writing.
printf '10 INPUT "NAME":A$\n20 PRINT A$\n' > input.bas && mkfifo fifo
sleep 30 > fifo & holder=$!
timed "$bin" --time-limit 1 --screen screen.txt input.bas < fifo > out 2> err
kill "$holder"
check 'time limit in a wait for input' [ "$status" = 3 ] && check 'wait: wall time' [ "$ms" -lt 6000 ]
check 'wait: screen file' [ "$(row 23 screen.txt)" = '  NAME' ]

# A stop signal ends the run by that signal with everything printed so far in the file: the
# lines "N k" in turn, perhaps the start of the next one, and the last whole line still on the
# screen at the stop (a lost buffer would end the file hundreds of lines earlier). timeout sends
# the signal to the run alone with --foreground; without it, a second copy goes to the process
# group, and when the two arrive apart (a busy machine) the second ends the run at once.
printf '10 PRINT "N";I\n20 I=I+1\n30 GOTO 10\n' > count.bas
for signal in INT:130 TERM:143 HUP:129; do
  rm -f screen.txt
  timed timeout --foreground --preserve-status -s "${signal%:*}" 0.5 "$bin" --screen screen.txt \
    count.bas < /dev/null > out 2> err
  lines=$(wc -l < out)
  next=$(tail -n 1 out)
  [ "$(tail -c 1 out | od -An -c | tr -d ' ')" = '\n' ] && next=
  check "SIG${signal%:*}: status" [ "$status" = "${signal#*:}" ]
  check "SIG${signal%:*}: a run of lines" [ "$lines" -gt 100 ]
  check "SIG${signal%:*}: lines in turn" awk -v n="$lines" 'NR <= n && $0 != "N " NR - 1 " " {
    exit 1 }' out
  check "SIG${signal%:*}: the start of the next" starts "N $lines " "$next"
  check "SIG${signal%:*}: the last line on the screen" grep -qx "  N $((lines - 1))" screen.txt
done

# A write that never completes (a reader that never reads) ends by the signal after a grace time.
mkfifo sink
sleep 30 < sink & holder=$!
timed timeout --preserve-status -s TERM 0.5 "$bin" count.bas < /dev/null > sink 2> err
kill "$holder"
check 'a blocked write: status' [ "$status" = 143 ] && check 'blocked write: time' [ "$ms" -lt 8000 ]

printf '10 PRINT "DONE"\n' > done.bas
timed "$bin" --screen picture.png done.bas < /dev/null > out 2> err
check 'a new screen file: permissions from the umask' [ "$(stat -c %a picture.png)" = 644 ]
[ "$fail" = 0 ] && echo ok; exit "$fail"
