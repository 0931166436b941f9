"""Graphs from networkx, RDKit and JSON Lines corpora: from_networkx, from_rdkit, read_jsonl."""

import gzip
import json
import lzma

import pytest

import tolva


def test_from_networkx_keeps_parallel_edges_attributes_and_defaults_and_drops_direction():
    nx = pytest.importorskip("networkx")
    g = nx.MultiGraph()
    g.add_node(1, label="A")
    g.add_node(2)
    g.add_node("x", label=7, colour="red")
    g.add_edges_from([(1, 2, {"modality": "d"}), (1, 2), (2, "x", {"modality": 3.5})])
    graph = tolva.from_networkx(g)
    assert graph.node_labels() == [("1", "A"), ("2", "."), ("x", "7")]
    assert graph.edges() == [("e1", "1", "2", "d"), ("e2", "1", "2", "1"), ("e3", "2", "x", "3.5")]
    other = tolva.from_networkx(g, label="colour", modality=None)
    assert (other.node_labels()[2], [e[3] for e in other.edges()]) == (("x", "red"), ["1", "1", "1"])
    directed = nx.DiGraph([("a", "b"), ("b", "a")])
    assert [edge[1:] for edge in tolva.from_networkx(directed).edges()] == [("a", "b", "1"), ("b", "a", "1")]
    with pytest.raises(ValueError, match="same id text '1'"):
        tolva.from_networkx(nx.Graph([(1, "1")]))


@pytest.mark.parametrize("smiles, labels, edges", [
    # Atom i is node "a<i>"; charges join the symbol; aromatic bonds are "ar".
    ("C[N+](C)(C)C.[O-]c1ccccc1", ["C", "N+", "C", "C", "C", "O-", "C", "C", "C", "C", "C", "C"],
     ["a0 a1 1", "a1 a2 1", "a1 a3 1", "a1 a4 1", "a5 a6 1", "a6 a7 ar", "a7 a8 ar", "a8 a9 ar",
      "a9 a10 ar", "a10 a11 ar", "a11 a6 ar"]),
    ("[Fe+2].[N-2].[NH4+]", ["Fe+2", "N-2", "N+"], []),
    ("C=CC#N", ["C", "C", "C", "N"], ["a0 a1 2", "a1 a2 1", "a2 a3 3"]),
    ("[NH3]->[Cu]", ["N", "Cu"], ["a0 a1 dative"]),
])
def test_from_rdkit_atoms_and_bond_types(smiles, labels, edges):
    chem = pytest.importorskip("rdkit.Chem")
    graph = tolva.from_rdkit(chem.MolFromSmiles(smiles))
    assert graph.node_labels() == [(f"a{i}", label) for i, label in enumerate(labels)]
    assert [" ".join(edge[1:]) for edge in graph.edges()] == edges


EDGE = {"name": "g", "nodes": [["a", "A"]], "edges": [["a", "b", "x"]]}


@pytest.mark.parametrize("line, reason", [
    (b"{\"name\": \"g\"\n", "invalid JSON: Expecting ',' delimiter (column 13)"),
    (b"[1, 2]\n", "a graph line must be a JSON object"),
    ({"name": "g", "nodes": {}, "edges": []}, "field 'nodes' must be a list of [id, label]"),
    ({"name": "g", "nodes": [], "edges": [["a", "b", "1"], ["a", "b", 1]]},
     "'edges' item 1 must be [id1, id2, modality], all strings"),
    (b"\xff\n", "not valid UTF-8"),
    # JSON escapes for lone surrogates decode to strings that have no UTF-8 form.
    (b'{"name": "g", "nodes": [["a", "\\ud800"]], "edges": []}\n',
     "'nodes' item 0 holds a lone surrogate ('\\ud800'), which is not valid Unicode"),
    (b'{"name": "\\udcff", "nodes": [], "edges": []}\n',
     "field 'name' holds a lone surrogate ('\\udcff'), which is not valid Unicode"),
    (b"[" * 100_000 + b"]" * 100_000 + b"\n", "invalid JSON: nested too deeply"),
])
def test_read_jsonl_yields_names_and_graphs_and_bad_lines_raise_or_go_to_on_error(tmp_path, line, reason):
    corpus = tmp_path / "c.jsonl"
    bad = line if isinstance(line, bytes) else json.dumps(line).encode() + b"\n"
    after = json.dumps({**EDGE, "name": "after", "extra": 1}).encode()
    corpus.write_bytes(json.dumps(EDGE).encode() + b"\n\n" + bad + after)
    with pytest.raises(tolva.JsonlError) as caught:
        list(tolva.read_jsonl(corpus))
    error = caught.value
    assert (str(error), error.line, error.reason) == (f"{corpus}:3: {reason}", 3, reason)
    errors = []
    read = list(tolva.read_jsonl(corpus, on_error=errors.append))
    assert [name for name, _ in read] == ["g", "after"]
    assert [str(e) for e in errors] == [f"{corpus}:3: {reason}"]
    assert read[1][1].node_labels() == [("a", "A"), ("b", ".")]
    assert read[1][1].edges() == [("e1", "a", "b", "x")]
    with pytest.raises(FileNotFoundError):
        next(tolva.read_jsonl(tmp_path / "none.jsonl"))


@pytest.mark.parametrize("suffix", [".gz", ".xz", ".zst", ".GZ"])
def test_read_jsonl_decompresses_by_name(tmp_path, suffix):
    content = (json.dumps(EDGE) + "\n" + '{"name": "bad"}\n').encode()
    if suffix.lower() == ".zst":
        zstandard = pytest.importorskip("zstandard")
        packed = zstandard.ZstdCompressor().compress(content)
    else:
        packed = (gzip if suffix.lower() == ".gz" else lzma).compress(content)
    corpus = tmp_path / f"c.jsonl{suffix}"
    corpus.write_bytes(packed)
    errors = []
    read = list(tolva.read_jsonl(corpus, on_error=errors.append))
    assert [(name, g.edges()) for name, g in read] == [("g", [("e1", "a", "b", "x")])]
    assert [str(e) for e in errors] == [f"{corpus}:2: missing field 'nodes'"]
    corpus.write_bytes(packed[: len(packed) // 2])
    with pytest.raises((EOFError, OSError, lzma.LZMAError, ValueError)):
        list(tolva.read_jsonl(corpus))
