# SPDX-License-Identifier: MIT
"""examples/dask_landscape.py at its edges: a run smaller than a
block, arguments refused at once, and no scratch folder left on any path."""
import os
import pathlib
import signal
import subprocess
import sys
import time

import pytest

pytest.importorskip("distributed", reason="Dask's distributed scheduler is not installed")

EXAMPLE = pathlib.Path(__file__).resolve().parents[1] / "examples" / "dask_landscape.py"


def start(tmp_path, *arguments, **options):
    return subprocess.Popen([sys.executable, str(EXAMPLE), *arguments], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True, env={**os.environ, "TMPDIR": str(tmp_path)}, **options)


def test_a_run_smaller_than_a_block_checks_itself_and_leaves_nothing(tmp_path):
    run = start(tmp_path, "--points", "1000", "--workers", "1")
    out, err = run.communicate(timeout=120)
    assert run.returncode == 0, err
    assert "1,000 points in 1 block on 1 Dask worker," in out
    assert "Failed to remove" not in err
    assert list(tmp_path.iterdir()) == []


@pytest.mark.parametrize("argument", ["--points=0", "--block=-1", "--workers=0", "--points=many"])
def test_a_bad_argument_is_a_usage_error_at_once(tmp_path, argument):
    began = time.monotonic()
    run = start(tmp_path, argument)
    out, err = run.communicate(timeout=30)
    assert run.returncode == 2
    assert "error: argument" in err and "Traceback" not in err
    assert time.monotonic() - began < 5  # a second here; slower machines get room
    assert list(tmp_path.iterdir()) == []


def test_ctrl_c_closes_the_cluster_and_removes_its_folder(tmp_path):
    run = start(tmp_path, "--points", "2000000000", "--workers", "1", start_new_session=True)
    deadline = time.monotonic() + 60
    while not any(tmp_path.iterdir()) and time.monotonic() < deadline:
        time.sleep(0.05)
    time.sleep(1)  # the cluster at work
    os.killpg(run.pid, signal.SIGINT)  # as a terminal sends it: to the whole group
    out, err = run.communicate(timeout=60)
    assert run.returncode != 0
    assert "Failed to remove" not in err
    assert list(tmp_path.iterdir()) == []
