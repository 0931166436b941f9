"""The surface of tolva._tolva: registration, PyGraph, graph_from_edges and argument rules."""

import pytest

import tolva
import tolva._tolva as m


def test_module_docstring_is_empty_and_file_is_abi3():
    assert m.__doc__ == ""
    assert m.__file__.endswith("_tolva.abi3.so")


def test_all_lists_registered_names_in_order():
    names = list(m.__all__)
    assert names[:2] == ["PyGraph", "PyCGraph"] or names[:1] == ["PyGraph"]
    assert "graph_from_edges" in names
    for name in names:
        assert getattr(tolva, name) is getattr(m, name)


def test_graph_from_edges_example():
    g = m.graph_from_edges([("a", "A")], [("a", "b", "x")])
    assert g.node_count == 2
    assert g.edge_count == 1
    assert g.node_labels() == [("a", "A"), ("b", ".")]
    assert g.edges() == [("e1", "a", "b", "x")]


@pytest.mark.parametrize(
    "nodes, edges, labels, edge_list",
    [
        ([], [], [], []),
        ([("a", ""), ("a", "A"), ("a", "B")], [], [("a", "A")], []),
        ([("a", "")], [("a", "b", "1")], [("a", "."), ("b", ".")], [("e1", "a", "b", "1")]),
        ([], [("a", "b", "x"), ("a", "b", "x")], [("a", "."), ("b", ".")],
         [("e1", "a", "b", "x"), ("e2", "a", "b", "x")]),
        ([], [("a", "a", "")], [("a", ".")], [("e1", "a", "a", "")]),
        ([("z", "Z")], [("q", "p", "1"), ("", "q", "2")],
         [("z", "Z"), ("q", "."), ("p", "."), ("", ".")],
         [("e1", "q", "p", "1"), ("e2", "", "q", "2")]),
        ([("é", "Ω")], [], [("é", "Ω")], []),
    ],
)
def test_graph_from_edges_builds_what_it_is_given(nodes, edges, labels, edge_list):
    g = m.graph_from_edges(nodes, edges)
    assert g.node_labels() == labels
    assert g.edges() == edge_list
    assert (g.node_count, g.edge_count) == (len(labels), len(edge_list))


def test_sequences_other_than_lists_are_accepted():
    g = m.graph_from_edges(nodes=(("a", "A"),), edges=[])
    assert g.node_labels() == [("a", "A")]


@pytest.mark.parametrize(
    "args, kwargs, message",
    [
        (("ab", []), {}, "argument 'nodes': Can't extract `str` to `Vec`"),
        (([], "abc"), {}, "argument 'edges': Can't extract `str` to `Vec`"),
        (([["a", "A"]], []), {}, "argument 'nodes': 'list' object cannot be cast as 'tuple'"),
        (([("a", "A", "x")], []), {},
         "argument 'nodes': expected tuple of length 2, but got tuple of length 3"),
        (([], [("a", "b")]), {},
         "argument 'edges': expected tuple of length 3, but got tuple of length 2"),
        (([("a", 1)], []), {}, "argument 'nodes': 'int' object cannot be cast as 'str'"),
        (([], [("a", "b", b"x")]), {}, "argument 'edges': 'bytes' object cannot be cast as 'str'"),
        ((5, []), {}, "argument 'nodes': 'int' object cannot be cast as 'Sequence'"),
        (([],), {}, "graph_from_edges() missing required argument 'edges' (pos 2)"),
        (([], [], []), {}, "graph_from_edges() takes exactly 2 positional arguments (3 given)"),
        (([], []), {"extra": 1}, "graph_from_edges() got an unexpected keyword argument 'extra'"),
        (([], []), {"nodes": []}, "argument for graph_from_edges() given by name ('nodes')"),
    ],
)
def test_graph_from_edges_argument_errors(args, kwargs, message):
    with pytest.raises(TypeError) as raised:
        m.graph_from_edges(*args, **kwargs)
    assert str(raised.value).startswith(message)


def test_a_conversion_error_in_either_list_builds_nothing():
    with pytest.raises(TypeError):
        m.graph_from_edges([("a", "A")], [("a", "b", "1"), ("a", "b")])


def test_pygraph_cannot_be_constructed_or_subclassed():
    with pytest.raises(TypeError):
        m.PyGraph()
    with pytest.raises(TypeError):
        type("Sub", (m.PyGraph,), {})


def test_pygraph_surface():
    g = m.graph_from_edges([], [])
    assert m.PyGraph.__name__ == "PyGraph"
    assert m.PyGraph.__doc__ == ""
    assert not hasattr(g, "__dict__")
    with pytest.raises(AttributeError):
        g.node_count = 3
    assert m.PyGraph.node_labels.__text_signature__ == "($self)"
    assert m.PyGraph.edges.__text_signature__ == "($self)"
    assert m.graph_from_edges.__text_signature__ == "(nodes, edges)"


def test_internal_error_is_a_base_exception_outside_all():
    assert issubclass(m.InternalError, BaseException)
    assert not issubclass(m.InternalError, Exception)
    assert "InternalError" not in m.__all__
