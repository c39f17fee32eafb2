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

A version node named on a `released NODE` line of the record shipped in a
release: both refuse a new export in it, which belongs in a node of its
own (exports.map). Parameters are recorded without their names, which
callers never see; an enum that gains values after its own is extended,
not changed.
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
                found.append("declare " + " ".join(without_parameter_names(tokens)))
            statement = ""
    return found


def without_parameter_names(tokens):
    """A function declaration's tokens with each parameter's name left out."""
    if "(" not in tokens or tokens[0] in ("typedef", "enum", "struct"):
        return tokens
    start, end = tokens.index("("), len(tokens) - 1 - tokens[::-1].index(")")
    parameters, kept = [[]], tokens[:start + 1]
    for token in tokens[start + 1:end]:
        if token == ",":
            parameters.append([])
        else:
            parameters[-1].append(token)
    for n, parameter in enumerate(parameters):
        if len(parameter) >= 2 and re.fullmatch(r"\w+", parameter[-1]):
            parameter = parameter[:-1]
        kept += ([","] if n else []) + parameter
    return kept + tokens[end:]


def enumerators(line):
    """An enum declaration's (name, value) pairs, in order; None for any other line."""
    if not line.startswith("declare ") or " enum " not in f" {line} ":
        return None
    return re.findall(r"(\w+) = (-?\d+)", line)


def extended(line, now):
    """Whether an enum of the record is now the same enum with values added
    after its own: a caller built against it sees every value it knew."""
    old = enumerators(line)
    return bool(old) and any((enumerators(new) or [])[:len(old)] == old and
                             line.split("{")[0] == new.split("{")[0] for new in now)


def exports(library):
    text = subprocess.run(["nm", "-D", "--defined-only", library], check=True, capture_output=True, text=True).stdout
    return ["export " + line.split()[-1] for line in text.splitlines() if line.strip()]


def read(path):
    abi, released, lines = None, [], []
    with open(path) as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("abi "):
                abi = line.split()[1]
            elif line.startswith("released "):
                released.append(line.split()[1])
            elif line and not line.startswith("#"):
                lines.append(line)
    return abi, released, lines


def in_released_nodes(added, released):
    """The added exports that went into a node a release shipped."""
    return [line for line in added if re.fullmatch(r"export \w+@@?(\S+)", line)
            and re.fullmatch(r"export \w+@@?(\S+)", line).group(1) in released]


def main(argv):
    if len(argv) < 7 or argv[1] not in ("check", "write"):
        sys.exit(__doc__)
    mode, record, abi, library, compiler, header, *include_dirs = argv[1:]
    now = sorted(exports(library)) + declarations(compiler, header, include_dirs)
    try:
        recorded_abi, released, recorded = read(record)
    except FileNotFoundError:
        recorded_abi, released, recorded = None, [], []
    gone = [line for line in recorded if line not in now and not extended(line, now)]
    added = [line for line in now if line not in recorded]
    same_abi = recorded_abi == abi
    misplaced = in_released_nodes(added, released) if same_abi else []
    if misplaced:
        print(f"{'not written' if mode == 'write' else 'FAIL'}: a new export in a released version node; "
              f"give it a node of its own in capi/exports.map:")
        print("\n".join("  + " + line for line in misplaced))
        return 1
    if mode == "write":
        if same_abi and gone:
            print(f"not written: these change or leave ABI version {abi}; raise OBJEVAL_ABI_VERSION first:")
            print("\n".join("  - " + line for line in gone))
            return 1
        with open(record, "w") as f:
            f.write(HEAD.format(abi=abi) + "".join(f"released {node}\n" for node in released) + "\n".join(now) + "\n")
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
