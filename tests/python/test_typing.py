"""Type checkers must see tolva's public names through `import tolva`: mypy --strict and pyright
(strict) on a script that uses every one of them, and mypy --strict on the package itself."""

import json
import os
import shutil
import subprocess
import sys

import pytest

from conftest import ROOT

SOURCE = ROOT / "python"
USAGE = ROOT / "tests" / "python" / "typing_usage.py"


def run(command, cwd, **env):
    done = subprocess.run(command, cwd=cwd, capture_output=True, text=True,
                          env={**os.environ, **env})
    return done.returncode, done.stdout + done.stderr


def test_mypy_strict_on_the_usage_script_and_the_package(tmp_path):
    pytest.importorskip("mypy")
    # The package's optional libraries (networkx, tqdm, dask, ...) may lack stubs.
    for target, extra in ((USAGE, []), (SOURCE / "tolva", ["--ignore-missing-imports"])):
        status, output = run([sys.executable, "-m", "mypy", "--strict", "--no-incremental", *extra, str(target)],
                             tmp_path, MYPYPATH=str(SOURCE))
        assert status == 0, output


def test_pyright_strict_on_the_usage_script(tmp_path):
    pyright = shutil.which("pyright") or pytest.skip("pyright is not installed")
    config = tmp_path / "pyrightconfig.json"
    config.write_text(json.dumps({"extraPaths": [str(SOURCE)], "typeCheckingMode": "strict",
                                  "pythonVersion": "3.10"}))
    status, output = run([pyright, "-p", str(config), str(USAGE)], tmp_path)
    assert status == 0 and "0 errors" in output, output
