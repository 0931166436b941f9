"""Arbitrary Python objects thrown at every function of tolva._tolva: a call returns
a valid result or raises TypeError or ValueError (UnicodeEncodeError for lone surrogates), or the
argument's own exception; it never crashes, raises InternalError or changes a graph it was given."""

import inspect

import numpy as np
import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import tolva._tolva as m

SETTINGS = settings(max_examples=150, deadline=None, suppress_health_check=[HealthCheck.too_slow])


class Boom(Exception):
    """Raised by the broken sequences below; it must come back unchanged."""


def boom(*_):
    raise Boom()


BrokenLength = type("BrokenLength", (), {"__len__": boom, "__getitem__": lambda _, i: ("a", "b", "1")})
BrokenItem = type("BrokenItem", (), {"__len__": lambda _: 2, "__getitem__": boom})
# Claims five items and has one: reading past it raises the argument's own exception.
LyingLength = type("LyingLength", (), {"__len__": lambda _: 5,
                                       "__getitem__": lambda _, i: ("a", "A") if i == 0 else boom()})

TRIANGLE = [("a", "b", "x"), ("b", "c", "y"), ("c", "a", "x")]
LOOPED = "graph G {\n r [label=R];\n r -- s;\n s -- t;\n t -- r [weight=2];\n t -- t;\n}\n"
GRAPHS = [m.graph_from_edges([], []), m.graph_from_edges([("a", "A")], TRIANGLE), m.parse_dot_string(LOOPED)]
CGRAPH = m.to_cgraph_py(GRAPHS[1], None, None, None, None, None)


def snapshot(graph):
    return (graph.node_count, graph.edge_count, graph.node_labels(), graph.edges(),
            str(m.to_cgraph_py(graph, None, None, False, False, False)),
            m.canonical_node_order_py(graph, compact=True))


SNAPSHOTS = [snapshot(g) for g in GRAPHS]

texts = st.text(max_size=8) | st.sampled_from(["", "$degree", "\ud800", "a\x00b", "é", "--"])
odd_objects = st.sampled_from([
    np.bool_(True), np.int64(1), np.float64(0.5), object(), Ellipsis, type, len, type("S", (str,), {})("s"),
    bytearray(b"x"), BrokenLength(), BrokenItem(), LyingLength(), CGRAPH, *GRAPHS])
scalars = (st.none() | st.booleans() | st.integers() | st.floats() | texts | st.binary(max_size=6)
           | odd_objects)
anything = st.recursive(
    scalars, lambda inner: st.lists(inner, max_size=4) | st.lists(inner, max_size=4).map(tuple)
    | st.dictionaries(texts, inner, max_size=3) | st.frozensets(st.integers(), max_size=3), max_leaves=12)
graphs = st.sampled_from(GRAPHS)
flags = st.none() | st.booleans() | st.sampled_from([np.bool_(True), np.bool_(False)])
# Well-typed values of each parameter, by name. Threads are capped by the number of graphs,
# so any worker count is safe to try.
VALID = {
    "nodes": st.lists(st.tuples(texts, texts), max_size=4),
    "edges": st.lists(st.tuples(texts, texts, texts), max_size=5),
    "path": st.sampled_from(["", "/", "/nonexistent/x.dot", "a\x00b", "\ud800"]),
    "line": st.binary(max_size=40) | st.sampled_from([b'{"name":"x","nodes":[["a","A"]],"edges":[["a","b","1"]]}',
                                                     b'{"name":"\\ud800","nodes":[],"edges":[]}']),
    "content": texts, "graph": graphs,
    "graphs": st.lists(graphs, max_size=3) | st.lists(graphs, max_size=3).map(tuple),
    "candidate_rule": st.none() | texts, "branch_rule": st.none() | texts,
    "allow_hashes": flags, "compress": flags, "compact": flags,
    "workers": st.none() | st.integers(min_value=-2, max_value=4) | st.integers(),
    "on_error": st.none() | st.sampled_from(["raise", "return"]),
}
FUNCTIONS = m.__all__[2:] + ["to_cgraph_many", "canonical_node_order_many", "graph_from_json_line"]


def valid_result(name, result):
    if name == "graph_from_json_line":
        return result is None or (type(result) is tuple and type(result[0]) is str and type(result[1]) is m.PyGraph)
    if name.startswith(("graph_", "parse_")):
        return type(result) is m.PyGraph
    items = result if name.endswith("_many") else [result]
    if type(items) is not list:
        return False
    # on_error="return" puts a failed graph's exception in its place.
    items = [item for item in items if not isinstance(item, ValueError)]
    if "cgraph" in name:
        return all(type(c) is m.PyCGraph and isinstance(c.as_str(), str) for c in items)
    return all(type(o) is list and all(type(i) is str for i in o) for o in items)


@st.composite
def calls(draw, names):
    # Each argument well-typed or anything at all, given by position or by name, sometimes
    # left out, given twice, or an unknown keyword.
    values = [draw(VALID[name] | anything) for name in names]
    split = draw(st.integers(0, len(names)))
    args, kwargs = values[:split], dict(zip(names[split:], values[split:]))
    for key in draw(st.lists(st.sampled_from(names), max_size=2)):
        kwargs.pop(key, None)
    if draw(st.booleans()):
        args.append(draw(anything))
    if draw(st.integers(0, 4)) == 0:
        kwargs[draw(st.sampled_from(names + ["bogus", "graphs"]))] = draw(anything)
    return args, kwargs


@pytest.mark.parametrize("name", FUNCTIONS)
@SETTINGS
@given(data=st.data())
def test_module_functions_only_raise_type_or_value_errors(name, data):
    function = getattr(m, name)
    args, kwargs = data.draw(calls(list(inspect.signature(function).parameters)))
    try:
        result = function(*args, **kwargs)
    except (TypeError, ValueError, Boom):
        pass
    else:
        assert valid_result(name, result), result
    assert [snapshot(g) for g in GRAPHS] == SNAPSHOTS
