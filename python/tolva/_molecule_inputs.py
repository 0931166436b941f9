"""Molecule files for the command line, read through RDKit: SMILES lines and SDF/MOL records,
each molecule a graph as tolva.from_rdkit makes it (hydrogens counted in the labels).

    for name, graph, error in smiles_molecules(lines, "mols.smi"):
        ...

SMILES files hold one molecule a line, "SMILES NAME" (the name is the rest of the line after
the first white space; blank lines and lines starting with "#" are skipped). A line without a
name is named "PATH:LINENO", an SDF record without a title "PATH#K" (K counted from 1). A
molecule RDKit cannot read gives (name, None, message); reading goes on.
"""

from __future__ import annotations

import contextlib
from collections.abc import Iterable, Iterator
TYPE_CHECKING = False  # typing is imported by type checkers only: it slows the command's start
if TYPE_CHECKING:
    from typing import IO

from tolva._tolva import PyGraph
from tolva.adapters import from_rdkit, from_smiles

RDKIT_MISSING = "reading {} needs RDKit (pip install rdkit)"

Molecule = tuple[str, PyGraph | None, str | None]


def rdkit_missing(kind: str) -> str | None:
    """None when RDKit can be imported, else the message that says what to install."""
    try:
        import rdkit.Chem  # noqa: F401
    except ImportError:
        return RDKIT_MISSING.format(kind)
    return None


@contextlib.contextmanager
def quiet_rdkit() -> Iterator[None]:
    # RDKit logs every molecule it rejects on standard error; the command line reports each
    # one itself, under its name.
    from rdkit import rdBase

    blocker = rdBase.BlockLogs() if hasattr(rdBase, "BlockLogs") else None
    try:
        yield
    finally:
        del blocker


def smiles_molecules(lines: Iterable[bytes], path: str) -> Iterator[Molecule]:
    with quiet_rdkit():
        for number, raw in enumerate(lines, start=1):
            try:
                line = raw.decode("utf-8").strip()
            except UnicodeDecodeError:
                yield f"{path}:{number}", None, "not valid UTF-8"
                continue
            if not line or line.startswith("#"):
                continue
            smiles, *rest = line.split(maxsplit=1)
            name = rest[0] if rest else f"{path}:{number}"
            try:
                yield name, from_smiles(smiles), None
            except ValueError as error:
                yield f"{path}:{number}", None, str(error)


def sdf_molecules(stream: IO[bytes], path: str) -> Iterator[Molecule]:
    from rdkit import Chem

    with quiet_rdkit():
        # Read as they are, sanitised here, so that a bad record can say what is wrong.
        records = Chem.ForwardSDMolSupplier(stream, sanitize=False, removeHs=False)
        for number, molecule in enumerate(records, start=1):
            fallback = f"{path}#{number}"
            if molecule is None:
                yield fallback, None, "not a readable molecule record"
                continue
            name = molecule.GetProp("_Name").strip() if molecule.HasProp("_Name") else ""
            try:
                Chem.SanitizeMol(molecule)
            except ValueError as error:
                yield name or fallback, None, f"invalid molecule: {error}"
                continue
            yield name or fallback, from_rdkit(molecule), None
