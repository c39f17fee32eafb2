# SPDX-License-Identifier: MIT
"""Every function libobjeval exports, as its ABI record lists them, is named
on the C page: a new export that the page leaves out fails here.

    check_documented_exports.py capi/objeval.abi docs/c-and-cpp.md
"""
import re
import sys

record, page = (open(path).read() for path in sys.argv[1:3])
exported = re.findall(r"^export (objeval_\w+)@", record, re.M)
missing = [name for name in exported if not re.search(rf"\b{name}\b", page)]
for name in missing:
    print(f"FAIL {sys.argv[2]} does not name {name}, which libobjeval exports")
print(f"{len(exported) - len(missing)} of {len(exported)} exports named")
sys.exit(1 if missing or not exported else 0)
