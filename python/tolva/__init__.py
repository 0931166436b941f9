"""tolva: canonical strings, canonical node orders and keys of labelled multigraphs.

    import tolva
    g = tolva.graph([("c1", "C"), ("o", "O")], [("c1", "o", "1")])
    tolva.key(g)                 # 'tolva1:(O:1)C', the identity of the whole graph
    tolva.canonical_string(g)    # '(O:1)C'
"""

from tolva._api import (
    canonical_order,
    canonical_string,
    digest,
    digest_of_key,
    digests,
    graph,
    imap_digests,
    imap_keys,
    imap_orders,
    imap_strings,
    key,
    keys,
)
from tolva._tolva import (
    InternalError,
    PyCGraph,
    PyGraph,
    canonical_node_order_many,
    canonical_node_order_py,
    graph_from_edges,
    parse_dot,
    parse_dot_string,
    to_cgraph_many,
    to_cgraph_py,
)
from tolva.adapters import from_networkx, from_rdkit, from_smiles
from tolva.dot import DirectedGraphError, read_dot
from tolva.jsonl import JsonlError, read_jsonl

__version__ = "0.1.0"

# The native module's seven names first, in their order; then the rest.
__all__ = [
    "PyGraph",
    "PyCGraph",
    "parse_dot",
    "parse_dot_string",
    "graph_from_edges",
    "to_cgraph_py",
    "canonical_node_order_py",
    "InternalError",
    "to_cgraph_many",
    "canonical_node_order_many",
    "from_networkx",
    "from_rdkit",
    "from_smiles",
    "read_jsonl",
    "JsonlError",
    "read_dot",
    "DirectedGraphError",
    "graph",
    "canonical_string",
    "canonical_order",
    "key",
    "digest",
    "digest_of_key",
    "keys",
    "digests",
    "imap_keys",
    "imap_digests",
    "imap_strings",
    "imap_orders",
    "__version__",
]
