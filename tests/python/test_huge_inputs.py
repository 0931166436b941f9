"""Inputs of a million nodes: a path, a star and a broom (a path with three
leaves at one end), built from edge lists and from DOT text.

Every walk in tolva uses explicit stacks, so depth costs no stack; these
tests would crash the interpreter otherwise. They take seconds; deselect them
with -m "not huge".
"""

import pytest

import tolva._tolva as m

pytestmark = pytest.mark.huge

N = 1_000_000


def path_edges(n):
    return [(f"n{i}", f"n{i + 1}", "1") for i in range(n - 1)]


def star_edges(leaves):
    return [("c", f"l{i}", "1") for i in range(leaves)]


def as_dot(edges):
    return "graph G {\n" + "".join(f"  {a} -- {b};\n" for a, b, _ in edges) + "}\n"


@pytest.fixture(scope="module", params=["path", "star"])
def shape(request):
    edges = path_edges(N) if request.param == "path" else star_edges(N)
    return request.param, edges


def test_edge_lists_and_dot_text_build_the_same_huge_graph(shape):
    name, edges = shape
    from_edges = m.graph_from_edges([], edges)
    from_dot = m.parse_dot_string(as_dot(edges))
    nodes = N if name == "path" else N + 1
    for graph in (from_edges, from_dot):
        assert (graph.node_count, graph.edge_count) == (nodes, len(edges))
    assert from_dot.node_labels() == from_edges.node_labels()
    listed = from_edges.edges()
    assert from_dot.edges() == listed
    assert listed[-1] == (f"e{len(edges)}", *edges[-1])


def test_star_canonical_string_and_order():
    graph = m.graph_from_edges([], star_edges(N))
    assert str(m.to_cgraph_py(graph, None, None, None, None, None)) == "(" + ", ".join([".:1"] * N) + ")."
    order = m.canonical_node_order_py(graph)
    assert order == ["c"] + [f"l{i}" for i in reversed(range(N))]


def test_broom_is_written_a_million_levels_deep():
    # r has three leaves and the path p0 .. p(n-1); r is the only node of
    # greatest degree, so the string hangs from it and nests n levels deep.
    n = N - 4
    edges = [("r", f"l{i}", "1") for i in range(3)] + [("r", "p0", "1")]
    edges += [(f"p{i}", f"p{i + 1}", "1") for i in range(n - 1)]
    graph = m.parse_dot_string(as_dot(edges))
    chain = "(" * (n - 1) + "." + ":1)." * (n - 1)
    text = str(m.to_cgraph_py(graph, None, None, True, False, False))
    assert text == "(.:1, .:1, .:1, " + chain + ":1)."
    order = m.canonical_node_order_py(graph)
    assert order == ["r", "l2", "l1", "l0"] + [f"p{i}" for i in range(n)]
