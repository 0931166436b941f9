"""Canonical strings and node orders against the reference outputs, and the rewrite's
generated ids, split nodes and brace groups seen from Python."""

import itertools

import pytest

import tolva._tolva as m
from conftest import FLAGS, cgraph, graph, read_data, run_cli, write_lines

TRIANGLE = [("r", "a", "1"), ("r", "b", "1"), ("a", "b", "1")]
SQUARE = [("r", "a", "1"), ("a", "c", "1"), ("c", "b", "1"), ("b", "r", "1")]
LABELS = [("r", "R"), ("a", "A"), ("b", "B"), ("c", "C")]
OPTIONS = list(itertools.product(FLAGS, FLAGS))


def order(g, allow_hashes, compact):
    return m.canonical_node_order_py(g, None, None, allow_hashes, compact)


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
        renamed = [leaf if i == "zz" else i for i in order(plain, allow_hashes, compact)]
        assert order(named, allow_hashes, compact) == renamed


@pytest.mark.parametrize("nodes, edges, expanded, compact", [
    # Every reached input node is listed, in another order when compact.
    ([], SQUARE + [("c", "d", "1"), ("r", "e", "1"), ("r", "f", "1")], "r f e a c d b", "r f e a c b d"),
    # Ids with at signs are listed whole, in a star and on a split node.
    ([("s", "S")], [("s", "x@1", "1"), ("s", "x@2", "1"), ("s", "@x", "1"), ("s", "x", "1")],
     "s x @x x@2 x@1", "s x @x x@2 x@1"),
    ([("r", "R"), ("a", "A"), ("c@1", "C"), ("b", "B"), ("d@x", "D")],
     [("r", "a", "1"), ("a", "c@1", "1"), ("c@1", "b", "1"), ("b", "r", "1"), ("c@1", "d@x", "1")],
     "c@1 d@x a r b", "c@1 d@x a r b"),
])
def test_node_orders(nodes, edges, expanded, compact):
    g = graph(nodes, edges)
    for allow_hashes in FLAGS:
        assert order(g, allow_hashes, False) == expanded.split()
        assert order(g, allow_hashes, True) == compact.split()


def test_an_unclosed_brace_in_a_label_is_kept():
    g = graph([("s", "S"), ("a", "{"), ("b", "B"), ("c", "C")],
              [("s", "a", "1"), ("s", "b", "1"), ("s", "c", "1")])
    assert cgraph(g, compress=True) == cgraph(g, compress=False) == "(B:1, C:1, {:1)S"


def test_reference_strings_and_orders():
    cases = []
    for source, expected, limit in (("small-graphs", "small-graphs.expected", None),
                                    ("molecules", "molecules-3000.expected", 200)):
        graphs = read_data(source, limit)
        results = read_data(f"expected/{expected}", limit)
        assert [g["name"] for g in graphs] == [r["name"] for r in results]
        cases += zip(graphs, results)
    assert len(cases) == 208 + 200
    failures = []
    for g_json, reference in cases:
        g = graph(g_json["nodes"], g_json["edges"])
        for ah, cp, ct in itertools.product((1, 0), repeat=3):
            if cgraph(g, bool(ah), bool(cp), bool(ct)) != reference["cgraph"][f"ah={ah} cp={cp} ct={ct}"]:
                failures.append((g_json["name"], "cgraph", ah, cp, ct))
        for ah, ct in itertools.product((1, 0), repeat=2):
            if order(g, bool(ah), bool(ct)) != reference["order"][f"ah={ah} ct={ct}"]:
                failures.append((g_json["name"], "order", ah, ct))
    assert failures == []


@pytest.mark.parametrize("name, allow_hashes, compact", [("square", False, False), ("nci:1", True, True)])
def test_trace_through_the_command_line_matches_the_reference(tmp_path, name, allow_hashes, compact):
    case = next(c for c in read_data("expected/traces")
                if (c["name"], c["allow_hashes"], c["compact"]) == (name, allow_hashes, compact))
    flags = ["--no-compress"] + ["--no-hashes"] * (not allow_hashes) + ["--compact"] * compact
    done = run_cli("--trace-magnet", *flags, write_lines(tmp_path / "case.jsonl", [case]))
    # The reference ends with "RESULT <string>" where the command line writes "<name>\t<string>".
    trace, result = case["stdout"].rsplit("RESULT ", 1)
    assert done.stdout == f"{trace}{name}\t{result}"
