"""Helpers of the Python tests (imported with `from conftest import ...`): paths, corpora, graphs, the CLI."""

import itertools
import json
import lzma
import os
import pathlib
import random
import resource
import signal
import subprocess
import sys

import pytest

import tolva
import tolva._tolva as m

ROOT = pathlib.Path(__file__).resolve().parents[2]
DATA = ROOT / "tests" / "data"
EXPECTED = DATA / "expected"
EXAMPLES = sorted(str(p.relative_to(ROOT)) for p in (ROOT / "examples").glob("*.dot"))
FLAGS = (True, False)
PACKAGE_PARENT = str(pathlib.Path(tolva.__file__).resolve().parents[1])


def graph(nodes, edges):
    """A PyGraph from node and edge lists as the corpora hold them (lists, not tuples)."""
    return m.graph_from_edges([tuple(n) for n in nodes], [tuple(e) for e in edges])


def cgraph(g, allow_hashes=None, compress=None, compact=None):
    return m.to_cgraph_py(g, None, None, allow_hashes, compress, compact).as_str()


def data_file(name):
    """A corpus of tests/data by its name ("molecules", "expected/traces", ...): the test data
    belongs to the repository, so a missing file fails the test."""
    path = DATA / f"{name}.jsonl.xz"
    if not path.exists():
        pytest.fail(f"test data missing: {path} is part of the repository")
    return path


def read_jsonl(path, limit=None):
    """The first `limit` records of a JSON Lines file, xz-compressed when its name ends in .xz."""
    opener = lzma.open if path.suffix == ".xz" else open
    with opener(path, "rt", encoding="utf-8") as lines:
        return [json.loads(line) for line in itertools.islice(lines, limit) if line.strip()]


def read_data(name, limit=None):
    return read_jsonl(data_file(name), limit)


def corpus_graphs(corpus, limit=None):
    return [graph(g["nodes"], g["edges"]) for g in read_data(corpus, limit)]


def permuted_copies(record, count, seed):
    """`count` copies of a corpus record with nodes, edges and endpoints shuffled and the ids
    renamed: the same graph, given in another order. Names are "<name>~p<k>", k from 1."""
    copies = []
    for k in range(1, count + 1):
        rng = random.Random(f"{seed}/{record['name']}/{k}")
        fresh = [f"v{i}" for i in range(len(record["nodes"]))]
        rng.shuffle(fresh)
        rename = {node: fresh[i] for i, (node, _) in enumerate(record["nodes"])}
        nodes = [[rename[node], label] for node, label in record["nodes"]]
        edges = [[*rng.sample([rename[a], rename[b]], 2), modality] for a, b, modality in record["edges"]]
        rng.shuffle(nodes)
        rng.shuffle(edges)
        copies.append({"name": f"{record['name']}~p{k}", "nodes": nodes, "edges": edges})
    return copies


def write_lines(path, records):
    """Writes records (dicts as JSON lines, strings as they are) and returns the path."""
    path.write_text("".join(r if isinstance(r, str) else json.dumps(r) + "\n" for r in records))
    return path


def cli_env(hide=None):
    """This run's environment: this same tolva, tracing off, standard output buffered as by default.
    `hide`: a folder put first on the module path (to hide an installed package behind a stub)."""
    env = {k: v for k, v in os.environ.items()
           if not k.startswith("TOLVA_TRACE") and k != "PYTHONUNBUFFERED"}
    env["PYTHONPATH"] = os.pathsep.join([*([str(hide)] if hide else []), PACKAGE_PARENT, env.get("PYTHONPATH", "")])
    return env


def interruptible():
    """preexec_fn of a child that a test interrupts: Ctrl-C at its default, whatever this run
    inherited (a shell starting a background job without job control ignores SIGINT, and the
    child would inherit that and never see the test's signal)."""
    signal.signal(signal.SIGINT, signal.SIG_DFL)


def cli_command(*args):
    return [sys.executable, "-m", "tolva", *map(str, args)]


def hidden_package(tmp_path, name):
    """A folder holding a stub of package `name` that fails to import, for cli_env(hide=...)."""
    stub = tmp_path / "hidden" / name
    stub.mkdir(parents=True)
    (stub / "__init__.py").write_text("raise ImportError('hidden for this test')\n")
    return stub.parent


def run_cli(*args, stdin=None, hide=None, memory_limit=None, cpus=None):
    """Runs the command line in a child; `memory_limit` caps its address space (bytes), `cpus`
    the processors it may use."""
    def limit():
        if memory_limit:
            resource.setrlimit(resource.RLIMIT_AS, (memory_limit, resource.getrlimit(resource.RLIMIT_AS)[1]))
        if cpus:
            os.sched_setaffinity(0, cpus)

    return subprocess.run(cli_command(*args), input=stdin, capture_output=True, text=True, cwd=ROOT,
                          env=cli_env(hide), preexec_fn=limit)
