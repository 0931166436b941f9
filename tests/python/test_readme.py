"""Every sh and python block of the README runs as written from the repository root: without
an error, and without a word on standard error (a warning in a sample is a wrong sample). A
block preceded by "<!-- not run: REASON -->" is left out; there are few, each with its reason."""

import os
import re
import subprocess
import sys

import pytest

from conftest import ROOT, cli_env

FENCE = re.compile(r"(?:<!-- not run: (?P<reason>[^>]*?) -->\n)?```(?P<lang>\w*)\n(?P<code>.*?)```", re.S)
MOST_LEFT_OUT = 2


def blocks():
    text = (ROOT / "README.md").read_text(encoding="utf-8")
    return [(m["lang"], m["code"], m["reason"], text.count("\n", 0, m.start("code")) + 1)
            for m in FENCE.finditer(text) if m["lang"] in ("sh", "python")]


def test_the_readme_has_samples_and_leaves_out_few():
    found = blocks()
    assert sum(lang == "sh" for lang, *_ in found) >= 1 and sum(lang == "python" for lang, *_ in found) >= 3
    assert len([reason for _, _, reason, _ in found if reason is not None]) <= MOST_LEFT_OUT
    assert all(reason.strip() for _, _, reason, _ in found if reason is not None)


@pytest.mark.parametrize("lang, code, line", [(lang, code, line) for lang, code, reason, line in blocks()
                                              if reason is None], ids=lambda value: str(value)[:30])
def test_readme_block_runs_as_written(tmp_path, lang, code, line):
    env = cli_env()
    # `tolva` on the path is this tolva, as `pip install .` would make it.
    (tmp_path / "tolva").write_text(f'#!/bin/sh\nexec "{sys.executable}" -m tolva "$@"\n')
    (tmp_path / "tolva").chmod(0o755)
    env["PATH"] = os.pathsep.join([str(tmp_path), env.get("PATH", "")])
    command = ["bash", "-e", "-o", "pipefail", "-c", code] if lang == "sh" else [sys.executable, "-c", code]
    done = subprocess.run(command, capture_output=True, text=True, cwd=ROOT, env=env, timeout=300)
    assert (done.returncode, done.stderr) == (0, ""), f"README.md line {line}: {done.stderr[-2000:]}"
