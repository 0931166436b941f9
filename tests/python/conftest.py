"""Helpers of the Python tests (imported with `from conftest import ...`): paths, corpora, graphs, the CLI."""

import itertools
import json
import os
import pathlib
import subprocess
import sys

import pytest

import tolva
import tolva._tolva as m

ROOT = pathlib.Path(__file__).resolve().parents[2]
DATA = ROOT.parent / "shared" / "data"
EXPECTED = DATA / "expected"
EXAMPLES = sorted(str(p.relative_to(ROOT)) for p in (ROOT / "examples").glob("*.dot"))
FLAGS = (True, False)
PACKAGE_PARENT = str(pathlib.Path(tolva.__file__).resolve().parents[1])


def graph(nodes, edges):
    """A PyGraph from node and edge lists as the corpora hold them (lists, not tuples)."""
    return m.graph_from_edges([tuple(n) for n in nodes], [tuple(e) for e in edges])


def cgraph(g, allow_hashes=None, compress=None, compact=None):
    return m.to_cgraph_py(g, None, None, allow_hashes, compress, compact).as_str()


def read_jsonl(path, limit=None):
    """The first `limit` records of a JSON Lines file; skips the test when the file is absent."""
    if not path.exists():
        pytest.skip(f"data not found at {path}")
    with open(path, encoding="utf-8") as lines:
        return [json.loads(line) for line in itertools.islice(lines, limit) if line.strip()]


def corpus_graphs(corpus, limit=None):
    return [graph(g["nodes"], g["edges"]) for g in read_jsonl(DATA / f"{corpus}.jsonl", limit)]


def write_lines(path, records):
    """Writes records (dicts as JSON lines, strings as they are) and returns the path."""
    path.write_text("".join(r if isinstance(r, str) else json.dumps(r) + "\n" for r in records))
    return path


def cli_env():
    """This run's environment: this same tolva, tracing off, standard output buffered as by default."""
    env = {k: v for k, v in os.environ.items()
           if not k.startswith("TOLVA_TRACE") and k != "PYTHONUNBUFFERED"}
    env["PYTHONPATH"] = os.pathsep.join([PACKAGE_PARENT, env.get("PYTHONPATH", "")])
    return env


def cli_command(*args):
    return [sys.executable, "-m", "tolva", *map(str, args)]


def run_cli(*args, stdin=None):
    return subprocess.run(cli_command(*args), input=stdin, capture_output=True, text=True, cwd=ROOT,
                          env=cli_env())
