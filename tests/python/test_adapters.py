"""Graphs from networkx, RDKit and JSON Lines corpora: from_networkx, from_rdkit, read_jsonl."""

import gzip
import json
import lzma

import pytest

import tolva


def test_from_networkx_keeps_parallel_edges_attributes_and_defaults_and_refuses_direction():
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
    with pytest.raises(ValueError, match='directed graph.*directed="ignore"'):
        tolva.from_networkx(directed)
    ignored = tolva.from_networkx(directed, directed="ignore")
    assert [edge[1:] for edge in ignored.edges()] == [("a", "b", "1"), ("b", "a", "1")]
    # x->y->z and x<-y->z are different digraphs but the same undirected path.
    paths = [nx.DiGraph([("x", "y"), ("y", "z")]), nx.DiGraph([("y", "x"), ("y", "z")])]
    for path in paths:
        with pytest.raises(ValueError):
            tolva.from_networkx(path)
    assert len({str(tolva.to_cgraph_py(tolva.from_networkx(p, directed="ignore"), None, None, None, None, None))
                for p in paths}) == 1
    with pytest.raises(ValueError, match="directed must be"):
        tolva.from_networkx(nx.Graph(), directed="keep")
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
    graph = tolva.from_rdkit(chem.MolFromSmiles(smiles), hydrogens="implicit")
    assert graph.node_labels() == [(f"a{i}", label) for i, label in enumerate(labels)]
    assert [" ".join(edge[1:]) for edge in graph.edges()] == edges


@pytest.mark.parametrize("smiles, options, labels", [
    # Hydrogens as counts (the default) keep radicals, ions and isotopes apart.
    ("C", {}, "CH4"),
    ("[CH2]", {}, "CH2"),
    ("[NH4+]", {}, "NH4+"),
    ("[NH3+]", {}, "NH3+"),
    ("[13CH4]", {}, "13CH4"),
    ("[13CH4]", {"isotopes": False}, "CH4"),
    ("[NH4+]", {"charges": False}, "NH4"),
    ("c1ccccc1[O-]", {}, "CH CH CH CH CH C O-"),
    # Hydrogen atoms count like hydrogen counts, unless the label would show what they carry.
    ("[H]C([H])([H])[H]", {}, "CH4"),
    ("[2H]C", {}, "2H CH3"),
    ("[2H]C", {"isotopes": False}, "CH4"),
    ("[H][H]", {}, "H H"),
    ("[H]C([H])([H])[H]", {"hydrogens": "implicit"}, "H C H H H"),
    ("[NH4+]", {"hydrogens": "explicit"}, "N+ H H H H"),
    ("[CH2]", {"hydrogens": "explicit"}, "C H H"),
])
def test_from_rdkit_labels_keep_hydrogens_isotopes_and_charges(smiles, options, labels):
    chem = pytest.importorskip("rdkit.Chem")
    molecule = chem.MolFromSmiles(smiles, sanitize=False)
    chem.SanitizeMol(molecule)
    graph = tolva.from_rdkit(molecule, **options)
    assert [label for _, label in graph.node_labels()] == labels.split()
    assert str(tolva.from_smiles(smiles, **options).node_labels()) == str(graph.node_labels())


def test_from_smiles_gives_distinct_strings_where_chemists_see_distinct_species():
    pytest.importorskip("rdkit")
    pairs = [("C", "[CH2]"), ("[NH4+]", "[NH3+]"), ("[13CH4]", "C"), ("CC(=O)O", "CC(=O)[O-]")]
    for pair in pairs:
        first, second = (str(tolva.to_cgraph_py(tolva.from_smiles(s), None, None, None, None, None)) for s in pair)
        assert first != second, pair
    # Stereo is not represented: the two enantiomers give one graph.
    assert tolva.from_smiles("C[C@H](N)O").node_labels() == tolva.from_smiles("C[C@@H](N)O").node_labels()
    for bad, message in [("C1CC", "not a valid SMILES"), ("N(C)(C)(C)(C)C", "valence"), ("C", "hydrogens must")]:
        with pytest.raises(ValueError, match=message):
            tolva.from_smiles(bad, hydrogens="all" if bad == "C" else "count")


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
