#!/usr/bin/env bash
# windows_blackbox.sh LINUX_BUILD WINDOWS_BUILD
#
# pelmo.exe under Wine against the Linux quote-server on loopback, side by side with the
# Linux pelmo on the same runs: output file, backup, standard error (redirected), standard
# output and exit code must be the same bytes. Then what only Windows has: a file held open
# without sharing, a read-only file, a missing folder (Windows error codes, by design not
# errno), a Japanese folder name, and the version line read from the program's resource.
# Standard error through a pipe gets none of what the console shows a person.
# Failing services (refused, a body or the headers cut short, a busy service) are compared
# too, with the wording that differs between the systems set aside.
# Prints one "N passed, N failed" line; exits 1 when anything failed.
set -uo pipefail
linux=$(cd "$1" && pwd)
windows=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
servers=()
cleanup() {
  for pid in "${servers[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "ok: $1"; }
fail() { failed=$((failed + 1)); echo "FAILED: $1"; }

linux_pelmo() { "$linux/app/pelmo" "$@"; }
windows_pelmo() { "$here/wine_run.sh" "$windows/wineprefix" "$windows/app/pelmo.exe" "$@"; }

# start_server VAR [quote-server options]: starts a server on a free port, its port in VAR.
start_server() {
  local var=$1
  shift
  local out=$work/server-$var
  "$linux/tools/quote_server/quote-server" --port 0 "$@" >"$out" 2>/dev/null &
  servers+=($!)
  for _ in $(seq 100); do
    [[ -s $out ]] && break
    sleep 0.05
  done
  printf -v "$var" '%s' "$(head -1 "$out")"
}

# run SIDE DIR ARGS...: runs one side's pelmo in DIR; its stderr, stdout and exit code are
# kept beside the files it writes.
run() {
  local side=$1 dir=$2
  shift 2
  (cd "$dir" && "${side}_pelmo" "$@" >../"$(basename "$dir")".out 2>../"$(basename "$dir")".err
   echo $? >../"$(basename "$dir")".code)
}

# files DIR: the files under DIR, by path relative to it.
files() { (cd "$1" && find . -type f | sort); }

# same_results NAME: every file in the two folders and the streams of both runs are equal.
same_results() {
  local name=$1 a=$work/$1/linux b=$work/$1/windows
  local problem=""
  [[ $(files "$a") == $(files "$b") ]] ||
    problem="files differ: $(files "$a" | tr '\n' ' ')/ $(files "$b" | tr '\n' ' ')"
  # A run whose every window failed creates no file, on either system.
  [[ -n $(files "$a") || " usage bad-date status-404 refused body-cut-short headers-cut-short busy-429 oversized-page silent trickle " == *" $name "* ]] ||
    problem+=" no file written;"
  while read -r f; do
    cmp -s "$a/$f" "$b/$f" || problem+=" $f differs;"
  done < <(files "$a")
  for s in err code; do
    cmp -s "$a.$s" "$b.$s" || problem+=" std$s/exit code differs ($(head -c 200 "$a.$s") / $(head -c 200 "$b.$s"));"
  done
  # Standard output: the Windows text convention, lines ending in CR LF.
  cmp -s <(sed 's/$/\r/' "$a.out") "$b.out" || problem+=" stdout differs;"
  if [[ -z $problem ]]; then pass "$name"; else fail "$name:$problem"; fi
}

# run_both NAME ARGS...: both programs on the same arguments in fresh folders, at the same
# time, so that the retry pauses of a failing service are waited once rather than once per
# side. Every service here answers each connection on its own.
run_both() {
  local name=$1 linux_side
  shift
  mkdir -p "$work/$name/linux" "$work/$name/windows"
  run linux "$work/$name/linux" "$@" &
  linux_side=$!
  run windows "$work/$name/windows" "$@"
  wait "$linux_side"
}

# compare NAME ARGS...: run_both, then the results of the two sides compared.
compare() {
  run_both "$@"
  same_results "$1"
}

# start_big_page_server VAR: a plain file server on a free port, its port in VAR, that answers
# every price page address with one page of 5 MiB, over the 4 MiB cap.
start_big_page_server() {
  local site=$work/big-site out=$work/server-$1
  mkdir -p "$site"
  head -c $((5 << 20)) /dev/zero | tr '\0' 'x' >"$site/t"
  (cd "$site" && exec python3 -u -m http.server --bind 127.0.0.1 0 >"$out" 2>/dev/null) &
  servers+=($!)
  for _ in $(seq 100); do
    grep -q port "$out" 2>/dev/null && break
    sleep 0.05
  done
  printf -v "$1" '%s' "$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$out" | head -1)"
}

