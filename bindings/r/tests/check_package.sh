#!/bin/sh
# SPDX-License-Identifier: MIT
# R CMD check --no-manual on the package's tarball, against libobjeval
# installed in PREFIX: fails on any ERROR or WARNING, shows every NOTE.
#
#   check_package.sh TARBALL PREFIX LIBDIR
set -eu
command -v R >/dev/null || { echo "SKIPPED: no R (Debian: r-base-dev)"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export PKG_CONFIG_PATH="$2/$3/pkgconfig"
cd "$work"
_R_CHECK_FORCE_SUGGESTS_=false R CMD check --no-manual "$1" >check.log 2>&1 || true
grep -E "^\* checking|^Status" check.log | grep -E "ERROR|WARNING|NOTE|Status" || true
if ! grep -q "^Status: OK" check.log && grep -qE "^Status: .*(ERROR|WARNING)" check.log; then
  cat check.log
  for log in objeval.Rcheck/00install.out objeval.Rcheck/tests/*.Rout.fail; do
    [ -f "$log" ] && { echo "--- $log"; tail -n 30 "$log"; }
  done
  exit 1
fi
grep -q "^Status:" check.log || { cat check.log; exit 1; }
