# SPDX-License-Identifier: MIT
"""The record of libobjeval's ABI: the symbols it exports, with their version
nodes, and every declaration of <objeval/objeval.h> (functions, types,
constants), as the C compiler sees them.

    abi_record.py check|write RECORD ABI_VERSION LIBRARY COMPILER HEADER [INCLUDE_DIR...]

check fails, saying what changed, unless the library and header are those
the record holds, for the ABI version it was written for. write records
them anew, but refuses to drop or change anything the record holds unless
the ABI version changed: a caller built against the old interface could
break, and the soname, which follows the ABI version, must say so.
"""
import re
import subprocess
import sys

HEAD = """# libobjeval's C interface, recorded by tools/abi_record.py: what callers
# built against ABI version {abi} rely on. A change to these lines that is
# not an addition needs a new ABI version (OBJEVAL_ABI_VERSION in
# CMakeLists.txt), which changes the soname.
abi {abi}
"""


def declarations(compiler, header, include_dirs):
    text = subprocess.run(
        [compiler, "-E", "-P", "-x", "c", "-DOBJEVAL_DEPRECATED(replacement)=", *(f"-I{d}" for d in include_dirs),
         header], check=True, capture_output=True, text=True).stdout
    found, depth, statement = [], 0, ""
    for character in text:
        statement += character
        depth += {"{": 1, "}": -1}.get(character, 0)
        if character == ";" and depth == 0:
            tokens = re.findall(r"\w+|[^\s\w]", statement)
            if any(t.lower().startswith("objeval") for t in tokens):
                found.append("declare " + " ".join(tokens))
            statement = ""
    return found


def exports(library):
    text = subprocess.run(["nm", "-D", "--defined-only", library], check=True, capture_output=True, text=True).stdout
    return ["export " + line.split()[-1] for line in text.splitlines() if line.strip()]


def read(path):
    abi, lines = None, []
    with open(path) as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("abi "):
                abi = line.split()[1]
            elif line and not line.startswith("#"):
                lines.append(line)
    return abi, lines


def main(argv):
    if len(argv) < 7 or argv[1] not in ("check", "write"):
        sys.exit(__doc__)
    mode, record, abi, library, compiler, header, *include_dirs = argv[1:]
    now = sorted(exports(library)) + declarations(compiler, header, include_dirs)
    try:
        recorded_abi, recorded = read(record)
    except FileNotFoundError:
        recorded_abi, recorded = None, []
    gone = [line for line in recorded if line not in now]
    added = [line for line in now if line not in recorded]
    same_abi = recorded_abi == abi
    if mode == "write":
        if same_abi and gone:
            print(f"not written: these change or leave ABI version {abi}; raise OBJEVAL_ABI_VERSION first:")
            print("\n".join("  - " + line for line in gone))
            return 1
        with open(record, "w") as f:
            f.write(HEAD.format(abi=abi) + "\n".join(now) + "\n")
        print(f"{record}: ABI version {abi}, {len(now)} lines")
        return 0
    if same_abi and not gone and not added:
        print(f"ok   {library} and {header} are ABI version {abi} as recorded ({len(now)} lines)")
        return 0
    if not same_abi:
        print(f"FAIL the ABI version is {abi}, the record's {recorded_abi}: "
              f"write the record anew (tools/abi_record.py write ...)")
    elif gone:
        print(f"FAIL the ABI changed without an ABI version change: raise OBJEVAL_ABI_VERSION in CMakeLists.txt, "
              f"then write the record anew")
    else:
        print("FAIL the ABI gained what the record lacks: if it is meant, record it (tools/abi_record.py write ...), "
              "with each new function in a version node of its own")
    print("\n".join(["  - " + line for line in gone] + ["  + " + line for line in added]))
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