# start_faulty_server VAR MODE: scripts/faulty_service.py in MODE on a free port, its port in VAR.
start_faulty_server() {
  local out=$work/server-$1
  python3 -u "$here/faulty_service.py" "$2" >"$out" 2>/dev/null &
  servers+=($!)
  for _ in $(seq 100); do
    [[ -s $out ]] && break
    sleep 0.05
  done
  printf -v "$1" '%s' "$(head -1 "$out")"
}

# compare_reworded NAME LINUX_WORDS WINDOWS_WORDS ARGS...: as compare, where Windows says
# WINDOWS_WORDS in its messages for what Linux says LINUX_WORDS (the README lists them).
compare_reworded() {
  local name=$1 linux_words=$2 windows_words=$3
  shift 3
  run_both "$name" "$@"
  if grep -q "$windows_words" "$work/$name/windows.err"; then
    sed -i "s/$windows_words/$linux_words/" "$work/$name/windows.err"
  else
    fail "$name: no '$windows_words' from Windows: $(head -c 200 "$work/$name/windows.err")"
  fi
  same_results "$name"
}

start_server port
start_big_page_server big
start_faulty_server cut_body cut-body
start_faulty_server cut_headers cut-headers
start_faulty_server busy busy
start_faulty_server silent silent
start_faulty_server trickle trickle
start_server failing --fail-first 3
start_server crlf --crlf
host=(--host "127.0.0.1:$port")

compare daily-adjusted -a -s 1990/01/01 -e 2026/11/30 "${host[@]}" 7203
compare weekly -p w -s 2010/01/01 -e 2016/12/31 "${host[@]}" 6758
compare margin -z -s 2015/01/01 -e 2016/12/31 "${host[@]}" 7203
compare monthly-tabs -p m -t -s 2001/01/01 -e 2016/12/31 "${host[@]}" 9984
compare fail-first -s 2016/01/01 -e 2016/06/30 --host "127.0.0.1:$failing" 7203
compare crlf -s 2016/01/01 -e 2016/06/30 --host "127.0.0.1:$crlf" 7203
compare status-404 -s 2016/01/01 -e 2016/03/31 --host "http://127.0.0.1:$port/none" 7203
# The test hook shortens only the pauses between the attempts of the runs below.
export PELMO_QUICK_PAUSES_FOR_TESTS=1
compare_reworded refused "connection refused" "cannot connect" \
  -s 2016/01/01 -e 2016/01/31 --host 127.0.0.1:1 7203
compare body-cut-short -s 2016/01/01 -e 2016/03/31 --host "127.0.0.1:$cut_body" 7203
compare headers-cut-short -s 2016/01/01 -e 2016/03/31 --host "127.0.0.1:$cut_headers" 7203
compare busy-429 -s 2015/01/01 -e 2016/03/31 --host "127.0.0.1:$busy" 7203
# The other hook shortens the time bounds: an attempt ends after 1 s without a byte or 2 s
# in all, a window after 4 s, so that the silent and the trickling service cost seconds.
export PELMO_SHORT_BOUNDS_FOR_TESTS=1
compare silent -s 2016/01/01 -e 2016/06/30 --host "127.0.0.1:$silent" 7203
compare trickle -s 2016/01/01 -e 2016/06/30 --host "127.0.0.1:$trickle" 7203
unset PELMO_QUICK_PAUSES_FOR_TESTS PELMO_SHORT_BOUNDS_FOR_TESTS
compare oversized-page -s 2016/01/01 -e 2016/01/31 --host "127.0.0.1:$big" 7203
grep -q "page too large" "$work/oversized-page/windows.err" ||
  fail "oversized page: no 'page too large' line: $(head -c 200 "$work/oversized-page/windows.err")"
compare usage -h
compare bad-date -s 2002/13/01 7203
# A list of codes, two at a time, into a folder: the same files, lines and exit code (the
# refused line makes it 1). The range holds no split, so no code writes a line of its own.
for side in linux windows; do
  mkdir -p "$work/codes/$side/out"
  printf '# portfolio\r\n7203\n\n  6758 \n../x\n9984.t\n' >"$work/codes/$side/codes.txt"
