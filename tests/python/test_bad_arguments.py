"""Arbitrary Python objects thrown at every function and method of tolva._tolva,
the batch functions included.

Whatever comes in, a call either returns a valid result or raises TypeError or
ValueError (UnicodeEncodeError, a ValueError, for lone surrogates); an
exception raised by the argument itself passes through unchanged. No call
crashes, raises InternalError or changes a graph it was given.
"""

import numpy as np
import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import tolva._tolva as m

SETTINGS = settings(max_examples=150, deadline=None, suppress_health_check=[HealthCheck.too_slow])


class Boom(Exception):
    """Raised by the broken sequences below; it must come back unchanged."""


class BrokenLength:
    def __len__(self):
        raise Boom("len")

    def __getitem__(self, index):
        return ("a", "b", "1")


class BrokenItem:
    def __len__(self):
        return 2

    def __getitem__(self, index):
        raise Boom("item")


class LyingLength:
    """Claims more items than it has."""

    def __len__(self):
        return 5

    def __getitem__(self, index):
        if index >= 1:
            raise IndexError(index)
        return ("a", "A")


class StrSubclass(str):
    pass


GRAPHS = [
    m.graph_from_edges([], []),
    m.graph_from_edges([("a", "A")], [("a", "b", "x"), ("b", "c", "y"), ("c", "a", "x")]),
    m.parse_dot_string("graph G {\n r [label=R];\n r -- s;\n s -- t;\n t -- r [weight=2];\n t -- t;\n}\n"),
]
CGRAPH = m.to_cgraph_py(GRAPHS[1], None, None, None, None, None)


def snapshot(graph):
    return (graph.node_count, graph.edge_count, graph.node_labels(), graph.edges(),
            str(m.to_cgraph_py(graph, None, None, False, False, False)),
            m.canonical_node_order_py(graph, compact=True))


SNAPSHOTS = [snapshot(g) for g in GRAPHS]

texts = st.text(max_size=8) | st.sampled_from(["", "$degree", "\ud800", "a\x00b", "é", "--"])
scalars = (
    st.none() | st.booleans() | st.integers() | st.floats(allow_nan=True) | texts | st.binary(max_size=6)
    | st.sampled_from([np.bool_(True), np.bool_(False), np.int64(1), np.float64(0.5), object(),
                       Ellipsis, NotImplemented, type, len, StrSubclass("s"), bytearray(b"x"),
                       BrokenLength(), BrokenItem(), LyingLength(), CGRAPH, *GRAPHS])
)
anything = st.recursive(
    scalars,
    lambda inner: st.lists(inner, max_size=4) | st.lists(inner, max_size=4).map(tuple)
    | st.dictionaries(texts, inner, max_size=3) | st.frozensets(st.integers(), max_size=3),
    max_leaves=12,
)
node_lists = st.lists(st.tuples(texts, texts), max_size=4)
edge_lists = st.lists(st.tuples(texts, texts, texts), max_size=5)
graphs = st.sampled_from(GRAPHS)
rules = st.none() | texts | st.just("$degree")
flags = st.none() | st.booleans() | st.sampled_from([np.bool_(True), np.bool_(False)])
graph_lists = st.lists(graphs, max_size=3) | st.lists(graphs, max_size=3).map(tuple)
workers = st.none() | st.integers(min_value=-2, max_value=4) | st.integers()

