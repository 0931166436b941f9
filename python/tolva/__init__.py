"""tolva: canonical strings, canonical node orders and keys of labelled multigraphs.

    import tolva
    g = tolva.graph([("c1", "C"), ("o", "O")], [("c1", "o", "1")])
    tolva.key(g)                 # 'tolva1:(O:1)C', the identity of the whole graph
    tolva.canonical_string(g)    # '(O:1)C'
"""

# The names are imported when first used: `python -m tolva` and `import tolva._tolva` then
# load only what they need (the typing machinery of the friendly API alone costs a command
# line run a sixth of its start). Type checkers read the imports below.
TYPE_CHECKING = False
if TYPE_CHECKING:
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

# Where each name of __all__ but __version__ lives.
_HOMES = {
    **dict.fromkeys(["canonical_order", "canonical_string", "digest", "digest_of_key", "digests", "graph",
                     "imap_digests", "imap_keys", "imap_orders", "imap_strings", "key", "keys"], "tolva._api"),
    **dict.fromkeys(["InternalError", "PyCGraph", "PyGraph", "canonical_node_order_many", "canonical_node_order_py",
                     "graph_from_edges", "parse_dot", "parse_dot_string", "to_cgraph_many", "to_cgraph_py"],
                    "tolva._tolva"),
    **dict.fromkeys(["from_networkx", "from_rdkit", "from_smiles"], "tolva.adapters"),
    **dict.fromkeys(["DirectedGraphError", "read_dot"], "tolva.dot"),
    **dict.fromkeys(["JsonlError", "read_jsonl"], "tolva.jsonl"),
}

if not TYPE_CHECKING:  # hidden from type checkers, which would take any name through it

    def __getattr__(name):
        home = _HOMES.get(name)
        if home is None:
            raise AttributeError(f"module 'tolva' has no attribute {name!r}")
        import importlib

        value = getattr(importlib.import_module(home), name)
        globals()[name] = value
        return value

    def __dir__():
        return sorted(set(globals()) | set(__all__))