done
compare codes -s 2016/01/01 -e 2016/06/30 "${host[@]}" --jobs 2 --codes codes.txt -o out
grep -q "^pelmo: 1 of 4 codes failed: ../x$" "$work/codes/windows.err" ||
  fail "codes: no closing line: $(head -c 200 "$work/codes/windows.err")"

# A merge into an earlier file: the second run reads the first one's file and keeps it as
# the backup.
mkdir -p "$work/merge/linux" "$work/merge/windows"
for side in linux windows; do
  run $side "$work/merge/$side" -a -s 2003/06/01 -e 2004/06/30 "${host[@]}" -o prices.csv 7203
  run $side "$work/merge/$side" -a -s 2004/01/01 -e 2004/12/31 "${host[@]}" -o prices.csv 7203
done
same_results merge

# Mostly Windows only. An earlier file that the run must keep, byte for byte.
seed() {
  mkdir -p "$1"
  printf '2016/01/04,1,2,3,4,5,6\r\n' >"$1/7203.csv"
}
leftovers() { find "$1" -name '.pelmo-*' | wc -l; }

# held: another program holds the file without sharing, as a spreadsheet does.
dir=$work/held
seed "$dir"
"$here/wine_run.sh" "$windows/wineprefix" "$windows/app/hold_file_for_test.exe" "$dir/7203.csv" 6 \
  >"$work/held.holder" &
holder=$!
for _ in $(seq 100); do grep -q held "$work/held.holder" 2>/dev/null && break; sleep 0.05; done
(cd "$dir" && windows_pelmo -s 2016/01/04 -e 2016/01/08 "${host[@]}" 7203 2>../held.err)
code=$?
wait $holder
if [[ $code == 32 && $(cat "$dir/7203.csv") == $'2016/01/04,1,2,3,4,5,6\r' && ! -e $dir/7203.bak &&
      $(leftovers "$dir") == 0 && $(cat "$work/held.err") == "pelmo: cannot write 7203.csv: "* ]]; then
  pass "held without sharing: exit 32, file kept, nothing left"
else
  fail "held without sharing: exit $code, $(cat "$work/held.err"), $(ls -A "$dir" | tr '\n' ' ')"
fi

# read-only: Wine shows a file without write permission as read-only.
dir=$work/readonly
seed "$dir"
chmod a-w "$dir/7203.csv"
(cd "$dir" && windows_pelmo -s 2016/01/04 -e 2016/01/08 "${host[@]}" 7203 2>../readonly.err)
code=$?
if [[ $code == 5 && $(cat "$dir/7203.csv") == $'2016/01/04,1,2,3,4,5,6\r' && ! -e $dir/7203.bak &&
      $(leftovers "$dir") == 0 && $(cat "$work/readonly.err") == "pelmo: cannot write 7203.csv: "* ]]; then
  pass "read-only file: exit 5, file kept, nothing left"
else
  fail "read-only file: exit $code, $(cat "$work/readonly.err"), $(ls -A "$dir" | tr '\n' ' ')"
fi

# missing folder: ERROR_PATH_NOT_FOUND, where Linux says ENOENT (2).
dir=$work/missing
mkdir -p "$dir"
(cd "$dir" && windows_pelmo -s 2016/01/04 -e 2016/01/08 "${host[@]}" -o absent/7203.csv 7203 \
  2>../missing.err)
code=$?
if [[ $code == 3 && -z $(ls -A "$dir") &&
      $(cat "$work/missing.err") == "pelmo: cannot write absent/7203.csv: "* ]]; then
  pass "missing folder: exit 3, nothing written"
else
  fail "missing folder: exit $code, $(cat "$work/missing.err")"
fi

