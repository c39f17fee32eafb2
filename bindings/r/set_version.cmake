# SPDX-License-Identifier: MIT
# cmake -DDESCRIPTION=FILE -DVERSION=X.Y.Z -P set_version.cmake: the package's
# Version field becomes the project's, written once in VERSION.
file(READ ${DESCRIPTION} text)
string(REGEX REPLACE "\nVersion: [^\n]*" "\nVersion: ${VERSION}" text "${text}")
file(WRITE ${DESCRIPTION} "${text}")
