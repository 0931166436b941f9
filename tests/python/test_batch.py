"""to_cgraph_many and canonical_node_order_many: the single functions over many graphs at once."""

import itertools
import threading
import time

import pytest

import tolva._tolva as m
from conftest import FLAGS, corpus_graphs, graph

G = graph([], [("a", "b", "1")])


@pytest.fixture(scope="module")
def corpus():
    # Molecules, every small graph (single nodes, disconnected ones), an empty graph, one graph many
    # times. A worker lends its storage from one graph's call to the next: between them come a long
    # path, whose call leaves storage too large to keep, and a diamond chain, whose copies grow it.
    molecules = corpus_graphs("molecules", 300)
    path = graph([], [(f"p{i}", f"p{i + 1}", "1") for i in range(20_000)])
    diamonds = graph([], [(f"c{i}", f"{side}{i}", "1") for i in range(6) for side in "tb"] +
                     [(f"{side}{i}", f"c{i + 1}", "2") for i in range(6) for side in "tb"])
    return (molecules[:150] + [path] + molecules[150:] + [diamonds] + corpus_graphs("small-graphs") +
            [graph([], [])] + [molecules[7]] * 20)


# Every option combination, each with another worker count (None lets the library choose).
@pytest.mark.parametrize("options, workers", zip(itertools.product(FLAGS, FLAGS, FLAGS),
                                                 itertools.cycle([None, 1, 3, 10_000, 2**70])))
def test_batches_equal_single_calls(corpus, options, workers):
    allow_hashes, compress, compact = options
    single = [str(m.to_cgraph_py(g, None, None, allow_hashes, compress, compact)) for g in corpus]
    batch = m.to_cgraph_many(corpus, "$degree", "any", allow_hashes, compress, compact, workers=workers)
    assert all(type(c) is m.PyCGraph for c in batch) and list(map(str, batch)) == single
    orders = [m.canonical_node_order_py(g, allow_hashes=allow_hashes, compact=compact) for g in corpus]
    assert m.canonical_node_order_many(tuple(corpus), None, None, allow_hashes, compact, workers) == orders


@pytest.mark.parametrize("workers", [1, 8])
@pytest.mark.parametrize("function", [m.to_cgraph_many, m.canonical_node_order_many])
def test_first_failing_position_is_reported(corpus, function, workers):
    # Empty graphs never consult the candidate rule, so position 3 is the first failure.
    with pytest.raises(ValueError) as batch:
        function([graph([], [])] * 3 + corpus[:50], "x", workers=workers)
    assert type(batch.value) is ValueError
    assert str(batch.value) == "graph 3: unsupported: candidate rule 'x' not implemented"


@pytest.mark.parametrize("args, kwargs, error_type, message", [
    (((g for g in [G]),), {}, TypeError, "argument 'graphs': 'generator' object cannot be cast as 'Sequence'"),
    (([G, G, 3],), {}, TypeError, "argument 'graphs[2]': 'int' object cannot be cast as 'PyGraph'"),
    (([G],), {"workers": 0}, ValueError, "argument 'workers': expected a positive int or None, got 0"),
    (([G],), {"workers": -(2**70)}, ValueError, "argument 'workers': expected a positive int or None"),
    (([G],), {"workers": True}, TypeError, "argument 'workers': 'bool' object cannot be cast as 'int'"),
    # Arguments are checked before any work: a bad count wins over a failing graph, a bad item over both.
    (([G], "x"), {"workers": 0}, ValueError, "argument 'workers'"),
    (([G, "G"], "x"), {"workers": 0}, TypeError, "argument 'graphs[1]'"),
])
@pytest.mark.parametrize("function", [m.to_cgraph_many, m.canonical_node_order_many])
def test_argument_errors(function, args, kwargs, error_type, message):
    with pytest.raises(error_type) as error:
        function(*args, **kwargs)
    assert message in str(error.value)


def test_empty_batches_and_compress_belongs_to_the_cgraph_function_only():
    assert m.to_cgraph_many(()) == m.canonical_node_order_many([], workers=3) == []
    assert str(m.to_cgraph_many([G], compress=False)[0]) == "(.:1)."
    with pytest.raises(TypeError, match="compress"):
        m.canonical_node_order_many([G], compress=False)


def test_graphs_dropped_by_the_caller_during_a_batch_stay_alive():
    molecules = corpus_graphs("molecules", 400)
    expected = list(map(str, m.to_cgraph_many(molecules))) * 2
    # Fresh graphs owned only by the list, which this thread empties mid-batch.
    graphs = [m.graph_from_edges(g.node_labels(), [e[1:] for e in g.edges()]) for g in molecules * 2]
    del molecules
    result = []
    thread = threading.Thread(target=lambda: result.extend(m.to_cgraph_many(graphs, workers=2)))
    thread.start()
    time.sleep(0.01)
    graphs.clear()
    # Fill the memory the graphs would have freed, so that reading it shows.
    long_path = [(str(i), str(i + 1), "x" * 40) for i in range(200)]
    filler = [m.graph_from_edges([], long_path) for _ in range(200)]
    thread.join()
    del filler
    assert list(map(str, result)) == expected
