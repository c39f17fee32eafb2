# SPDX-License-Identifier: MIT
"""Checks a study folder against the rules by which IOHanalyzer's DataSetList
reads IOHprofiler's format (JSON meta files, version 0.3.3 and later), and
prints what it would load: a line per run.

- Every *.json below the folder is a meta file: its version is 0.3.3 or
  later, it says the problem is minimised, it names its function and
  algorithm, and its attributes start with "evaluations" and "raw_y".
- Each scenario's path is a data file beside it: a header line of exactly
  those attributes, then rows of as many numbers, the evaluations rising,
  the last row the run's last evaluation (its "evals"), and two rows at
  least (DataSetList fails on a run of one row, and so loses the folder).
- One algorithm's folder holds one algorithm's meta files: no two names
  share one.
- The runs of one algorithm on one function and dimension have instances
  that no other run there has (IOHanalyzer drops a data set whose instances
  repeat another's).
- Each run's best is the least raw_y of its rows, first reached at its
  "best.evaluations", and is a float: "%.9g" reads back to it.

    study_format.py FOLDER [--runs N]

prints "ALGORITHM<TAB>PROBLEM<TAB>INSTANCE<TAB>EVALS<TAB>BEST" a run, sorted,
and fails, naming the file and the rule, at the first that breaks; --runs N
fails unless there are N runs in all.
"""
import json
import math
import pathlib
import struct
import sys


def as_float(text):
    value = float(text)
    return struct.unpack("f", struct.pack("f", value))[0] if math.isfinite(value) else value


def fail(path, rule):
    sys.exit(f"FAIL {path}: {rule}")


def check_data(path, attributes, evals):
    lines = path.read_text().splitlines()
    if not lines or lines[0].split() != attributes:
        fail(path, f"the header is not {' '.join(attributes)}")
    rows = [line.split() for line in lines[1:]]
    if len(rows) < 2:
        fail(path, f"{len(rows)} rows: IOHanalyzer's DataSetList fails on a run of fewer than two")
    last = 0
    for row in rows:
        if len(row) != len(attributes):
            fail(path, f"a row of {len(row)} fields, not {len(attributes)}: {' '.join(row)}")
        evaluation = int(row[0])
        if evaluation <= last:
            fail(path, f"evaluations do not rise: {evaluation} after {last}")
        last = evaluation
        for field in row[1:]:
            if math.isnan(float(field)):
                fail(path, "a NaN, which breaks IOHanalyzer's running minimum")
    if last != evals:
        fail(path, f"the last row is evaluation {last}, the run made {evals}")
    return [(int(row[0]), as_float(row[1])) for row in rows]


def load(folder):
    runs, instances, names = [], {}, {}
    for meta_path in sorted(pathlib.Path(folder).rglob("*.json")):
        meta = json.loads(meta_path.read_text())
        version = tuple(int(part) for part in meta.get("version", "0").split("."))
        if version < (0, 3, 3):
            fail(meta_path, "version below 0.3.3: IOHanalyzer would read it as the old format")
        if meta.get("maximization") is not False:
            fail(meta_path, "the problem is not said to be minimised")
        algorithm, problem = meta["algorithm"]["name"], meta["function_name"]
        if not isinstance(meta["function_id"], int) or not algorithm:
            fail(meta_path, "no function id or algorithm name")
        if names.setdefault(meta_path.parent, algorithm) != algorithm:
            fail(meta_path, f"the folder holds the runs of {names[meta_path.parent]!r} and of {algorithm!r}")
        attributes = meta["attributes"]
        if attributes[:2] != ["evaluations", "raw_y"]:
            fail(meta_path, "the attributes do not start with evaluations and raw_y")
        for scenario in meta["scenarios"]:
            data = check_data(meta_path.parent / scenario["path"], attributes, scenario["runs"][0]["evals"])
            for run in scenario["runs"]:
                key = (algorithm, meta["function_id"], scenario["dimension"])
                if run["instance"] in instances.setdefault(key, set()):
                    fail(meta_path, f"instance {run['instance']} repeats: IOHanalyzer would drop the run")
                instances[key].add(run["instance"])
                best = min(y for _, y in data)
                reported = run["best"]["y"]  # null where no value was finite
                if (as_float(repr(reported)) if reported is not None else math.inf) != best:
                    fail(meta_path, f"run {run['instance']}: best {reported}, the rows' least {best}")
                if best < math.inf and run["best"]["evaluations"] != next(e for e, y in data if y == best):
                    fail(meta_path, f"run {run['instance']}: best found at {run['best']['evaluations']}")
                runs.append((algorithm, problem, run["instance"], run["evals"], best))
    return sorted(runs)


def main(arguments):
    if not arguments:
        sys.exit(__doc__)
    runs = load(arguments[0])
    for algorithm, problem, instance, evals, best in runs:
        print(f"{algorithm}\t{problem}\t{instance}\t{evals}\t{best:.9g}")
    if "--runs" in arguments and len(runs) != int(arguments[arguments.index("--runs") + 1]):
        sys.exit(f"FAIL {arguments[0]}: {len(runs)} runs, not {arguments[arguments.index('--runs') + 1]}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
