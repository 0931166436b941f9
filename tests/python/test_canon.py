"""The canonical form from Python: to_cgraph_py, PyCGraph and canonical_node_order_py."""

import itertools
import json
import os
import pathlib
import subprocess
import sys

import numpy
import pytest

import tolva._tolva as m

DATA = pathlib.Path(__file__).resolve().parents[2].parent / "shared" / "data"
EXPECTED = DATA / "expected"
DEFAULT_BRANCH_RULE = "$depth > tree.parent_modality > $lexic"

needs_data = pytest.mark.skipif(not EXPECTED.is_dir(), reason=f"reference data not found at {DATA}")


def graph(nodes, edges):
    return m.graph_from_edges([tuple(n) for n in nodes], [tuple(e) for e in edges])


def cgraph(g, allow_hashes=True, compress=True, compact=False):
    return m.to_cgraph_py(g, None, None, allow_hashes, compress, compact).as_str()


TRIANGLE = [("r", "a", "1"), ("r", "b", "1"), ("a", "b", "1")]
SQUARE = [("r", "a", "1"), ("a", "c", "1"), ("c", "b", "1"), ("b", "r", "1")]
LABELS = [("r", "R"), ("a", "A"), ("b", "B"), ("c", "C")]
OPTIONS = list(itertools.product([False, True], repeat=2))


def test_two_node_dot_text():
    g = m.parse_dot_string("graph G {\na -- b\n}")
    assert cgraph(g) == "(.:1)."
    assert m.canonical_node_order_py(g) == ["a", "b"]


def test_module_registers_exactly_seven_names_in_order():
    assert list(m.__all__) == [
        "PyGraph", "PyCGraph", "parse_dot", "parse_dot_string",
        "graph_from_edges", "to_cgraph_py", "canonical_node_order_py",
    ]


def test_signatures():
    assert m.to_cgraph_py.__text_signature__ == (
        "(graph, candidate_rule, branch_rule, allow_hashes, compress, compact)")
    assert m.canonical_node_order_py.__text_signature__ == (
        "(graph, candidate_rule=None, branch_rule=None, allow_hashes=None, compact=None)")
    assert m.PyCGraph.as_str.__text_signature__ == "($self)"


@pytest.mark.parametrize("args", [(), (None,), (None,) * 4])
def test_to_cgraph_py_needs_all_six_arguments(args):
    g = graph(LABELS, SQUARE)
    with pytest.raises(TypeError):
        m.to_cgraph_py(g, *args)
    with pytest.raises(TypeError):
        m.to_cgraph_py(g, None, None, None, None, None, None)


def test_none_means_the_default():
    g = graph(LABELS + [("e", "E")], SQUARE + [("r", "e", "x"), ("c", "e", "2")])
    explicit = m.to_cgraph_py(g, "$degree", DEFAULT_BRANCH_RULE, True, True, False)
    assert str(m.to_cgraph_py(g, None, None, None, None, None)) == str(explicit)
    by_name = m.to_cgraph_py(graph=g, candidate_rule=None, branch_rule=None, allow_hashes=None,
                             compress=None, compact=None)
    assert str(by_name) == str(explicit)
    order = m.canonical_node_order_py(g, "$degree", DEFAULT_BRANCH_RULE, True, False)
    assert m.canonical_node_order_py(g) == order
    assert m.canonical_node_order_py(g, None, None, None, None) == order
    assert m.canonical_node_order_py(g, compact=None, allow_hashes=True) == order


@pytest.mark.parametrize("position, name, value", [
    (0, "graph", "not a graph"),
    (1, "candidate_rule", 5),
    (2, "branch_rule", b"$lexic"),
    (3, "allow_hashes", 1),
    (4, "compress", 0),
    (5, "compact", "yes"),
])
def test_wrong_types_name_the_argument(position, name, value):
    args = [graph(LABELS, TRIANGLE), None, None, None, None, None]
    args[position] = value
    with pytest.raises(TypeError, match=f"argument '{name}'"):
        m.to_cgraph_py(*args)
    if name != "compress":
        order_args = args[:4] + args[5:]
        with pytest.raises(TypeError, match=f"argument '{name}'"):
            m.canonical_node_order_py(*order_args)


def test_numpy_booleans_are_accepted():
    g = graph(LABELS, SQUARE + [("r", "e", "1")])
    for allow_hashes, compact in OPTIONS:
        expected = m.to_cgraph_py(g, None, None, allow_hashes, False, compact).as_str()
        got = m.to_cgraph_py(g, None, None, numpy.bool_(allow_hashes), numpy.False_, numpy.bool_(compact))
        assert got.as_str() == expected
        assert (m.canonical_node_order_py(g, None, None, numpy.bool_(allow_hashes), numpy.bool_(compact))
                == m.canonical_node_order_py(g, None, None, allow_hashes, compact))


def test_pycgraph_text_forms_agree():
    for edges in ([], TRIANGLE, SQUARE):
        c = m.to_cgraph_py(graph(LABELS[:1], edges), None, None, None, None, None)
        assert type(c) is m.PyCGraph
        assert str(c) == repr(c) == c.as_str()
    assert repr(m.to_cgraph_py(graph([("a", "A")], []), None, None, None, None, None)) == "()A"


