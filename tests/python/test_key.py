"""The key of a whole graph: every component, escaped labels, a key that reads back
unambiguously, and the keyword API around it."""

import hashlib
import itertools
import json
import re
import urllib.parse

import networkx as nx
import numpy
import pandas
import pytest
from hypothesis import given, settings, strategies as st

import tolva
from conftest import cgraph, graph, read_data
from tolva._isomorphism import isomorphic, to_networkx

# Texts rich in the key's punctuation, its escape character and escape look-alikes.
TEXTS = st.text(alphabet="AB.()#*{}$_;:,% -~é1", max_size=4) | st.sampled_from(["%3A", "A:1, B", "{a}", ""])


@st.composite
def graphs(draw, max_nodes=6):
    count = draw(st.integers(1, max_nodes))
    nodes = [(f"n{i}", draw(TEXTS)) for i in range(count)]
    pairs = st.tuples(st.integers(0, count - 1), st.integers(0, count - 1), TEXTS)
    edges = [(f"n{a}", f"n{b}", m) for a, b, m in draw(st.lists(pairs, max_size=8))]
    return nodes, edges


def parse_key(key):
    """Reads a key back by its grammar: [(root label, [(child modality, child label), ...])]
    per component; raises AssertionError where the text does not follow the grammar."""
    prefix, _, body = key.partition(":")
    assert re.fullmatch(r"tolva1(\+compact)?(\+plain)?(\+whole)?", prefix)
    text_pattern = re.compile(r"(?:[A-Za-z0-9!&'+\-./<=>?@\[\]^|~\x80-\U0010ffff]|%[0-9A-F]{2})*")

    def text(s, at):
        end = text_pattern.match(s, at).end()
        return urllib.parse.unquote(s[at:end], errors="strict"), end

    def label(s, at):
        value, at = text(s, at)
        if s.startswith("#", at) or s.startswith("*", at):
            at = s.index("{", at)
            assert re.match(r"\{\$\d+\}", s[at:]), s[at:]
            at = s.index("}", at) + 1
            value += "<split or cut>"
        return value, at

    def tree(s, at):
        if not s.startswith("(", at):
            return label(s, at)[0], [], label(s, at)[1]
        at, children = at + 1, []
        while not s.startswith(")", at):
            child, _, at = tree(s, at)
            assert s[at] == ":"
            modality, at = text(s, at + 1)
            children.append((modality, child))
            if s.startswith(", ", at):
                at += 2
        root, at = label(s, at + 1)
        return root, children, at

    components = []
    for part in body.split(";") if body else []:
        root, children, end = tree(part, 0)
        assert end == len(part), (part, end)
        components.append((root, children))
    return components


@settings(max_examples=300, deadline=None)
@given(graphs(), st.integers(0, 5), TEXTS)
def test_keys_read_back_and_differ_unless_isomorphic(drawn, position, new_text):
    nodes, edges = drawn
    g = tolva.graph(nodes, edges)
    components = parse_key(tolva.key(g))
    assert len(components) == nx.number_connected_components(nx.Graph(to_networkx(g)))
    labels = {label for _, label in g.node_labels()}
    assert all(root.removesuffix("<split or cut>") in labels | {""} for root, _ in components)
    # One label changed: a key shared with the original means the graphs are isomorphic.
    changed = list(nodes)
    changed[position % len(nodes)] = (changed[position % len(nodes)][0], new_text)
    h = tolva.graph(changed, edges)
    if tolva.key(h) == tolva.key(g):
        assert isomorphic(to_networkx(g), to_networkx(h))


@settings(max_examples=100, deadline=None)
@given(st.lists(graphs(max_nodes=4), min_size=1, max_size=4), st.randoms())
def test_the_order_of_components_does_not_matter(parts, rng):
    def joined(order):
        nodes, edges = [], []
        for k in order:
            nodes += [(f"{k}.{i}", label) for i, label in parts[k][0]]
            edges += [(f"{k}.{a}", f"{k}.{b}", m) for a, b, m in parts[k][1]]
        return tolva.key(tolva.graph(nodes, edges))

    order = list(range(len(parts)))
    shuffled = order[:]
    rng.shuffle(shuffled)
    assert joined(order) == joined(shuffled)


def test_what_strings_got_wrong_keys_get_right():
    forged = graph([("r", "R"), ("x", "A:1, B"), ("c", "C")], [("r", "x", "1"), ("x", "c", "1")])
    star = graph([("r", "R"), ("a", "A"), ("b", "B"), ("c", "C")], [("r", k, "1") for k in "abc"])
    assert cgraph(forged, compress=False) == "(C:1, R:1)A:1, B" and tolva.key(forged) != tolva.key(star)
    braces = [graph([("s", "S"), ("a", text)], [("s", "a", "1"), ("a", "s", "2"), ("s", "s", "1")])
              for text in ("{a}", "{b}")]
    assert len({tolva.key(g) for g in braces}) == 2
    molecules = {g["name"]: graph(g["nodes"], g["edges"]) for g in read_data("molecules", 2400)}
    small, large = molecules["nci:149"], molecules["nci:3906"]
    assert cgraph(small) == cgraph(large) and tolva.key(small) != tolva.key(large)
    assert tolva.key(graph([], [])) == "tolva1:" and tolva.key(graph([("a", "")], [])) == "tolva1:()"


