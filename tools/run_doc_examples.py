# SPDX-License-Identifier: MIT
"""Runs every shell example of the pages given, as written: each ```sh block
that starts a line, in bash -euo pipefail, from the repository's root, but
the quick start's own commands. A block whose first line is
`# needs: TOOL...` is skipped, saying so, where a TOOL is missing: a command,
or `python3:MODULE,...` for modules python3 must import. --skipped FILE
writes the blocks skipped there; --only FILE runs only the blocks FILE
names (a second pass, once the tools are there). --links checks the links
alone.

First, every link of every page to a file of the repository must reach
one, and a link to a heading (page.md#threads, #threads) a heading of that
page: a page that points nowhere fails.

    run_doc_examples.py [--skipped FILE | --only FILE | --links] PAGE...
"""
import pathlib
import re
import shutil
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parents[1]


def missing(tools):
    for tool in tools:
        if tool.startswith("python3:"):
            modules = tool.split(":", 1)[1].split(",")
            probe = "import importlib.util, sys; sys.exit(any(importlib.util.find_spec(m) is None for m in sys.argv[1:]))"
            if not shutil.which("python3") or subprocess.run(["python3", "-c", probe, *modules]).returncode:
                return f"python3 cannot import {', '.join(modules)}"
        elif not shutil.which(tool):
            return f"no {tool}"
    return None


def anchors(page):
    """The anchors of a page's headings, as GitHub makes them."""
    text = re.sub(r"^```.*?^```", "", page.read_text(), flags=re.S | re.M)
    return {re.sub(r"[^\w\- ]", "", heading.strip().lower()).replace(" ", "-")
            for heading in re.findall(r"^#+ (.*)$", text, re.M)}


def broken_links(page):
    """Each link of `page` to a file or heading that is not there."""
    text = re.sub(r"^```.*?^```", "", page.read_text(), flags=re.S | re.M)
    for target in re.findall(r"\]\(([^)\s]+)\)", text):
        if re.match(r"[a-z]+:", target):
            continue
        path, _, anchor = target.partition("#")
        linked = (page.parent / path).resolve() if path else page.resolve()
        if not linked.exists():
            yield f"{target}: no such file"
        elif anchor and linked.suffix == ".md" and anchor not in anchors(linked):
            yield f"{target}: no such heading in {linked.relative_to(ROOT)}"


def main(arguments):
    skipped_to = only = None
    links_only = arguments[:1] == ["--links"]
    if links_only:
        arguments = arguments[1:]
    elif arguments[:1] == ["--skipped"]:
        skipped_to, arguments = open(arguments[1], "w"), arguments[2:]
    elif arguments[:1] == ["--only"]:
        only, arguments = set(open(arguments[1]).read().split("\0")), arguments[2:]
    failed = 0
    for page in arguments:
        for broken in broken_links(pathlib.Path(page)):
            print(f"FAIL {page}: a link that points nowhere: {broken}")
            failed += 1
    if links_only or failed:
        return 1 if failed else 0
    for page in arguments:
        text = pathlib.Path(page).read_text()
        for block in re.findall(r"^```sh\n(.*?)^```", text, re.S | re.M):
            if "cmake --workflow" in block:
                continue
            if only is not None and block not in only:
                continue
            first = block.splitlines()[0]
            needs = first[len("# needs:"):].split() if first.startswith("# needs:") else []
            why = missing(needs)
            shown = next(line for line in block.splitlines() if not line.startswith("#"))
            if why:
                print(f"--- {page}: skipped ({why}): {shown}")
                if skipped_to:
                    skipped_to.write(block + "\0")
                continue
            print(f"--- {page}: {shown}", flush=True)
            run = subprocess.run(["bash", "-euo", "pipefail", "-c", block], cwd=ROOT)
            if run.returncode != 0:
                print(f"FAIL {page}: the block ending in this line exited with {run.returncode}:\n{block}")
                failed += 1
    return 1 if failed else 0


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1:]))
