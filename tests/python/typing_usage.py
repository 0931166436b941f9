"""Uses every public name of tolva through `import tolva`, the way an application would;
test_typing.py runs mypy --strict and pyright on it. Not a test module itself."""

import copy
import pickle

import tolva

graph: tolva.PyGraph = tolva.graph([("c1", "C"), ("o", "O")], [("c1", "o", "1")])
same: tolva.PyGraph = tolva.graph_from_edges([("c1", "C")], [("c1", "o", "1")])
dot: tolva.PyGraph = tolva.parse_dot_string("graph G { a -- b }")
files: list[tolva.PyGraph] = [tolva.parse_dot(path) for path in ["examples/benzene.dot"][:0]]
count: int = graph.node_count + graph.edge_count
labels: list[tuple[str, str]] = graph.node_labels()
edges: list[tuple[str, str, str, str]] = graph.edges()
copies: list[tolva.PyGraph] = [copy.copy(graph), copy.deepcopy(graph), pickle.loads(pickle.dumps(graph))]

cgraph: tolva.PyCGraph = tolva.to_cgraph_py(graph, None, None, None, None, None)
ordered: list[tolva.PyCGraph] = sorted([cgraph, tolva.to_cgraph_py(dot, "$degree", None, True, False, True)])
unique: set[tolva.PyCGraph] = {cgraph, *ordered}
text: str = cgraph.as_str() + str(cgraph) + repr(cgraph)
order: list[str] = tolva.canonical_node_order_py(graph, compact=True)
many: list[tolva.PyCGraph] = tolva.to_cgraph_many([graph, dot], workers=2)
tolerant: list[tolva.PyCGraph | Exception] = tolva.to_cgraph_many([graph], on_error="return")
orders: list[list[str]] = tolva.canonical_node_order_many([graph, dot])

string: str = tolva.canonical_string(graph, compress=False, compact=True)
canonical: list[str] = tolva.canonical_order(graph, allow_hashes=False)
key: str = tolva.key(graph, compact=False, allow_hashes=True)
digest: str = tolva.digest(graph) + tolva.digest_of_key(key)
keys: list[str] = tolva.keys(iter([graph, dot]), chunk=1) + tolva.digests([graph], workers=1)
lazy_keys: list[str] = list(tolva.imap_keys(g for g in [graph]))
lazy_failures: list[str | Exception] = list(tolva.imap_digests([graph], on_error="return"))
lazy_strings: list[str] = list(tolva.imap_strings([graph], compress=False))
lazy_orders: list[list[str]] = list(tolva.imap_orders([graph], chunk=10))

adapters = (tolva.from_networkx, tolva.from_rdkit, tolva.from_smiles)
for name, read in tolva.read_jsonl("corpus.jsonl", on_error=lambda error: print(error.path, error.line)):
    named: tuple[str, tolva.PyGraph] = (name, read)
try:
    tolva.key(graph)
except (tolva.JsonlError, tolva.InternalError) as failure:
    print(failure)
version: str = tolva.__version__
exported: list[str] = tolva.__all__
