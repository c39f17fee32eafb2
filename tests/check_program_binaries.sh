#!/bin/sh
# Checks in each program's binary what a run relies on:
#   - the run frame loads and checks a stack canary (-fstack-protector-strong);
#   - it writes through glibc's checked __fprintf_chk (_FORTIFY_SOURCE);
#   - no static constructors of the program's own, and no iostreams;
#   - with "static" as the first argument, there is no dynamic loader.
set -eu
want_static=no
if [ "$1" = static ]; then want_static=yes; shift; fi
status=0
for program in "$@"; do
  frame=$(objdump -d --no-show-raw-insn "$program" |
    awk '/^[0-9a-f]+ <.*value_files3run/ { p = 1; next } p && /^$/ { exit } p')
  if [ -z "$frame" ]; then echo "FAIL $program: no run frame found"; status=1; continue; fi
  echo "$frame" | grep -q '%fs:0x28' || { echo "FAIL $program: run frame has no stack canary"; status=1; }
  echo "$frame" | grep -q '__fprintf_chk' || { echo "FAIL $program: run frame does not call __fprintf_chk"; status=1; }
  if nm "$program" | grep -q -E '_GLOBAL__sub_I|_ZNSt8ios_base4Init'; then
    echo "FAIL $program: runs static constructors or sets up iostreams"; status=1
  fi
  if [ $want_static = yes ] && readelf -lW "$program" | grep -q INTERP; then
    echo "FAIL $program: dynamically linked"; status=1
  fi
  [ $status -eq 0 ] && echo "ok   $program"
done
exit $status
