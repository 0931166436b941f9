"""The build under test against the frozen reference build, on a few thousand generated graphs
(every benchmark family, random multigraphs with ties, relabelled copies, awkward ids), every
option combination, node orders, trace lines, the command line's native JSON Lines path and
the batch functions (one worker's calls sharing their storage): not one byte may differ. The long run (10^6
cases) is `python tests/differential/compare.py --cases 1000000` (see bench/RESULTS.md)."""

import os
import pathlib
import sys

import pytest

import tolva._tolva
from conftest import ROOT

sys.path.insert(0, str(ROOT / "tests" / "differential"))

import compare  # noqa: E402

REFERENCE = ROOT / "build" / "reference" / "_tolva.abi3.so"


def test_outputs_equal_the_reference_build(capsys):
    if os.environ.get("TOLVA_SKIP_DIFFERENTIAL"):
        pytest.skip(f"reference build unavailable: {os.environ['TOLVA_SKIP_DIFFERENTIAL']}")
    assert REFERENCE.exists(), "no reference build: run scripts/build-reference"
    status = compare.main(["--cases", "3000", "--seed", "20261207", "--jobs", "2",
                           "--reference", str(REFERENCE), "--candidate", tolva._tolva.__file__])
    out = capsys.readouterr().out
    assert status == 0, out
    assert "3000 cases" in out
