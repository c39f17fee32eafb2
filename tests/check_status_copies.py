# SPDX-License-Identifier: MIT
"""The statuses are written once, in objeval.h; the bindings that name them
in their own language hold copies, and each copy must say what the header
says: Rust's constants, Fortran's parameters, Java's constants.

    check_status_copies.py REPOSITORY
"""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1])
header = (root / "include/objeval/objeval.h").read_text()
enum = re.search(r"typedef enum objeval_status[^{]*\{(.*?)\}", header, re.S).group(1)
statuses = {name: int(value) for name, value in re.findall(r"\b(OBJEVAL_\w+)\s*=\s*(-?\d+)", enum)}

copies = {
    "bindings/rust/src/ffi.rs": (r"pub const ({name}): c_int = (-?\d+);", str),
    "bindings/fortran/objeval.f90": (r"\b({name})\s*=\s*(-?\d+)", str.lower),
    "bindings/java/objeval/Native.java": (r"\b({name})\s*=\s*(-?\d+)", str),
}
failures = 0
for path, (pattern, spelled) in copies.items():
    text = (root / path).read_text()
    found = 0
    for name, value in statuses.items():
        match = re.search(pattern.format(name=re.escape(spelled(name))), text)
        if match is None:
            continue
        found += 1
        if int(match.group(2)) != value:
            print(f"FAIL {path}: {match.group(1)} is {match.group(2)}, objeval.h says {value}")
            failures += 1
    # Every copy holds the statuses it acts on; Rust and Fortran hold them all.
    if found == 0 or (not path.endswith(".java") and found != len(statuses)):
        print(f"FAIL {path}: {found} of the header's {len(statuses)} statuses")
        failures += 1
print(f"{len(statuses)} statuses in objeval.h, {len(copies)} bindings' copies checked")
sys.exit(1 if failures or len(statuses) < 5 else 0)