# Failures known before the first request: against a service that never answers, a run that
# asked it anything would still be waiting when `timeout` ends it. A missing folder is 2 on
# Linux and 3 on Windows.
early() {
  local name=$1 code=$2 subject=$3
  shift 3
  local dir=$work/$name
  (cd "$dir" && timeout 60 "$@" -s 2016/01/04 -e 2016/01/08 --host "127.0.0.1:$silent" 7203 \
    2>../"$name".err)
  local got=$?
  if [[ $got == "$code" && $(cat "$work/$name.err") == "pelmo: cannot write $subject: "* &&
        $(leftovers "$dir") == 0 ]]; then
    pass "$name: exit $code before any request"
  else
    fail "$name: exit $got, $(cat "$work/$name.err"), $(ls -A "$dir" | tr '\n' ' ')"
  fi
}
windows_exe=("$here/wine_run.sh" "$windows/wineprefix" "$windows/app/pelmo.exe")
mkdir -p "$work/early-missing-linux" "$work/early-missing-windows" "$work/early-name"
early early-missing-linux 2 absent/7203.csv "$linux/app/pelmo" -o absent/7203.csv
early early-missing-windows 3 absent/7203.csv "${windows_exe[@]}" -o absent/7203.csv
early early-name 123 'a?.csv' "${windows_exe[@]}" -o 'a?.csv'

# held backup: the backup is held without sharing; the run names it and stops at once.
dir=$work/held-backup
seed "$dir"
printf '2016/01/01,1,2,3,4,5,6\r\n' >"$dir/7203.bak"
"$here/wine_run.sh" "$windows/wineprefix" "$windows/app/hold_file_for_test.exe" "$dir/7203.bak" 6 \
  >"$work/held-backup.holder" &
holder=$!
for _ in $(seq 100); do grep -q held "$work/held-backup.holder" 2>/dev/null && break; sleep 0.05; done
early held-backup 32 7203.bak "${windows_exe[@]}"
wait $holder
[[ $(cat "$dir/7203.csv") == $'2016/01/04,1,2,3,4,5,6\r' &&
   $(cat "$dir/7203.bak") == $'2016/01/01,1,2,3,4,5,6\r' ]] ||
  fail "held backup: the files changed"

# NUL is the null device, as on Linux /dev/null: the lines go there and no file appears.
dir=$work/nul
mkdir -p "$dir"
(cd "$dir" && windows_pelmo -s 2016/01/04 -e 2016/01/08 "${host[@]}" -o NUL 7203 2>../nul.err)
code=$?
if [[ $code == 0 && -z $(ls -A "$dir") && ! -s $work/nul.err ]]; then
  pass "NUL: exit 0, written straight through"
else
  fail "NUL: exit $code, $(cat "$work/nul.err"), $(ls -A "$dir" | tr '\n' ' ')"
fi

# Interrupted: Wine turns SIGINT into Ctrl+C for the console; the run ends with
# STATUS_CONTROL_C_EXIT (0xC000013A, of which Wine passes on the low byte, 58), never 0.
dir=$work/interrupted
seed "$dir"
(cd "$dir" && exec "$here/wine_run.sh" "$windows/wineprefix" "$windows/app/pelmo.exe" \
  -s 2016/01/04 -e 2016/01/08 --host "127.0.0.1:$silent" 7203 2>../interrupted.err) &
run=$!
sleep 3
kill -INT $run
wait $run
code=$?
if [[ $code == 58 && $(cat "$dir/7203.csv") == $'2016/01/04,1,2,3,4,5,6\r' &&
      $(leftovers "$dir") == 0 ]]; then
  pass "interrupted: exit 0xC000013A, file kept"
else
  fail "interrupted: exit $code, $(ls -A "$dir" | tr '\n' ' ')"
fi

# A Japanese folder name, given on the command line, read and written through.
mkdir -p "$work/japanese/linux/株価" "$work/japanese/windows/株価"
for side in linux windows; do
  run $side "$work/japanese/$side" -s 2016/01/01 -e 2016/03/31 "${host[@]}" -o 株価/7203.csv 7203
  run $side "$work/japanese/$side" -s 2016/03/01 -e 2016/04/30 "${host[@]}" -o 株価/7203.csv 7203
done
if [[ -s $work/japanese/windows/株価/7203.bak ]]; then
  same_results japanese
else
  fail "japanese folder: no backup written: $(ls -A "$work/japanese/windows/株価")"
fi

# Standard error through a pipe, on a run that would show a status line, a waiting window,
# a failed window and a summary on the console: the same bytes as Linux, and none of these.
mkdir -p "$work/piped/linux" "$work/piped/windows"
for side in linux windows; do
  (cd "$work/piped/$side" &&
    "${side}_pelmo" -s 2015/01/01 -e 2016/06/30 --host "127.0.0.1:$failing" 7203 2>&1 >/dev/null |
    cat >../$side.pipe)
