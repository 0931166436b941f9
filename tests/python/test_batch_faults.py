"""Batches under faults: failing graphs kept in place (on_error="return"), the environment changed
by another thread while the workers run, and trace lines of concurrent graphs kept whole and
together. The crash-prone cases run in a child interpreter."""

import subprocess
import sys
import textwrap

import pytest

import tolva._tolva as m
from conftest import cli_env, corpus_graphs, data_file, graph

NODE_LIMIT = "unsupported: dag rewrite node limit exceeded"


def over_the_node_limit():
    # The hub roots the DAG; n hangs below r by 64 parallel edges, so the expanded split of n
    # would copy the 130,000-node tree below it once per edge: 8.3 million nodes.
    hub = [("c", f"leaf{i}", "1") for i in range(200)] + [("c", "r", "1")]
    parallel = [("r", "n", "1")] * 64
    tree = [(f"t{i // 2}" if i > 1 else "n", f"t{i}", "1") for i in range(1, 130_000)]
    return graph([], hub + parallel + tree)


@pytest.fixture(scope="module")
def mixed():
    good = corpus_graphs("molecules", 3)
    return [good[0], over_the_node_limit(), good[1], graph([], []), good[2]]


@pytest.mark.parametrize("function", [m.to_cgraph_many, m.canonical_node_order_many])
def test_returned_errors_take_their_graphs_place(mixed, function):
    single = [function([g])[0] for g in mixed[:1] + mixed[2:]]
    results = function(mixed, workers=2, on_error="return")
    assert type(results[1]) is ValueError and str(results[1]) == f"graph 1: {NODE_LIMIT}"
    assert [str(r) for r in results[:1] + results[2:]] == [str(r) for r in single]
    with pytest.raises(ValueError, match=f"^graph 1: {NODE_LIMIT}$"):
        function(mixed, workers=2)


def test_a_bad_candidate_rule_fails_only_the_graphs_that_consult_it(mixed):
    results = m.to_cgraph_many(mixed, "$nope", on_error="return")
    assert [type(r) for r in results] == [ValueError, ValueError, ValueError, m.PyCGraph, ValueError]
    assert str(results[0]) == "graph 0: unsupported: candidate rule '$nope' not implemented"
    assert str(results[3]) == ""


@pytest.mark.parametrize("on_error", ["ignore", "", 1])
def test_on_error_accepts_raise_and_return_only(on_error):
    with pytest.raises(TypeError if on_error == 1 else ValueError, match="on_error"):
        m.to_cgraph_many([], on_error=on_error)


ENV_RACE = textwrap.dedent("""
    import json, lzma, os, threading, time
    import tolva._tolva as m

    with lzma.open(os.environ["CORPUS"], "rt") as lines:
        records = [json.loads(line) for line, _ in zip(lines, range(200))]
    graphs = [m.graph_from_edges([tuple(n) for n in r["nodes"]], [tuple(e) for e in r["edges"]])
              for r in records]
    done = False

    def churn():
        # With tens of thousands of variables the environment's pointer array is a mapping of
        # its own; adding and removing variables reallocates (and unmaps) it under any reader.
        for i in range(40_000):
            os.environ[f"TOLVA_FILL_{i}"] = "x"
        i = 0
        while not done:
            for j in range(2_000):
                os.environ[f"TOLVA_CHURN_{i}_{j}"] = "x"
            for j in range(2_000):
                del os.environ[f"TOLVA_CHURN_{i}_{j}"]
            i += 1

    thread = threading.Thread(target=churn)
    thread.start()
    deadline = time.monotonic() + 4
    rounds = 0
    while time.monotonic() < deadline:
        m.to_cgraph_many(graphs, workers=2)
        rounds += 1
    done = True
    thread.join()
    print("ok", rounds > 0)
""")


def test_workers_never_read_an_environment_another_thread_changes():
    env = {**cli_env(), "CORPUS": str(data_file("molecules"))}
    child = subprocess.run([sys.executable, "-c", ENV_RACE], capture_output=True, text=True, env=env,
                           timeout=300)
    assert child.returncode == 0, child.stderr[-2000:]
    assert child.stdout.split() == ["ok", "True"]


TRACED = textwrap.dedent("""
    import json, lzma, os, sys
    import tolva._tolva as m

    with lzma.open(os.environ["CORPUS"], "rt") as lines:
        records = [json.loads(line) for line, _ in zip(lines, range(30))]
    graphs = [m.graph_from_edges([tuple(n) for n in r["nodes"]], [tuple(e) for e in r["edges"]])
              for r in records]
    for k in range(3, 10):  # diamond chains: plain magnets of up to 250 kilobytes (12 MB of trace in all)
        graphs.append(m.graph_from_edges([], [(f"c{i}", f"{side}{i}", "1") for i in range(k) for side in "tb"]
                                         + [(f"{side}{i}", f"c{i + 1}", "1") for i in range(k) for side in "tb"]))
    if sys.argv[1] == "single":
        for g in graphs:
            os.write(1, b"GRAPH\\n")
            m.to_cgraph_py(g, None, None, False, False, False)
    else:
        m.to_cgraph_many(graphs, None, None, False, False, False, workers=2)
""")


def traced_lines(mode):
    env = {**cli_env(), "CORPUS": str(data_file("molecules")), "TOLVA_TRACE": "1",
           "TOLVA_TRACE_MAGNET": "1"}
    child = subprocess.run([sys.executable, "-c", TRACED, mode], capture_output=True, env=env, timeout=300)
    assert child.returncode == 0, child.stderr[-2000:]
    return child.stdout.decode().split("\n")[:-1]


def split_into_blocks(lines, blocks):
    """Reads `lines` as a concatenation of the given blocks in any order; the order found."""
    order, at, left = [], 0, list(range(len(blocks)))
    while at < len(lines):
        match = next((b for b in left if lines[at:at + len(blocks[b])] == blocks[b]), None)
        assert match is not None, f"line {at} starts no graph's trace: {lines[at][:120]}"
        order.append(match)
        left.remove(match)
        at += len(blocks[match])
    return order, left


def test_concurrent_graphs_write_their_trace_lines_whole_and_together():
    blocks = []
    for line in traced_lines("single"):
        if line == "GRAPH":
            blocks.append([])
        else:
            blocks[-1].append(line)
    traced = [block for block in blocks if block]
    assert len(blocks) == 37 and sum(map(len, traced)) > 1000
    assert max(len(line) for block in traced for line in block) > 4 * 4096  # past an atomic pipe write
    lines = traced_lines("batch")
    assert all(line.startswith("TRACE ") for line in lines)
    order, left = split_into_blocks(lines, traced)
    assert not left and len(order) == len(traced)