def test_pycgraph_cannot_be_made_or_subclassed_from_python():
    with pytest.raises(TypeError):
        m.PyCGraph()
    with pytest.raises(TypeError):
        type("Sub", (m.PyCGraph,), {})
    c = m.to_cgraph_py(graph(LABELS, TRIANGLE), None, None, None, None, None)
    assert m.PyCGraph.__name__ == "PyCGraph"
    assert m.PyCGraph.__doc__ == ""
    assert not hasattr(c, "__dict__")


@pytest.mark.parametrize("rule", [None, "$degree", "x", "$degree "])
def test_empty_graph_gives_empty_results_for_any_rule(rule):
    g = graph([], [])
    for compress in (False, True):
        assert m.to_cgraph_py(g, rule, None, None, compress, None).as_str() == ""
    assert m.canonical_node_order_py(g, rule) == []


@pytest.mark.parametrize("rule", ["x", "$degree ", " $degree", "$DEGREE", ""])
def test_unknown_candidate_rule_is_a_value_error(rule):
    g = graph([("a", "A")], [])
    message = f"unsupported: candidate rule '{rule}' not implemented"
    with pytest.raises(ValueError) as raised:
        m.to_cgraph_py(g, rule, None, None, None, None)
    assert raised.value.args == (message,)
    with pytest.raises(ValueError) as raised:
        m.canonical_node_order_py(g, rule)
    assert raised.value.args == (message,)


def test_branch_rule_is_not_consulted():
    g = graph(LABELS, SQUARE + [("c", "d", "2")])
    for rule in ("", "$lexic", "anything at all"):
        assert m.to_cgraph_py(g, None, rule, None, None, None).as_str() == cgraph(g)
        assert m.canonical_node_order_py(g, None, rule) == m.canonical_node_order_py(g)


def test_the_callers_graph_is_unchanged():
    g = graph(LABELS, SQUARE + TRIANGLE + [("c", "c", "x")])
    labels, edges = g.node_labels(), g.edges()
    first = [cgraph(g, ah, cp, ct) for ah, ct in OPTIONS for cp in (False, True)]
    orders = [m.canonical_node_order_py(g, None, None, ah, ct) for ah, ct in OPTIONS]
    assert (g.node_labels(), g.edges()) == (labels, edges)
    assert [cgraph(g, ah, cp, ct) for ah, ct in OPTIONS for cp in (False, True)] == first
    assert [m.canonical_node_order_py(g, None, None, ah, ct) for ah, ct in OPTIONS] == orders


# Leaves named like the ids the rewrite makes must stay ordinary leaves.
@pytest.mark.parametrize("edges, leaf", [
    (TRIANGLE, "*v0"), (TRIANGLE, "*v1"), (TRIANGLE, "*v0'"),
    (SQUARE, "#m0_0"), (SQUARE, "#m0_1"), (SQUARE, "c@#m0_0"), (SQUARE, "b@#m0_0"),
])
def test_generated_ids_never_capture_an_input_node(edges, leaf):
    named = graph(LABELS + [(leaf, "Z")], edges + [("r", leaf, "1")])
    plain = graph(LABELS + [("zz", "Z")], edges + [("r", "zz", "1")])
    for allow_hashes, compact in OPTIONS:
        assert cgraph(named, allow_hashes, False, compact) == cgraph(plain, allow_hashes, False, compact)
        order = m.canonical_node_order_py(named, None, None, allow_hashes, compact)
        plain_order = m.canonical_node_order_py(plain, None, None, allow_hashes, compact)
        assert order == [leaf if i == "zz" else i for i in plain_order]


def test_triangle_with_a_leaf_named_like_a_virtual_leaf():
    g = graph(LABELS[:3] + [("*v0", "Z")], TRIANGLE + [("r", "*v0", "1")])
    assert cgraph(g, False, False, False) == "(Z:1, (*{_()A_-1-_()B_}:1)A:1, (*{_()A_-1-_()B_}:1)B:1)R"
    assert m.canonical_node_order_py(g) == ["r", "*v0", "a", "b"]


def test_node_order_reports_every_reached_input_node():
    g = graph([], [("r", "a", "1"), ("a", "c", "1"), ("c", "b", "1"), ("b", "r", "1"), ("c", "d", "1"),
                   ("r", "e", "1"), ("r", "f", "1")])
    for allow_hashes in (False, True):
        assert m.canonical_node_order_py(g, None, None, allow_hashes, False) == ["r", "f", "e", "a", "c", "d", "b"]
        assert m.canonical_node_order_py(g, None, None, allow_hashes, True) == ["r", "f", "e", "a", "c", "b", "d"]


