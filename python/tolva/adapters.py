"""Graphs from other libraries: networkx graphs and RDKit molecules.

Neither library is needed to import tolva; each is used only by the function that
takes its objects, which reads them through their own methods.

    g = tolva.from_networkx(nx.MultiGraph([(1, 2), (1, 2)]))      # two parallel edges
    m = tolva.from_rdkit(Chem.MolFromSmiles("C[N+](C)(C)C"))      # labels C, N+; ids a0..a4
"""

from __future__ import annotations

from typing import TYPE_CHECKING, Any

from tolva._tolva import PyGraph, graph_from_edges

if TYPE_CHECKING:
    import networkx  # type: ignore[import-untyped, unused-ignore]
    from rdkit import Chem

DEFAULT_LABEL = "."
DEFAULT_MODALITY = "1"

# RDKit bond type names and the modalities of the molecule corpora.
BOND_MODALITIES = {"SINGLE": "1", "DOUBLE": "2", "TRIPLE": "3", "AROMATIC": "ar"}


def from_networkx(
    graph: networkx.Graph[Any],
    label: str | None = "label",
    modality: str | None = "modality",
) -> PyGraph:
    """A PyGraph with the nodes and edges of a networkx graph.

    Node ids are `str(node)`. A node's label is `str()` of its attribute named `label`,
    "." when it has none; an edge's modality is `str()` of its attribute named
    `modality`, "1" when it has none (None for either name: always the default).
    Multigraphs keep their parallel edges; the direction of a directed graph's edges is
    dropped. Raises ValueError when two nodes have the same `str()`, since they would
    merge into one.
    """
    ids: dict[str, Any] = {}
    nodes = []
    for node, attributes in graph.nodes(data=True):
        text = str(node)
        if text in ids:
            raise ValueError(f"nodes {ids[text]!r} and {node!r} have the same id text {text!r}")
        ids[text] = node
        nodes.append((text, attribute_text(attributes, label, DEFAULT_LABEL)))
    edges = [
        (str(first), str(second), attribute_text(attributes, modality, DEFAULT_MODALITY))
        for first, second, attributes in graph.edges(data=True)
    ]
    return graph_from_edges(nodes, edges)


def attribute_text(attributes: dict[str, Any], name: str | None, default: str) -> str:
    if name is None or name not in attributes:
        return default
    return str(attributes[name])


def from_rdkit(molecule: Chem.Mol) -> PyGraph:
    """A PyGraph of a molecule's atoms and bonds, as in the molecule corpora.

    Atom i becomes node "a<i>" labelled with its element symbol and, when non-zero, its
    formal charge: "N+", "O-", "Fe+2", "N-2". Only atoms of the molecule become nodes
    (implicit hydrogens do not: add them with Chem.AddHs first); isotopes and stereo are
    left out. A bond's modality follows its bond type: "1", "2", "3", "ar" for aromatic,
    and for any other type the type's name in lower case ("dative", "zero", ...).
    """
    nodes = [(f"a{atom.GetIdx()}", atom_label(atom.GetSymbol(), atom.GetFormalCharge()))
             for atom in molecule.GetAtoms()]
    edges = [
        (f"a{bond.GetBeginAtomIdx()}", f"a{bond.GetEndAtomIdx()}", bond_modality(str(bond.GetBondType())))
        for bond in molecule.GetBonds()
    ]
    return graph_from_edges(nodes, edges)


def atom_label(symbol: str, charge: int) -> str:
    """The element symbol with its formal charge: ("N", 1) -> "N+", ("Fe", 2) -> "Fe+2"."""
    if charge == 0:
        return symbol
    sign = "+" if charge > 0 else "-"
    size = abs(charge)
    return f"{symbol}{sign}" if size == 1 else f"{symbol}{sign}{size}"


def bond_modality(type_name: str) -> str:
    """The modality of an RDKit bond type name: "AROMATIC" -> "ar", "DATIVE" -> "dative"."""
    return BOND_MODALITIES.get(type_name, type_name.lower())
