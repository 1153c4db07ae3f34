#!/bin/sh
# Programs that use files. Each case runs in a folder of its own (DSK1-DSK3 and
# the cassettes are the current directory unless an option says otherwise);
# what it prints, its status and the files it leaves are compared with what the
# console with a disk system gives. Standard error must stay empty throughout:
# nothing of the card's traffic shows.
#   files.sh TI99RUN WORKDIR
set -u
[ $# -eq 2 ] || { echo "usage: $0 TI99RUN WORKDIR" >&2; exit 2; }
case $1 in /*) bin=$1 ;; *) bin=$PWD/$1 ;; esac
top=$2/files
rm -rf "$top" && mkdir -p "$top" || exit 2
case $top in /*) ;; *) top=$PWD/$top ;; esac
fail=0

# begin NAME: a fresh folder for the case.
begin() { name=$1; mkdir "$top/$1" && cd "$top/$1" || exit 2; }
# run ARG...: one run with standard input from /dev/null, into out, err and status.
run() { timeout 60 "$bin" "$@" < /dev/null > out 2> err; echo $? > status; }
# expect STATUS OUTPUT: the last run's status and output (a printf format; bells dropped).
expect() {
  printf "$2" > want_out
  tr -d '\a' < out | cmp -s - want_out && [ ! -s err ] && [ "$(cat status)" = "$1" ] && return
  echo "$name: expected status $1, got $(cat status); output and standard error:"
  sed -n l out err
  fail=1
}
# expect_file FILE CONTENT: a file's bytes (a printf format).
expect_file() {
  printf "$2" > want_file
  cmp -s "$1" want_file && return
  echo "$name: $1 differs; it holds:"
  od -c "$1" 2>&1 | head -20
  fail=1
}

begin display_variable_text
cat > prog.bas <<'EOF'
10 OPEN #1:"DSK1.NOTES",OUTPUT
20 PRINT #1:"FIRST LINE"
30 PRINT #1:"SECOND";2
40 CLOSE #1
50 OPEN #1:"DSK1.NOTES",INPUT
60 INPUT #1:A$
70 PRINT A$
80 IF EOF(1)=0 THEN 60
90 CLOSE #1
EOF
run prog.bas; expect 0 'FIRST LINE\nSECOND 2\n'
expect_file NOTES 'FIRST LINE\nSECOND 2 \n'

begin text_made_elsewhere
printf 'alpha\r\nbeta, gamma\n"quoted, comma"\n  spaced  \n\nlast' > WORDS
cat > prog.bas <<'EOF'
10 OPEN #1:"DSK1.WORDS",INPUT
20 INPUT #1:A$
30 PRINT "[";A$;"]"
40 IF EOF(1)=0 THEN 20
EOF
run prog.bas; expect 0 '[alpha]\n[beta]\n[quoted, comma]\n[spaced]\n[]\n[last]\n'

begin pending_input_and_append
printf 'A,B,C\n' > LIST
cat > prog.bas <<'EOF'
10 OPEN #1:"DSK1.LIST",APPEND
20 PRINT #1:"D,E"
30 CLOSE #1
40 OPEN #1:"DSK1.LIST",INPUT
50 INPUT #1:X$,
60 INPUT #1:Y$,Z$
70 INPUT #1:V$,W$
80 PRINT X$;Y$;Z$;V$;W$;EOF(1)
EOF
run prog.bas; expect 0 'ABCDE 1 \n'
expect_file LIST 'A,B,C\nD,E\n'
cat > prog.bas <<'EOF'
10 OPEN #1:"DSK1.FIXED",OUTPUT,FIXED 10
20 PRINT #1:"ONE"
30 PRINT #1:"TWO"
40 CLOSE #1
50 OPEN #1:"DSK1.FIXED",APPEND,FIXED 10
60 PRINT #1:"THREE"
70 CLOSE #1
80 OPEN #1:"DSK1.FIXED",INPUT,FIXED
90 INPUT #1:A$
100 PRINT A$;
110 IF EOF(1)=0 THEN 90
EOF
run prog.bas; expect 0 'ONETWOTHREE'

begin relative_internal_fixed
cat > prog.bas <<'EOF'
100 OPEN #1:"DSK1.STOCK",RELATIVE,INTERNAL,UPDATE,FIXED 32
110 FOR I=0 TO 4
120 PRINT #1,REC I:"ITEM"&STR$(I),I*1.5
130 NEXT I
140 INPUT #1,REC 2:N$,Q
150 PRINT #1,REC 2:N$,Q+100
160 RESTORE #1,REC 1
170 FOR I=1 TO 4
180 INPUT #1:N$,Q
190 PRINT N$;Q;EOF(1)
200 NEXT I
210 CLOSE #1
220 OPEN #1:"DSK1.STOCK",RELATIVE,INTERNAL,INPUT
230 INPUT #1,REC 5:N$
EOF
run prog.bas
expect 1 'ITEM1 1.5  0 \nITEM2 103  0 \nITEM3 4.5  0 \nITEM4 6  1 \n\n* I/O ERROR 25 IN 230\n\n'
head -c 16 STOCK > header; expect_file header '\007TIFILES\000\001\002\010\240\040\005\000'

begin read_past_the_end
printf 'ONLY\n' > ONE
cat > prog.bas <<'EOF'
10 OPEN #1:"DSK1.ONE",INPUT
20 INPUT #1:A$
30 PRINT A$
40 INPUT #1:A$
50 PRINT "NOT HERE"
EOF
run prog.bas; expect 1 'ONLY\n\n* I/O ERROR 25 IN 40\n\n'

begin line_longer_than_the_record
awk 'BEGIN { while (n++ < 81) printf "X"; print "" }' > LONG
printf '10 OPEN #1:"DSK1.LONG",INPUT\n20 INPUT #1:A$\n' > prog.bas
run prog.bas; expect 1 '\n* I/O ERROR 22 IN 20\n\n'
printf '10 OPEN #1:"DSK1.LONG",INPUT,VARIABLE 81\n20 INPUT #1:A$\n30 PRINT LEN(A$)\n' > prog.bas
run prog.bas; expect 0 ' 81 \n'

begin save_old_run
cat > prog.bas <<'EOF'
10 PRINT "SAVED AND LOADED"
20 FOR I=1 TO 3
30 PRINT I;
40 NEXT I
SAVE DSK1.PROG
NEW
10 PRINT "NOT THIS"
OLD DSK1.PROG
EOF
run prog.bas; expect 0 'TI BASIC READY\nSAVED AND LOADED\n 1  2  3 '
head -c 12 PROG > header; expect_file header '\007TIFILES\000\001\001\000'
run PROG; expect 0 'SAVED AND LOADED\n 1  2  3 '
run --list PROG; expect 0 '10 PRINT "SAVED AND LOADED"\n20 FOR I=1 TO 3\n30 PRINT I;\n40 NEXT I\n'
cp PROG image.tfi; printf '\377' | dd of=image.tfi bs=1 seek=9 conv=notrunc 2>/dev/null
run image.tfi  # 255 sectors: more than the file holds
printf 'reading program image image.tfi: a TIFILES header that does not fit the file\n' > want_err
[ "$(cat status)" = 1 ] && cmp -s err want_err || { echo "$name: a data file as image"; fail=1; }

begin missing_file_and_bad_names
printf '10 OPEN #1:"DSK1.NOSUCH",INPUT\n' > prog.bas
run prog.bas; expect 1 '\n* I/O ERROR 07 IN 10\n\n'
for bad in 'DSK1.../x' 'DSK1..' 'DSK1./etc/passwd' 'DSK1.A B' 'dsk1.A.B'; do
  printf '10 OPEN #1:"%s",OUTPUT\n' "$bad" > prog.bas
  run prog.bas; expect 1 '\n* I/O ERROR 00 IN 10\n\n'
done
[ "$(ls | sort | tr '\n' ' ')" = "err out prog.bas status want_out " ] ||
  { echo "$name: files were made: $(ls)"; fail=1; }

begin drive_folders
mkdir two three
cat > prog.bas <<'EOF'
10 OPEN #1:"dsk2.lower",OUTPUT
20 PRINT #1:"IN TWO"
30 OPEN #2:"DSK3.UPPER",OUTPUT,INTERNAL,FIXED 10
40 PRINT #2:"IN THREE"
50 CLOSE #2:DELETE
55 CLOSE #1
60 DELETE "DSK2.lower"
70 OPEN #3:"DSK1.HERE",OUTPUT
EOF
run --dsk2 two --dsk3=three prog.bas; expect 0 ''
[ -f HERE ] && [ -z "$(ls -A two)$(ls -A three)" ] || { echo "$name: $(ls . two three)"; fail=1; }
run --dsk2 missing prog.bas
[ "$(cat status)" = 2 ] && grep -q 'dsk2 missing' err || { echo "$name: a missing folder"; fail=1; }

begin catalog
mkdir disk disk/SUB && cd disk && printf 'X\n' | tee TEXT "not a TI name" ELEVENCHARS > /dev/null && cd ..
cat > prog.bas <<'EOF'
10 OPEN #1:"DSK1.NUMBERS",OUTPUT,INTERNAL,FIXED 20
20 PRINT #1:1
30 CLOSE #1
40 OPEN #1:"DSK1.",INPUT,RELATIVE,INTERNAL
50 INPUT #1:N$,A,J,K
60 PRINT N$;A;J-K
70 INPUT #1:N$,A,J,K
80 PRINT N$;A;J;K
90 IF LEN(N$) THEN 70
100 OPEN #2:"DSK1.",INPUT,INTERNAL,VARIABLE
EOF
run --dsk1 disk prog.bas
expect 1 'disk 0  4 \nNUMBERS 3  2  20 \nTEXT 2  2  80 \n 0  0  0 \n\n* I/O ERROR 02 IN 100\n\n'

begin cassette
printf '10 OPEN #1:"CS1",OUTPUT\n20 PRINT "NOT HERE"\n' > prog.bas
run prog.bas; expect 1 '\n* I/O ERROR 03 IN 10\n\n'
cat > prog.bas <<'EOF'
10 OPEN #1:"CS1",OUTPUT,INTERNAL,FIXED
20 PRINT #1:"ON TAPE",1
30 CLOSE #1
40 OPEN #1:"CS1",INPUT,INTERNAL,FIXED
50 INPUT #1:A$,B
60 PRINT A$;B
65 CLOSE #1:DELETE
66 OPEN #1:"CS1",INPUT,INTERNAL,FIXED
70 OPEN #2:"CS2",UPDATE,FIXED
EOF
run --cs1 tape.tfi prog.bas; expect 1 'ON TAPE 1 \n\n* I/O ERROR 03 IN 70\n\n'
head -c 16 tape.tfi > header; expect_file header '\007TIFILES\000\001\002\004\100\100\001\000'
printf '10 PRINT "ON CS1"\nSAVE CS1\nNEW\nOLD CS1\n' > prog.bas
run prog.bas; expect 0 'TI BASIC READY\nON CS1\n'
printf 'OLD CS2\n10 DELETE "CS1"\n' > prog.bas
run prog.bas; expect 1 '* WARNING:\n  CHECK PROGRAM IN MEMORY\n\n* I/O ERROR 53\n\n'
[ -f CS1 ] || { echo "$name: no CS1"; fail=1; }

begin stopped_by_an_error
cat > prog.bas <<'EOF'
10 OPEN #1:"DSK1.LOG",OUTPUT
20 FOR I=1 TO 3
30 PRINT #1:"RECORD";I
40 NEXT I
50 X=SQR(-1)
EOF
run prog.bas; expect 1 '\n* BAD ARGUMENT IN 50\n\n'
expect_file LOG 'RECORD 1 \nRECORD 2 \nRECORD 3 \n'

begin killed_by_sigterm
printf '10 OPEN #1:"DSK1.LOG",OUTPUT\n20 PRINT #1:I\n30 I=I+1\n40 GOTO 20\n' > prog.bas
timeout --preserve-status -s TERM 1 "$bin" prog.bas < /dev/null > out 2> err
echo $? > status
awk '$1 != NR - 1 { bad = 1 } END { exit bad || NR < 10 }' LOG && [ "$(tail -c 1 LOG)" = "" ] &&
  [ "$(cat status)" = 143 ] ||
  { echo "$name: status $(cat status), $(wc -l < LOG) lines, ends: $(tail -c 20 LOG | od -c)"; fail=1; }

[ "$fail" = 0 ] && echo ok; exit "$fail"
