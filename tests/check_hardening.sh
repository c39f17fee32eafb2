#!/bin/sh
# Checks that the hardening flags really reached each program given:
#   - the run frame loads and checks a stack canary (-fstack-protector-strong);
#   - it writes through glibc's checked __fprintf_chk (_FORTIFY_SOURCE);
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
  if [ $want_static = yes ] && readelf -lW "$program" | grep -q INTERP; then
    echo "FAIL $program: dynamically linked"; status=1
  fi
  [ $status -eq 0 ] && echo "ok   $program"
done
exit $status
