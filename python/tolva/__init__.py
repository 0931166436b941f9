"""tolva: canonical strings and canonical node orders for labelled multigraphs."""

from tolva._tolva import *  # noqa: F401,F403
from tolva._tolva import __all__ as _module_all
from tolva._tolva import InternalError
from tolva.adapters import from_networkx, from_rdkit
from tolva.jsonl import JsonlError, read_jsonl

__all__ = [*_module_all, "InternalError", "from_networkx", "from_rdkit", "read_jsonl", "JsonlError"]
