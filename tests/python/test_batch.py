"""to_cgraph_many and canonical_node_order_many: the single functions over many graphs at once."""

import itertools
import json
import pathlib
import threading
import time

import pytest

import tolva
import tolva._tolva as m

DATA = pathlib.Path(__file__).resolve().parents[3] / "shared" / "data"
ORIGINAL_NAMES = [
    "PyGraph", "PyCGraph", "parse_dot", "parse_dot_string", "graph_from_edges",
    "to_cgraph_py", "canonical_node_order_py",
]


def load(corpus, limit=None):
    path = DATA / f"{corpus}.jsonl"
    if not path.exists():
        pytest.skip(f"corpus not found at {path}")
    with path.open(encoding="utf-8") as lines:
        graphs = [json.loads(line) for line in itertools.islice(lines, limit)]
    return [m.graph_from_edges([tuple(n) for n in g["nodes"]], [tuple(e) for e in g["edges"]])
            for g in graphs]


@pytest.fixture(scope="module")
def corpus():
    """First 300 molecules, every small graph (single nodes, disconnected ones) and an empty graph."""
    return load("molecules", 300) + load("small-graphs") + [m.graph_from_edges([], [])]


FLAGS = (True, False)


@pytest.mark.parametrize("allow_hashes, compress, compact", itertools.product(FLAGS, FLAGS, FLAGS))
def test_cgraphs_equal_single_calls(corpus, allow_hashes, compress, compact):
    single = [str(m.to_cgraph_py(g, None, None, allow_hashes, compress, compact)) for g in corpus]
    batch = m.to_cgraph_many(corpus, None, None, allow_hashes, compress, compact)
    assert all(type(c) is m.PyCGraph for c in batch)
    assert [str(c) for c in batch] == single


@pytest.mark.parametrize("allow_hashes, compact", itertools.product(FLAGS, FLAGS))
def test_node_orders_equal_single_calls(corpus, allow_hashes, compact):
    single = [m.canonical_node_order_py(g, allow_hashes=allow_hashes, compact=compact) for g in corpus]
    assert m.canonical_node_order_many(corpus, allow_hashes=allow_hashes, compact=compact) == single


def test_rules_are_passed_through(corpus):
    graphs = corpus[:20]
    rule = "any branch rule text"
    assert [str(c) for c in m.to_cgraph_many(graphs, "$degree", rule)] == [
        str(m.to_cgraph_py(g, "$degree", rule, None, None, None)) for g in graphs]


@pytest.mark.parametrize("workers", [1, 2, 3, 16, 10_000, 2**70])
def test_worker_count_does_not_change_results(corpus, workers):
    graphs = corpus[:120]
    assert [str(c) for c in m.to_cgraph_many(graphs, workers=workers)] == [
        str(c) for c in m.to_cgraph_many(graphs, workers=1)]
    assert m.canonical_node_order_many(graphs, compact=True, workers=workers) == [
        m.canonical_node_order_py(g, compact=True) for g in graphs]


def test_one_graph_many_times_in_one_batch(corpus):
    g = corpus[7]
    assert {str(c) for c in m.to_cgraph_many([g] * 64, workers=4)} == {str(m.to_cgraph_py(g, None, None, None, None, None))}


@pytest.mark.parametrize("sequence", [list, tuple])
def test_empty_and_other_sequences(corpus, sequence):
    assert m.to_cgraph_many(sequence()) == []
    assert m.canonical_node_order_many(sequence(), workers=3) == []
    graphs = sequence(corpus[:5])
    assert [str(c) for c in m.to_cgraph_many(graphs)] == [str(c) for c in m.to_cgraph_many(list(graphs))]


@pytest.mark.parametrize("workers", [1, 2, 8])
@pytest.mark.parametrize("function", [m.to_cgraph_many, m.canonical_node_order_many])
def test_first_failing_position_is_reported(corpus, function, workers):
    empty = m.graph_from_edges([], [])
    # Empty graphs never consult the candidate rule, so position 3 is the first failure.
    graphs = [empty, empty, empty] + corpus[:50]
    with pytest.raises(ValueError) as single:
        m.to_cgraph_py(corpus[0], "x", None, None, None, None)
    with pytest.raises(ValueError) as batch:
        function(graphs, "x", workers=workers)
    assert str(single.value) == "unsupported: candidate rule 'x' not implemented"
    assert str(batch.value) == "graph 3: unsupported: candidate rule 'x' not implemented"
    assert type(batch.value) is ValueError


G = m.graph_from_edges([], [("a", "b", "1")])


