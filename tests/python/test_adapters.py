"""Graphs from networkx, RDKit and JSON Lines corpora: from_networkx, from_rdkit, read_jsonl."""

import json
import pathlib

import pytest

import tolva

ROOT = pathlib.Path(__file__).resolve().parents[2]


def cgraph(graph):
    return str(tolva.to_cgraph_py(graph, None, None, None, None, None))


def test_from_networkx_multigraph_keeps_parallel_edges_attributes_and_defaults():
    nx = pytest.importorskip("networkx")
    g = nx.MultiGraph()
    g.add_node(1, label="A")
    g.add_node(2)
    g.add_node("x", label=7, colour="red")
    g.add_edge(1, 2, modality="d")
    g.add_edge(1, 2)
    g.add_edge(2, "x", modality=3.5)
    graph = tolva.from_networkx(g)
    assert graph.node_labels() == [("1", "A"), ("2", "."), ("x", "7")]
    assert graph.edges() == [("e1", "1", "2", "d"), ("e2", "1", "2", "1"), ("e3", "2", "x", "3.5")]


@pytest.mark.parametrize(
    "label, modality, labels, modalities",
    [
        ("kind", "bond", [("a", "K"), ("b", ".")], ["2"]),
        (None, None, [("a", "."), ("b", ".")], ["1"]),
        ("label", "modality", [("a", "."), ("b", ".")], ["1"]),
    ],
)
def test_from_networkx_attribute_names(label, modality, labels, modalities):
    nx = pytest.importorskip("networkx")
    g = nx.Graph()
    g.add_node("a", kind="K")
    g.add_edge("a", "b", bond=2)
    graph = tolva.from_networkx(g, label=label, modality=modality)
    assert graph.node_labels() == labels
    assert [edge[3] for edge in graph.edges()] == modalities


def test_from_networkx_drops_direction_and_refuses_ids_with_equal_text():
    nx = pytest.importorskip("networkx")
    directed = nx.DiGraph([("a", "b"), ("b", "a")])
    assert [edge[1:] for edge in tolva.from_networkx(directed).edges()] == [("a", "b", "1"), ("b", "a", "1")]
    with pytest.raises(ValueError, match="same id text '1'"):
        tolva.from_networkx(nx.Graph([(1, "1")]))


def test_from_networkx_gives_the_string_of_the_same_graph_read_from_dot():
    nx = pytest.importorskip("networkx")
    ring = nx.relabel_nodes(nx.cycle_graph(6), {i: f"v{i + 1}" for i in range(6)})
    assert cgraph(tolva.from_networkx(ring)) == cgraph(tolva.parse_dot(str(ROOT / "examples/ring6.dot")))


SALT_NODES = [("a0", "C"), ("a1", "N+"), ("a2", "C"), ("a3", "C"), ("a4", "C"), ("a5", "O-")] + [
    (f"a{i}", "C") for i in range(6, 12)
]
SALT_EDGES = [("a0", "a1", "1"), ("a1", "a2", "1"), ("a1", "a3", "1"), ("a1", "a4", "1"), ("a5", "a6", "1")] + [
    (f"a{i}", f"a{i + 1}", "ar") for i in range(6, 11)
] + [("a11", "a6", "ar")]


def test_from_rdkit_labels_charges_and_bond_modalities():
    chem = pytest.importorskip("rdkit.Chem")
    graph = tolva.from_rdkit(chem.MolFromSmiles("C[N+](C)(C)C.[O-]c1ccccc1"))
    assert graph.node_labels() == SALT_NODES
    assert [edge[1:] for edge in graph.edges()] == SALT_EDGES
    assert cgraph(graph) == cgraph(tolva.graph_from_edges(SALT_NODES, SALT_EDGES))


@pytest.mark.parametrize(
    "smiles, labels, modalities",
    [
        ("[Fe+2].[N-2].[NH4+].[Cl+3]", ["Fe+2", "N-2", "N+", "Cl+3"], []),
        ("C=CC#N", ["C", "C", "C", "N"], ["2", "1", "3"]),
        ("[NH3]->[Cu]", ["N", "Cu"], ["dative"]),
        ("[13CH3][2H]", ["C", "H"], ["1"]),
    ],
)
def test_from_rdkit_atoms_and_bond_types(smiles, labels, modalities):
    chem = pytest.importorskip("rdkit.Chem")
    graph = tolva.from_rdkit(chem.MolFromSmiles(smiles))
    assert [label for _, label in graph.node_labels()] == labels
    assert [edge[3] for edge in graph.edges()] == modalities


def write_lines(path, lines):
    path.write_text("".join(line if isinstance(line, str) else json.dumps(line) + "\n" for line in lines))
    return path


EDGE = {"name": "g", "nodes": [["a", "A"]], "edges": [["a", "b", "x"]]}


def test_read_jsonl_yields_names_and_graphs_and_skips_blank_lines(tmp_path):
    corpus = write_lines(tmp_path / "c.jsonl", [EDGE, "\n", {**EDGE, "name": "h", "extra": 1}])
    read = list(tolva.read_jsonl(corpus))
    assert [name for name, _ in read] == ["g", "h"]
    assert read[0][1].node_labels() == [("a", "A"), ("b", ".")]
    assert read[1][1].edges() == [("e1", "a", "b", "x")]


@pytest.mark.parametrize(
    "line, reason",
    [
        ("{\"name\": \"g\"\n", "invalid JSON: Expecting ',' delimiter (column 13)"),
        ("[1, 2]\n", "a graph line must be a JSON object"),
        ({"nodes": [], "edges": []}, "missing field 'name'"),
        ({"name": 3, "nodes": [], "edges": []}, "field 'name' must be a string"),
        ({"name": "g", "nodes": {}, "edges": []}, "field 'nodes' must be a list of [id, label]"),
        ({"name": "g", "nodes": [["a", "A", "B"]], "edges": []}, "'nodes' item 0 must be [id, label], all strings"),
        ({"name": "g", "nodes": [], "edges": [["a", "b", "1"], ["a", "b", 1]]},
         "'edges' item 1 must be [id1, id2, modality], all strings"),
        ({"name": "g", "nodes": [], "edges": [("a", "b")]}, "'edges' item 0 must be [id1, id2, modality], all strings"),
        (b"\xff\n", "not valid UTF-8"),
    ],
)
def test_read_jsonl_bad_lines_raise_or_go_to_on_error(tmp_path, line, reason):
    corpus = tmp_path / "c.jsonl"
    bad = line if isinstance(line, bytes) else (line if isinstance(line, str) else json.dumps(line) + "\n").encode()
    corpus.write_bytes(json.dumps(EDGE).encode() + b"\n" + bad + json.dumps({**EDGE, "name": "after"}).encode())
    with pytest.raises(tolva.JsonlError) as caught:
        list(tolva.read_jsonl(corpus))
    assert str(caught.value) == f"{corpus}:2: {reason}"
    assert (caught.value.line, caught.value.reason) == (2, reason)
    errors = []
    assert [name for name, _ in tolva.read_jsonl(corpus, on_error=errors.append)] == ["g", "after"]
    assert [str(e) for e in errors] == [f"{corpus}:2: {reason}"]


def test_read_jsonl_of_a_missing_file_raises_os_error(tmp_path):
    with pytest.raises(FileNotFoundError):
        next(tolva.read_jsonl(tmp_path / "none.jsonl"))