def test_options_name_themselves_in_the_prefix_and_digest_is_sha256_of_the_key():
    g = graph([("a", "N+")], [("a", "b", "ar"), ("c", "d", "1")])
    assert tolva.key(g) == "tolva1:(.:1).;(N+:ar)."
    assert tolva.key(g, compact=True, allow_hashes=False).startswith("tolva1+compact+plain:")
    assert tolva._tolva.graph_key(g, whole_braces=True).startswith("tolva1+whole:")
    assert tolva.digest(g) == hashlib.sha256(tolva.key(g).encode()).hexdigest() == tolva.digest_of_key(tolva.key(g))


@pytest.mark.parametrize("compact, prefix", [(False, "tolva1:"), (True, "tolva1+compact:")])
def test_a_connected_graph_keys_as_its_string_and_components_as_graphs_alone(compact, prefix):
    records = read_data("molecules", 400)
    for record in records:
        g = graph(record["nodes"], record["edges"])
        parts = list(nx.connected_components(nx.Graph(to_networkx(g))))
        # Isolated nodes are components too.
        parts += [{n} for n, _ in g.node_labels() if all(n not in p for p in parts)]
        alone = sorted(cgraph(graph([n for n in record["nodes"] if n[0] in p],
                                    [e for e in record["edges"] if e[0] in p]), compact=compact) for p in parts)
        assert tolva.key(g, compact=compact) == prefix + ";".join(alone), record["name"]


def test_graph_accepts_any_rows_and_builds_what_graph_from_edges_builds():
    expected = tolva.graph_from_edges([("a", "A"), ("7", "B")], [("a", "7", "1")])
    frames = (pandas.DataFrame({"id": ["a", 7], "label": ["A", "B"]}),
              pandas.DataFrame({"s": ["a"], "t": [7], "m": ["1"]}))
    for nodes, edges in [
        (json.loads('[["a", "A"], ["7", "B"]]'), json.loads('[["a", "7", "1"]]')),
        (numpy.array([["a", "A"], ["7", "B"]]), iter([("a", numpy.int64(7), "1")])),
        frames,
        ((row for row in [("a", "A"), (7, "B")]), [["a", "7", "1"]]),
    ]:
        g = tolva.graph(nodes, edges)
        assert (g.node_labels(), g.edges()) == (expected.node_labels(), expected.edges())
    for nodes, message in [("ab", "expected an iterable"), ([("a",)], "expected 2 fields"),
                           ([("a", 1.5)], "expected str or int"), ([("a", True)], "expected str or int")]:
        with pytest.raises(TypeError, match=message):
            tolva.graph(nodes, [])


def test_keyword_functions_match_the_positional_ones():
    g = graph([("r", "R")], [("r", "a", "1"), ("a", "b", "2"), ("b", "r", "1"), ("b", "c", "1")])
    for ah, cp, ct in itertools.product((True, False), repeat=3):
        assert tolva.canonical_string(g, allow_hashes=ah, compress=cp, compact=ct) == cgraph(g, ah, cp, ct)
        assert tolva.canonical_order(g, allow_hashes=ah, compact=ct) == tolva.canonical_node_order_py(g, None, None, ah, ct)
    with pytest.raises(ValueError, match="unsupported"):
        tolva.canonical_string(g, candidate_rule="x")


def test_imap_functions_take_any_iterable_in_chunks_and_keep_the_order():
    records = read_data("molecules", 50)
    built = [graph(r["nodes"], r["edges"]) for r in records]
    seen = []

    def generator():
        for g in built:
            seen.append(g)
            yield g

    lazy = tolva.imap_keys(generator(), chunk=8, workers=2)
    first = next(lazy)
    assert len(seen) == 8  # one chunk taken, not the whole generator
    assert [first, *lazy] == [tolva.key(g) for g in built] == tolva.keys(iter(built), chunk=3)
    assert tolva.digests(built) == [tolva.digest(g) for g in built] == list(tolva.imap_digests(built, chunk=7))
    assert list(tolva.imap_strings(built, compress=False)) == [cgraph(g, compress=False) for g in built]
    assert list(tolva.imap_orders(built, chunk=1)) == [tolva.canonical_node_order_py(g) for g in built]
    with pytest.raises(ValueError, match="chunk"):
        list(tolva.imap_keys(built, chunk=0))
    failed = list(tolva.imap_strings(built[:3], candidate_rule="x", chunk=2, on_error="return"))
    assert [str(e) for e in failed] == [f"graph {i}: unsupported: candidate rule 'x' not implemented"
                                        for i in (0, 1, 0)]  # counted within each chunk