done
if cmp -s "$work/piped/linux.pipe" "$work/piped/windows.pipe" &&
   ! grep -qE $'\r|rows downloaded|, attempt' "$work/piped/windows.pipe"; then
  pass "piped standard error: Linux's bytes, no status line or summary"
else
  fail "piped standard error: $(head -c 200 "$work/piped/windows.pipe" | od -c | head -5)"
fi

# A message naming a Japanese path, redirected: the path's UTF-8 bytes, as on Linux.
mkdir -p "$work/japanese-missing"
(cd "$work/japanese-missing" &&
  windows_pelmo -s 2016/01/04 -e 2016/01/08 "${host[@]}" -o 株価なし/7203.csv 7203 2>../japanese-missing.err)
if [[ $(cat "$work/japanese-missing.err") == "pelmo: cannot write 株価なし/7203.csv: "* ]]; then
  pass "japanese path in a redirected message: UTF-8 bytes"
else
  fail "japanese path in a redirected message: $(od -c "$work/japanese-missing.err" | head -3)"
fi

# The console. Wine gives a program whose standard error is a terminal a console of its own,
# drawn on that terminal with escape sequences; script(1) provides the terminal. The
# sequences and carriage returns are taken out, so that what remains is the text shown.
on_console() {  # on_console DIR INPUT_COMMAND ARGS...: the text a console run shows, on stdout
  local dir=$1 input=$2
  shift 2
  local command="stty cols 200; cd '$dir' && '$here/wine_run.sh' '$windows/wineprefix'"
  command+=" '$windows/app/pelmo.exe' $* >/dev/null"
  eval "$input" | LANG=C.UTF-8 script -qec "$command" /dev/null |
    sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' | tr '\r' '\n'
}
if command -v script >/dev/null; then
  dir=$work/console
  mkdir -p "$dir/株価"
  on_console "$dir" "sleep 0" -a -s 2003/06/01 -e 2004/06/30 "${host[*]}" -o 株価/7203.csv 7203 \
    >"$work/console.shown"
  summary="pelmo: 7203.t: 280 rows downloaded; 株価/7203.csv holds 280 rows, 2003/06/02 to"
  summary+=" 2004/06/30; no backup: there was no earlier file"
  if grep -qxF "$summary" "$work/console.shown" &&
     grep -qxF "2004/01/26,分割: 1株 -> 1.5株" "$work/console.shown" &&
     grep -qE '^7203\.t 20[0-9/-]+ [1-8]/8 [0-9]+ rows' "$work/console.shown"; then
    pass "console: status line, note and summary in their own characters"
  else
    fail "console: $(head -c 600 "$work/console.shown")"
  fi
  # Ctrl-C while a refused window is retried with its real pauses: the waiting window's
  # status line, then the note about the file, which is left as it was.
  dir=$work/console-interrupt
  seed "$dir"
  on_console "$dir" "sleep 8; printf '\003'; sleep 2" -s 2016/01/01 -e 2016/01/31 \
    --host 127.0.0.1:1 7203 >"$work/console-interrupt.shown"
  if grep -qE '^7203\.t 2016/01/01-2016/01/31 1/1 0 rows, attempt [0-9]+$' \
       "$work/console-interrupt.shown" &&
     grep -qxF "pelmo: interrupted; 7203.csv unchanged" "$work/console-interrupt.shown" &&
     [[ $(cat "$dir/7203.csv") == $'2016/01/04,1,2,3,4,5,6\r' && $(leftovers "$dir") == 0 ]]; then
    pass "console: Ctrl-C erases the waiting window's status line and says the file is unchanged"
  else
    fail "console Ctrl-C: $(head -c 600 "$work/console-interrupt.shown")"
  fi
else
  echo "skipped: console runs (no script(1) to give Wine a terminal)"
fi

# The version line: the resource's version and the program file's date.
line=$(windows_pelmo -h | sed -n 2p)
expected="pelmo 2.0.2.0 ($(LC_ALL=C date -r "$windows/app/pelmo.exe" '+%d %b %Y'))"$'\r'
if [[ $line == "$expected" ]]; then
  pass "version line: ${line%$'\r'}"
else
  fail "version line: '$line', expected '$expected'"
fi

echo "held: $(cat "$work/held.err")"
echo "read-only: $(cat "$work/readonly.err")"
echo "missing: $(cat "$work/missing.err")"
echo "$passed passed, $failed failed"
((failed == 0))
