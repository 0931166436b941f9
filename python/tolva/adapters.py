"""Graphs from other libraries: networkx graphs, RDKit molecules and SMILES strings.

Neither library is needed to import tolva; each is used only by the function that
takes its objects, which reads them through their own methods.

    g = tolva.from_networkx(nx.MultiGraph([(1, 2), (1, 2)]))      # two parallel edges
    m = tolva.from_rdkit(Chem.MolFromSmiles("C[N+](C)(C)C"))      # labels CH3, N+; ids a0..a4
    s = tolva.from_smiles("[NH4+]")                                # one node labelled NH4+
"""

from __future__ import annotations

from tolva._tolva import PyGraph, graph_from_edges

TYPE_CHECKING = False  # typing is imported by type checkers only: it slows the command's start
if TYPE_CHECKING:
    from typing import Any

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
    *,
    directed: str = "error",
) -> PyGraph:
    """A PyGraph with the nodes and edges of a networkx graph.

    Node ids are `str(node)`. A node's label is `str()` of its attribute named `label`,
    "." when it has none; an edge's modality is `str()` of its attribute named
    `modality`, "1" when it has none (None for either name: always the default).
    Multigraphs keep their parallel edges. tolva's graphs are undirected, so a directed
    graph raises ValueError unless directed="ignore", which reads each edge x -> y as x - y.
    Raises ValueError when two nodes have the same `str()`, since they would merge into one.
    """
    if directed not in ("error", "ignore"):
        raise ValueError(f"directed must be 'error' or 'ignore', not {directed!r}")
    if directed == "error" and graph.is_directed():
        raise ValueError('a directed graph: tolva reads undirected graphs; from_networkx(..., directed="ignore") '
                         "drops the direction of its edges")
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


HYDROGEN_MODES = ("implicit", "count", "explicit")


def from_rdkit(
    molecule: Chem.Mol,
    *,
    hydrogens: str = "count",
    isotopes: bool = True,
    charges: bool = True,
) -> PyGraph:
    """A PyGraph of a molecule's atoms and bonds.

    Atom i becomes node "a<i>". Its label is, in this order: the isotope's mass number when
    one is set and `isotopes` is true ("13C"), the element symbol, the hydrogens as a count
    when `hydrogens` is "count" ("CH4", "NH3", "OH"), and the formal charge when non-zero
    and `charges` is true ("N+", "O-", "Fe+2", "NH4+"). So C and [CH2], [NH4+] and [NH3+],
    [13CH4] and C get different labels.

    `hydrogens` says what becomes of hydrogen atoms:
      - "count" (default): every hydrogen is counted on the atom it is bound to, whether the
        molecule has it as an atom or as a count; a hydrogen atom that is not a plain H on
        one other atom (H2, a deuterium "2H" when isotopes are kept, a charged H) stays a node;
      - "implicit": hydrogens that are counts are left out, hydrogen atoms stay nodes, and
        labels carry no count (the molecule corpora are built this way);
      - "explicit": every hydrogen becomes a node "H" (Chem.AddHs), labels carry no count.

    A bond's modality follows its bond type: "1", "2", "3", "ar" for aromatic, and for any
    other type the type's name in lower case ("dative", "zero", ...). Stereochemistry
    (chirality, double bond geometry) is not represented: stereoisomers get the same graph.
    """
    if hydrogens not in HYDROGEN_MODES:
        raise ValueError(f"hydrogens must be 'implicit', 'count' or 'explicit', not {hydrogens!r}")
    if hydrogens != "implicit":
        from rdkit import Chem

        # A copy: the hydrogen counts need the valences computed, which writes into the molecule.
        molecule = Chem.Mol(molecule)
        molecule.UpdatePropertyCache(strict=False)
        if hydrogens == "explicit":
            molecule = Chem.AddHs(molecule)
    folded = folded_hydrogens(molecule, isotopes, charges) if hydrogens == "count" else {}
    counts = [0] * molecule.GetNumAtoms()
    for _, heavy in folded.items():
        counts[heavy] += 1
    nodes = []
    for atom in molecule.GetAtoms():
        index = atom.GetIdx()
        if index in folded:
            continue
        count = atom.GetTotalNumHs() + counts[index] if hydrogens == "count" else None
        nodes.append((f"a{index}", atom_label(atom.GetSymbol(), atom.GetFormalCharge() if charges else 0,
                                                atom.GetIsotope() if isotopes else 0, count)))
    edges = [
        (f"a{bond.GetBeginAtomIdx()}", f"a{bond.GetEndAtomIdx()}", bond_modality(str(bond.GetBondType())))
        for bond in molecule.GetBonds()
        if bond.GetBeginAtomIdx() not in folded and bond.GetEndAtomIdx() not in folded
    ]
    return graph_from_edges(nodes, edges)


def folded_hydrogens(molecule: Chem.Mol, isotopes: bool, charges: bool) -> dict[int, int]:
    """Hydrogen atom index -> the atom it is counted on: the plain hydrogens (no isotope or
    charge that the label would show) bound to exactly one atom other than a hydrogen."""
    folded = {}
    for atom in molecule.GetAtoms():
        if atom.GetAtomicNum() != 1 or (isotopes and atom.GetIsotope()) or (charges and atom.GetFormalCharge()):
            continue
        neighbours = atom.GetNeighbors()
        if len(neighbours) == 1 and neighbours[0].GetAtomicNum() != 1:
            folded[atom.GetIdx()] = neighbours[0].GetIdx()
    return folded


def from_smiles(text: str, **options: Any) -> PyGraph:
    """from_rdkit of the molecule a SMILES string describes; `options` are from_rdkit's. RDKit
    reads and sanitises it (aromaticity, valences) and keeps hydrogens written as atoms ("[H]")
    as atoms. Raises ValueError when RDKit cannot read it or the molecule is not valid.

        tolva.from_smiles("c1ccccc1O")        # phenol: labels C, CH, OH; aromatic bonds "ar"
    """
    from rdkit import Chem

    molecule = Chem.MolFromSmiles(text, sanitize=False)
    if molecule is None:
        raise ValueError(f"not a valid SMILES string: {text!r}")
    try:
        Chem.SanitizeMol(molecule)
    except ValueError as error:  # RDKit's sanitisation errors are ValueError subclasses
        raise ValueError(f"invalid molecule {text!r}: {error}") from None
    return from_rdkit(molecule, **options)


def atom_label(symbol: str, charge: int, isotope: int = 0, hydrogens: int | None = None) -> str:
    """An atom's label: ("N", 1) -> "N+", ("Fe", 2) -> "Fe+2", ("C", 0, 13, 4) -> "13CH4"."""
    label = f"{isotope}{symbol}" if isotope else symbol
    if hydrogens:
        label += "H" if hydrogens == 1 else f"H{hydrogens}"
    if charge == 0:
        return label
    sign = "+" if charge > 0 else "-"
    size = abs(charge)
    return f"{label}{sign}" if size == 1 else f"{label}{sign}{size}"


def bond_modality(type_name: str) -> str:
    """The modality of an RDKit bond type name: "AROMATIC" -> "ar", "DATIVE" -> "dative"."""
    return BOND_MODALITIES.get(type_name, type_name.lower())