def test_ids_with_at_signs_are_listed_whole():
    star = graph([("s", "S")], [("s", "x@1", "1"), ("s", "x@2", "1"), ("s", "@x", "1"), ("s", "x", "1")])
    split = graph([("r", "R"), ("a", "A"), ("c@1", "C"), ("b", "B"), ("d@x", "D")],
                  [("r", "a", "1"), ("a", "c@1", "1"), ("c@1", "b", "1"), ("b", "r", "1"), ("c@1", "d@x", "1")])
    for allow_hashes, compact in OPTIONS:
        assert m.canonical_node_order_py(star, None, None, allow_hashes, compact) == ["s", "x", "@x", "x@2", "x@1"]
        assert m.canonical_node_order_py(split, None, None, allow_hashes, compact) == ["c@1", "d@x", "a", "r", "b"]


def test_an_unclosed_brace_in_a_label_is_kept():
    g = graph([("s", "S"), ("a", "{"), ("b", "B"), ("c", "C")], [("s", "a", "1"), ("s", "b", "1"), ("s", "c", "1")])
    assert cgraph(g, compress=True) == "(B:1, C:1, {:1)S"
    assert cgraph(g, compress=False) == "(B:1, C:1, {:1)S"


def test_braces_are_compressed_into_tokens():
    g = graph(LABELS + [("l", "L")], SQUARE + [("r", "l", "1")])
    assert cgraph(g, False, False, False) == "(L:1, ((C:1).#2{_()C_}:1)A:1, ((C:1).#2{_()C_}:1)B:1)R"
    assert cgraph(g, False, True, False) == "(L:1, ((C:1).#2{$1}:1)A:1, ((C:1).#2{$1}:1)B:1)R"


LONE = "\ud800"


@pytest.mark.parametrize("call", [
    lambda g: m.to_cgraph_py(g, LONE, None, None, None, None),
    lambda g: m.to_cgraph_py(g, None, "x" + LONE, None, None, None),
    lambda g: m.canonical_node_order_py(g, LONE),
    lambda g: m.canonical_node_order_py(g, branch_rule=LONE),
    lambda g: m.graph_from_edges([(LONE, "A")], []),
    lambda g: m.graph_from_edges([("a", LONE)], []),
    lambda g: m.graph_from_edges([], [("a", "b", LONE)]),
    lambda g: m.graph_from_edges([], [("a", LONE + "b", "1")]),
])
def test_lone_surrogates_raise_instead_of_crashing(call):
    with pytest.raises((UnicodeEncodeError, TypeError)):
        call(graph(LABELS, TRIANGLE))


def read_jsonl(path, limit=None):
    with open(path, encoding="utf-8") as lines:
        return [json.loads(line) for line in itertools.islice(lines, limit)]


def corpus_cases():
    for source, expected, limit in (("small-graphs.jsonl", "small-graphs.expected.jsonl", None),
                                    ("molecules.jsonl", "molecules-3000.expected.jsonl", 200)):
        if not (DATA / source).exists() or not (EXPECTED / expected).exists():
            continue
        graphs = read_jsonl(DATA / source, limit)
        results = read_jsonl(EXPECTED / expected, limit)
        assert [g["name"] for g in graphs] == [r["name"] for r in results]
        yield from zip(graphs, results)


@needs_data
def test_reference_strings_and_orders():
    cases = list(corpus_cases())
    assert len(cases) == 208 + 200
    failures = []
    for g_json, reference in cases:
        g = graph(g_json["nodes"], g_json["edges"])
        for ah, cp, ct in itertools.product((1, 0), repeat=3):
            got = m.to_cgraph_py(g, None, None, bool(ah), bool(cp), bool(ct)).as_str()
            if got != reference["cgraph"][f"ah={ah} cp={cp} ct={ct}"]:
                failures.append((g_json["name"], "cgraph", ah, cp, ct))
        for ah, ct in itertools.product((1, 0), repeat=2):
            got = m.canonical_node_order_py(g, None, None, bool(ah), bool(ct))
            if got != reference["order"][f"ah={ah} ct={ct}"]:
                failures.append((g_json["name"], "order", ah, ct))
    assert failures == []


TRACE_DRIVER = """
import json, os, sys
import tolva._tolva as m
case = json.loads(sys.argv[1])
g = m.graph_from_edges([tuple(n) for n in case["nodes"]], [tuple(e) for e in case["edges"]])
c = m.to_cgraph_py(g, None, None, case["allow_hashes"], False, case["compact"])
sys.stdout.flush()
os.write(1, ("RESULT " + c.as_str() + "\\n").encode())
"""


@needs_data
@pytest.mark.parametrize("name, allow_hashes, compact", [("square", False, False), ("nci:1", True, True)])
def test_trace_matches_the_reference(name, allow_hashes, compact):
    case = next(c for c in read_jsonl(EXPECTED / "traces.jsonl")
                if (c["name"], c["allow_hashes"], c["compact"]) == (name, allow_hashes, compact))
    env = dict(os.environ, TOLVA_TRACE="1", TOLVA_TRACE_MAGNET="1")
    run = subprocess.run([sys.executable, "-c", TRACE_DRIVER, json.dumps(case)], env=env,
                         capture_output=True, check=True, timeout=60)
    assert run.stdout.decode() == case["stdout"]
