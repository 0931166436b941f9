"""tolva: canonical strings and canonical node orders for labelled multigraphs."""

from tolva._tolva import *  # noqa: F401,F403
from tolva._tolva import __all__ as _module_all
from tolva._tolva import InternalError
from tolva._tolva import canonical_node_order_many, to_cgraph_many
from tolva.adapters import from_networkx, from_rdkit, from_smiles
from tolva.jsonl import JsonlError, read_jsonl

__all__ = [
    *_module_all, "InternalError", "to_cgraph_many", "canonical_node_order_many",
    "from_networkx", "from_rdkit", "from_smiles", "read_jsonl", "JsonlError",
]
