"""The surface of tolva._tolva: its names, the two types, graph_from_edges and the argument
rules of every function."""

import itertools
import subprocess
import sys

import numpy
import pytest

import tolva
import tolva._tolva as m
from conftest import FLAGS, ROOT, cgraph, cli_env, graph

NAMES = ["PyGraph", "PyCGraph", "parse_dot", "parse_dot_string", "graph_from_edges", "to_cgraph_py",
         "canonical_node_order_py"]
G = graph([("r", "R"), ("a", "A"), ("b", "B"), ("c", "C"), ("e", "E")],
          [("r", "a", "1"), ("a", "c", "1"), ("c", "b", "1"), ("b", "r", "1"), ("r", "e", "x"),
           ("c", "e", "2")])
EMPTY = graph([], [])


def test_every_public_name_is_there_and_the_command_line_starts_without_the_slow_imports():
    assert sorted(dir(tolva)) == sorted(set(dir(tolva)) | set(tolva.__all__))
    assert all(getattr(tolva, name) is not None for name in tolva.__all__)
    with pytest.raises(AttributeError, match="no attribute 'nothing'"):
        tolva.nothing  # noqa: B018
    # Names load on first use: the command line's start does not pay for typing, dataclasses
    # (with inspect), json, the decompressors, threads or the friendly API.
    slow = ["typing", "dataclasses", "inspect", "json", "gzip", "lzma", "zstandard", "queue", "threading",
            "shutil", "tolva._api", "tolva._dot_line_checks"]
    code = (f"import sys; before = set(sys.modules); import tolva.cli; tolva.cli.build_parser(False); "
            f"print(sorted(set({slow}) & (set(sys.modules) - before)))")
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, cwd=ROOT, env=cli_env())
    assert (done.returncode, done.stdout) == (0, "[]\n"), done.stderr


def test_names_file_and_signatures():
    assert m.__all__ == NAMES
    for name in NAMES + ["to_cgraph_many", "canonical_node_order_many"]:
        assert getattr(tolva, name) is getattr(m, name)
    assert m.__file__.endswith("/_tolva.abi3.so")
    assert (m.PyGraph.__name__, m.graph_from_edges.__text_signature__) == ("PyGraph", "(nodes, edges)")
    # Raised only for a broken invariant, so `except Exception` must not swallow it.
    assert issubclass(m.InternalError, BaseException) and not issubclass(m.InternalError, Exception)


@pytest.mark.parametrize("nodes, edges, labels, edge_list", [
    ([("a", "A")], [("a", "b", "x")], [("a", "A"), ("b", ".")], [("e1", "a", "b", "x")]),
    ((("a", ""), ("a", "A"), ("a", "B")), [("a", "a", "")], [("a", "A")], [("e1", "a", "a", "")]),
    ([("z", "Z")], [("q", "p", "1"), ("", "q", "1")], [("z", "Z"), ("q", "."), ("p", "."), ("", ".")],
     [("e1", "q", "p", "1"), ("e2", "", "q", "1")]),
])
def test_graph_from_edges_builds_what_it_is_given(nodes, edges, labels, edge_list):
    g = m.graph_from_edges(nodes, edges)
    assert (g.node_labels(), g.edges()) == (labels, edge_list)
    assert (g.node_count, g.edge_count) == (len(labels), len(edge_list))


FROM_EDGES, TO_CGRAPH, ORDER = m.graph_from_edges, m.to_cgraph_py, m.canonical_node_order_py


@pytest.mark.parametrize("function, args, kwargs, message", [
    (FROM_EDGES, ("ab", []), {}, "argument 'nodes': Can't extract `str` to `Vec`"),
    (FROM_EDGES, ([["a", "A"]], []), {}, "argument 'nodes': 'list' object cannot be cast as 'tuple'"),
    (FROM_EDGES, ([], [("a", "b")]), {}, "argument 'edges': expected tuple of length 3, but got tuple of"),
    (FROM_EDGES, ([], [("a", "b", b"x")]), {}, "argument 'edges': 'bytes' object cannot be cast as 'str'"),
    (FROM_EDGES, ([], [], []), {}, "graph_from_edges() takes exactly 2 positional arguments (3 given)"),
    (FROM_EDGES, ([], []), {"nodes": []}, "argument for graph_from_edges() given by name ('nodes')"),
    (TO_CGRAPH, (G, None, None, None, None), {}, "to_cgraph_py() missing required argument 'compact'"),
    (TO_CGRAPH, (G, None, None, 1, None, None), {}, "argument 'allow_hashes': 'int' object cannot be"),
    (ORDER, (G,), {"candidate_rule": 5}, "argument 'candidate_rule': 'int' object cannot be"),
    (ORDER, (G,), {"compress": True}, "canonical_node_order_py() got an unexpected keyword"),
])
def test_argument_errors(function, args, kwargs, message):
    with pytest.raises(TypeError) as raised:
        function(*args, **kwargs)
    assert str(raised.value).startswith(message)


def test_types_cannot_be_made_or_subclassed_and_graphs_are_read_only():
    as_str = m.to_cgraph_py(G, None, None, None, None, None).as_str
    for call in (m.PyGraph, m.PyCGraph, lambda: type("Sub", (m.PyGraph,), {}),
                 lambda: type("Sub", (m.PyCGraph,), {}), lambda: G.node_labels(1), lambda: G.edges(1),
                 lambda: as_str(1)):
        with pytest.raises(TypeError):
            call()
    for change in (lambda: setattr(G, "node_count", 3), lambda: delattr(G, "edge_count")):
        with pytest.raises(AttributeError):
            change()


def test_the_one_edge_example_text_forms_and_the_empty_graph():
    a_b = graph([], [("a", "b", "1")])
    assert (cgraph(a_b), m.canonical_node_order_py(a_b)) == ("(.:1).", ["a", "b"])
    for g in (G, a_b, EMPTY):
        c = m.to_cgraph_py(g, None, None, None, None, None)
        # repr() was the bare text until results became comparable; now it names the class.
        assert type(c) is m.PyCGraph and str(c) == c.as_str() and repr(c) == f"PyCGraph({str(c)!r})"
    assert (cgraph(EMPTY), m.canonical_node_order_py(EMPTY)) == ("", [])


# The batch and golden tests cover None meaning the default and the branch rule being ignored.
def test_numpy_booleans_count_as_booleans():
    for ah, ct in itertools.product(FLAGS, FLAGS):
        np_ah, np_ct = numpy.bool_(ah), numpy.bool_(ct)
        assert m.to_cgraph_py(G, None, None, np_ah, numpy.False_, np_ct).as_str() == cgraph(G, ah, False, ct)
        assert m.canonical_node_order_py(G, None, None, np_ah, np_ct) == ORDER(G, None, None, ah, ct)


@pytest.mark.parametrize("rule", ["x", "$degree ", "$DEGREE", ""])
def test_unknown_candidate_rule_is_a_value_error_except_for_the_empty_graph(rule):
    with pytest.raises(ValueError) as raised:
        m.to_cgraph_py(G, rule, None, None, None, None)
    assert raised.value.args == (f"unsupported: candidate rule '{rule}' not implemented",)
    with pytest.raises(ValueError, match="^unsupported: candidate rule"):
        m.canonical_node_order_py(G, rule)
    assert [m.to_cgraph_py(EMPTY, rule, None, None, cp, None).as_str() for cp in FLAGS] == ["", ""]
    assert m.canonical_node_order_py(EMPTY, rule) == []