# name -> (function, parameter names, a strategy for each parameter's well-typed values)
FUNCTIONS = {
    "graph_from_edges": (m.graph_from_edges, ["nodes", "edges"], [node_lists, edge_lists]),
    "parse_dot": (m.parse_dot, ["path"], [st.sampled_from(["", "/", "/nonexistent/x.dot", "a\x00b",
                                                            "\ud800"])]),
    "parse_dot_string": (m.parse_dot_string, ["content"], [texts]),
    "to_cgraph_py": (m.to_cgraph_py,
                     ["graph", "candidate_rule", "branch_rule", "allow_hashes", "compress", "compact"],
                     [graphs, rules, rules, flags, flags, flags]),
    "canonical_node_order_py": (m.canonical_node_order_py,
                                ["graph", "candidate_rule", "branch_rule", "allow_hashes", "compact"],
                                [graphs, rules, rules, flags, flags]),
    # Threads are capped by the number of graphs, so any worker count is safe to try.
    "to_cgraph_many": (m.to_cgraph_many,
                       ["graphs", "candidate_rule", "branch_rule", "allow_hashes", "compress", "compact",
                        "workers"],
                       [graph_lists, rules, rules, flags, flags, flags, workers]),
    "canonical_node_order_many": (m.canonical_node_order_many,
                                  ["graphs", "candidate_rule", "branch_rule", "allow_hashes", "compact",
                                   "workers"],
                                  [graph_lists, rules, rules, flags, flags, workers]),
}


def valid_result(name, result):
    if name in ("graph_from_edges", "parse_dot", "parse_dot_string"):
        return type(result) is m.PyGraph
    if name == "to_cgraph_py":
        return type(result) is m.PyCGraph and isinstance(result.as_str(), str)
    if name == "to_cgraph_many":
        return type(result) is list and all(type(item) is m.PyCGraph for item in result)
    if name == "canonical_node_order_many":
        return type(result) is list and all(valid_result("canonical_node_order_py", item) for item in result)
    return type(result) is list and all(type(item) is str for item in result)


@st.composite
def calls(draw, name):
    """Positional and keyword arguments: each one well-typed or anything at all,
    sometimes with a parameter left out, given twice, or an unknown keyword."""
    _, names, valid = FUNCTIONS[name]
    values = [draw(strategy | anything) for strategy in valid]
    split = draw(st.integers(0, len(names)))
    args = values[:split]
    kwargs = dict(zip(names[split:], values[split:]))
    for key in draw(st.lists(st.sampled_from(names), max_size=2)):
        kwargs.pop(key, None)
    if draw(st.booleans()):
        args.append(draw(anything))
    if draw(st.integers(0, 4)) == 0:
        kwargs[draw(st.sampled_from(names + ["bogus", "graphs"]))] = draw(anything)
    return args, kwargs


def check_graphs_unchanged():
    for graph, before in zip(GRAPHS, SNAPSHOTS):
        assert snapshot(graph) == before


@pytest.mark.parametrize("name", sorted(FUNCTIONS))
@SETTINGS
@given(data=st.data())
def test_module_functions_only_raise_type_or_value_errors(name, data):
    function = FUNCTIONS[name][0]
    args, kwargs = data.draw(calls(name))
    try:
        result = function(*args, **kwargs)
    except (TypeError, ValueError, Boom):
        pass
    else:
        assert valid_result(name, result), result
    check_graphs_unchanged()


METHODS = [
    ("node_labels", lambda g: g.node_labels),
    ("edges", lambda g: g.edges),
    ("as_str", lambda g: CGRAPH.as_str),
]


@pytest.mark.parametrize("name, method", METHODS, ids=[name for name, _ in METHODS])
@SETTINGS
@given(graph=graphs, args=st.lists(anything, max_size=2), kwargs=st.dictionaries(texts, anything, max_size=2))
def test_methods_take_no_arguments(name, method, graph, args, kwargs):
    bound = method(graph)
    if args or kwargs:
        with pytest.raises(TypeError):
            bound(*args, **kwargs)
    else:
        assert isinstance(bound(), (list, str))
    check_graphs_unchanged()


@pytest.mark.parametrize("prop", ["node_count", "edge_count"])
@SETTINGS
@given(graph=graphs, value=anything)
def test_count_properties_are_read_only(prop, graph, value):
    count = getattr(graph, prop)
    assert type(count) is int and count >= 0
    with pytest.raises((AttributeError, TypeError)):
        setattr(graph, prop, value)
    with pytest.raises((AttributeError, TypeError)):
        delattr(graph, prop)
    check_graphs_unchanged()
