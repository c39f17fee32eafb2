#!/bin/sh
# SPDX-License-Identifier: MIT
# Checks in each program's binary what a run relies on:
#   - the run frame loads and checks a stack canary (-fstack-protector-strong);
#   - no static constructors of the program's own, and no iostreams;
#   - the stack is not executable;
#   - "bare": no C library at all, and at most one cpuid instruction (each
#     one traps to the hypervisor on a virtual machine);
#   - "static": the C library is linked in, so no dynamic loader;
#   - "static" and "dynamic": writes go through glibc's checked __fprintf_chk.
#
#   check_program_binaries.sh bare|static|dynamic PROGRAM...
set -eu
kind=$1
shift
status=0
fail() { echo "FAIL $program: $*"; status=1; }
for program in "$@"; do
  before=$status
  frame=$(objdump -d --no-show-raw-insn "$program" |
    awk '/^[0-9a-f]+ <.*value_files3run/ { p = 1; next } p && /^$/ { exit } p')
  if [ -z "$frame" ]; then fail "no run frame found"; continue; fi
  echo "$frame" | grep -q '%fs:0x28' || fail "run frame has no stack canary"
  if nm "$program" | grep -q -E '_GLOBAL__sub_I|_ZNSt8ios_base4Init'; then
    fail "runs static constructors or sets up iostreams"
  fi
  readelf -lW "$program" | grep GNU_STACK | grep -q RWE && fail "executable stack"
  case $kind in
    bare)
      nm "$program" | grep -q -E '__libc_start_main|_IO_|__libc_' && fail "links the C library"
      readelf -lW "$program" | grep -q INTERP && fail "dynamically linked"
      cpuids=$(objdump -d --no-show-raw-insn "$program" | grep -c -w cpuid || true)
      [ "$cpuids" -le 1 ] || fail "$cpuids cpuid instructions"
      ;;
    static | dynamic)
      echo "$frame" | grep -q '__fprintf_chk' || fail "run frame does not call __fprintf_chk"
      if [ "$kind" = static ] && readelf -lW "$program" | grep -q INTERP; then fail "dynamically linked"; fi
      ;;
    *) echo "unknown kind $kind"; exit 2 ;;
  esac
  [ $status -eq "$before" ] && echo "ok   $program ($kind)"
done
exit $status
