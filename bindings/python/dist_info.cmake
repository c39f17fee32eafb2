# SPDX-License-Identifier: MIT
# Writes RECORD into the installed objeval-<version>.dist-info: every file of
# the package and of the dist-info itself, so that pip can show and uninstall
# what cmake --install put there. Run at install time (install(CODE)), with
# SITE the package directory's parent and DIST_INFO the dist-info's name.
set(site "$ENV{DESTDIR}${SITE}")
file(GLOB_RECURSE files RELATIVE "${site}" "${site}/objeval/*" "${site}/${DIST_INFO}/*")
list(FILTER files EXCLUDE REGEX "(__pycache__|/RECORD$)")
list(SORT files)
list(APPEND files "${DIST_INFO}/RECORD")
list(JOIN files ",,\n" record)
file(WRITE "${site}/${DIST_INFO}/RECORD" "${record},,\n")