@pytest.mark.parametrize(
    "args, kwargs, message",
    [
        ((5,), {}, "argument 'graphs': 'int' object cannot be cast as 'Sequence'"),
        ((None,), {}, "argument 'graphs': 'NoneType' object cannot be cast as 'Sequence'"),
        (((g for g in [G]),), {}, "argument 'graphs': 'generator' object cannot be cast as 'Sequence'"),
        (({G: 1},), {}, "argument 'graphs': 'dict' object cannot be cast as 'Sequence'"),
        (("ab",), {}, "argument 'graphs': Can't extract `str` to `Vec`"),
        (([G, G, 3],), {}, "argument 'graphs[2]': 'int' object cannot be cast as 'PyGraph'"),
        (([G, m.to_cgraph_py(G, None, None, None, None, None)],), {},
         "argument 'graphs[1]': 'PyCGraph' object cannot be cast as 'PyGraph'"),
        (([G],), {"workers": 0}, "argument 'workers': expected a positive int or None, got 0"),
        (([G],), {"workers": -1}, "argument 'workers': expected a positive int or None, got -1"),
        (([G],), {"workers": -(2**70)}, "argument 'workers': expected a positive int or None"),
        (([G],), {"workers": True}, "argument 'workers': 'bool' object cannot be cast as 'int'"),
        (([G],), {"workers": 2.0}, "argument 'workers': 'float' object cannot be cast as 'int'"),
        (([G],), {"workers": "2"}, "argument 'workers': 'str' object cannot be cast as 'int'"),
        (([G],), {"allow_hashes": 1}, "argument 'allow_hashes': 'int' object cannot be cast as 'bool'"),
        (([G],), {"candidate_rule": b"$degree"}, "argument 'candidate_rule': 'bytes' object cannot be cast as 'str'"),
        (([G],), {"graph": [G]}, "unexpected keyword argument 'graph'"),
        ((), {}, "missing required argument 'graphs'"),
    ],
)
@pytest.mark.parametrize("function", [m.to_cgraph_many, m.canonical_node_order_many])
def test_argument_errors(function, args, kwargs, message):
    with pytest.raises(TypeError) as error:
        function(*args, **kwargs)
    assert message in str(error.value)


def test_compress_belongs_to_the_cgraph_function_only():
    assert str(m.to_cgraph_many([G], compress=False)[0]) == str(m.to_cgraph_py(G, None, None, None, False, None))
    with pytest.raises(TypeError, match="compress"):
        m.canonical_node_order_many([G], compress=False)


def test_arguments_are_checked_before_any_work():
    # A bad worker count wins over a graph that would fail, and a bad item over both.
    with pytest.raises(TypeError, match="workers"):
        m.to_cgraph_many([G], "x", workers=0)
    with pytest.raises(TypeError, match=r"graphs\[1\]"):
        m.to_cgraph_many([G, "G"], "x", workers=0)


def test_registered_outside_all_and_reexported():
    assert list(m.__all__) == ORIGINAL_NAMES
    for name, signature in [
        ("to_cgraph_many", "(graphs, candidate_rule=None, branch_rule=None, allow_hashes=None, "
                           "compress=None, compact=None, workers=None)"),
        ("canonical_node_order_many", "(graphs, candidate_rule=None, branch_rule=None, "
                                      "allow_hashes=None, compact=None, workers=None)"),
    ]:
        function = getattr(m, name)
        assert name not in m.__all__
        assert function.__text_signature__ == signature
        assert getattr(tolva, name) is function


def test_other_python_threads_run_during_a_batch(corpus):
    window = {}
    ticks = []

    def batch():
        window["start"] = time.perf_counter()
        m.to_cgraph_many(corpus * 3, workers=1)
        window["end"] = time.perf_counter()

    thread = threading.Thread(target=batch)
    thread.start()
    while thread.is_alive():
        ticks.append(time.perf_counter())
    thread.join()
    # Holding the lock would leave one gap in this thread's ticks as long as the whole call.
    inside = [window["start"]] + [t for t in ticks if window["start"] < t < window["end"]] + [window["end"]]
    longest_gap = max(b - a for a, b in zip(inside, inside[1:]))
    assert longest_gap < 0.5 * (window["end"] - window["start"])


def test_graphs_dropped_by_the_caller_during_a_batch_stay_alive():
    molecules = load("molecules", 400)
    expected = [str(c) for c in m.to_cgraph_many(molecules)]
    # Fresh graphs owned only by the list, which this thread empties mid-batch.
    graphs = [m.graph_from_edges(g.node_labels(), [(a, b, x) for _, a, b, x in g.edges()])
              for g in molecules * 2]
    del molecules
    result = {}
    thread = threading.Thread(target=lambda: result.update(out=m.to_cgraph_many(graphs, workers=2)))
    thread.start()
    time.sleep(0.01)
    graphs.clear()
    # Fill the memory the graphs would have freed, so that reading it shows.
    filler = [m.graph_from_edges([], [(str(i), str(i + 1), "x" * 40) for i in range(200)]) for _ in range(200)]
    thread.join()
    del filler
    assert [str(c) for c in result["out"]] == expected * 2
