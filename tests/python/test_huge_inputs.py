"""Inputs of a million nodes from edge lists and DOT text. Every walk in tolva uses explicit
stacks, so depth costs no stack; these tests take seconds (deselect with -m "not huge")."""

import pytest

import tolva._tolva as m

pytestmark = pytest.mark.huge
N = 1_000_000


def star_edges():
    return [("c", f"l{i}", "1") for i in range(N)]


def as_dot(edges):
    return "graph G {\n" + "".join(f"  {a} -- {b};\n" for a, b, _ in edges) + "}\n"


@pytest.mark.parametrize("shape", ["path", "star"])
def test_edge_lists_and_dot_text_build_the_same_huge_graph(shape):
    edges = star_edges() if shape == "star" else [(f"n{i}", f"n{i + 1}", "1") for i in range(N - 1)]
    from_edges, from_dot = m.graph_from_edges([], edges), m.parse_dot_string(as_dot(edges))
    for graph in (from_edges, from_dot):
        assert (graph.node_count, graph.edge_count) == (len(edges) + 1, len(edges))
    assert (from_dot.node_labels(), from_dot.edges()) == (from_edges.node_labels(), from_edges.edges())
    assert from_edges.edges()[-1] == (f"e{len(edges)}", *edges[-1])


def test_star_canonical_string_and_order():
    graph = m.graph_from_edges([], star_edges())
    assert str(m.to_cgraph_py(graph, None, None, None, None, None)) == "(" + ", ".join([".:1"] * N) + ")."
    assert m.canonical_node_order_py(graph) == ["c"] + [f"l{i}" for i in reversed(range(N))]


def test_broom_is_written_a_million_levels_deep():
    # r has three leaves and the path p0 .. p(n-1); r is the only node of greatest degree,
    # so the string hangs from it and nests n levels deep.
    n = N - 4
    edges = [("r", f"l{i}", "1") for i in range(3)] + [("r", "p0", "1")]
    graph = m.parse_dot_string(as_dot(edges + [(f"p{i}", f"p{i + 1}", "1") for i in range(n - 1)]))
    chain = "(" * (n - 1) + "." + ":1)." * (n - 1)
    assert str(m.to_cgraph_py(graph, None, None, True, False, False)) == "(.:1, .:1, .:1, " + chain + ":1)."
    assert m.canonical_node_order_py(graph) == ["r", "l2", "l1", "l0"] + [f"p{i}" for i in range(n)]
