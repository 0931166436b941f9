"""Type stubs for the native module tolva._tolva."""

from collections.abc import Callable, Iterable
from typing import Literal, Sequence, TypeAlias, TypeVar, final, overload

_T = TypeVar("_T")
# What outputs_of_jsonl makes of one line, and the products it makes.
_LineItem: TypeAlias = str | tuple[str, str] | tuple[str, ValueError] | tuple[int, bytes]
_LineProduct: TypeAlias = Literal["cgraph", "order", "json", "json_order", "key"]

__all__ = [
    "PyGraph",
    "PyCGraph",
    "parse_dot",
    "parse_dot_string",
    "graph_from_edges",
    "to_cgraph_py",
    "canonical_node_order_py",
]

class InternalError(BaseException):
    """An unexpected fault inside tolva's native code (never raised for bad input)."""

@final
class PyGraph:
    """An immutable labelled multigraph, built by graph_from_edges, parse_dot or parse_dot_string.
    It pickles and copies with ids, labels, edge ids and orders kept."""

    @property
    def node_count(self) -> int: ...
    @property
    def edge_count(self) -> int: ...
    def node_labels(self) -> list[tuple[str, str]]:
        """(id, label) of every node, in creation order."""
    def edges(self) -> list[tuple[str, str, str, str]]:
        """(edge id, first id, second id, modality) of every edge, in creation order."""
    def __copy__(self) -> PyGraph: ...
    def __deepcopy__(self, memo: object, /) -> PyGraph: ...

def graph_from_edges(
    nodes: Sequence[tuple[str, str]], edges: Sequence[tuple[str, str, str]]
) -> PyGraph: ...
def parse_dot(path: str) -> PyGraph:
    """Reads a DOT file (UTF-8); ValueError "parse error: ..." when it cannot be read or parsed."""

def parse_dot_string(content: str) -> PyGraph:
    """Reads DOT text; ValueError "parse error: line N: ..." for an unusable node id."""

def read_dot_file(
    path: str,
    accept_directed: bool | None = False,
    label: str | None = "label",
    modality: Sequence[str] | None = None,
) -> PyGraph:
    """Reads one graph from a DOT file with the complete DOT grammar; modality None stands for
    ("weight", "label"). A file that is not UTF-8 is read as Latin-1. A digraph raises
    ValueError "unsupported: directed graph at ..." unless accept_directed. tolva.read_dot is
    the friendlier entry point. Not in __all__."""

def read_dot_text(
    content: str,
    accept_directed: bool | None = False,
    label: str | None = "label",
    modality: Sequence[str] | None = None,
) -> PyGraph:
    """read_dot_file for DOT text. Not in __all__."""

@final
class PyCGraph:
    """A canonical string; str() gives it, repr() PyCGraph('...'). Two PyCGraph compare and
    hash by their texts (bytewise order, so results sort) and pickle by the text."""

    def as_str(self) -> str: ...
    def __eq__(self, other: object) -> bool: ...
    def __ne__(self, other: object) -> bool: ...
    def __hash__(self) -> int: ...
    def __lt__(self, other: PyCGraph) -> bool: ...
    def __le__(self, other: PyCGraph) -> bool: ...
    def __gt__(self, other: PyCGraph) -> bool: ...
    def __ge__(self, other: PyCGraph) -> bool: ...

def to_cgraph_py(
    graph: PyGraph,
    candidate_rule: str | None,
    branch_rule: str | None,
    allow_hashes: bool | None,
    compress: bool | None,
    compact: bool | None,
) -> PyCGraph:
    """The canonical string of `graph`. All six arguments are required; None stands for the
    default ("$degree", "$depth > tree.parent_modality > $lexic", True, True, False)."""

def canonical_node_order_py(
    graph: PyGraph,
    candidate_rule: str | None = None,
    branch_rule: str | None = None,
    allow_hashes: bool | None = None,
    compact: bool | None = None,
) -> list[str]:
    """The ids of the nodes that the canonical string visits, in its order."""

@overload
def to_cgraph_many(
    graphs: Sequence[PyGraph],
    candidate_rule: str | None = None,
    branch_rule: str | None = None,
    allow_hashes: bool | None = None,
    compress: bool | None = None,
    compact: bool | None = None,
    workers: int | None = None,
    on_error: Literal["raise"] | None = "raise",
) -> list[PyCGraph]: ...
@overload
def to_cgraph_many(
    graphs: Sequence[PyGraph],
    candidate_rule: str | None = None,
    branch_rule: str | None = None,
    allow_hashes: bool | None = None,
    compress: bool | None = None,
    compact: bool | None = None,
    workers: int | None = None,
    *,
    on_error: Literal["return"],
) -> list[PyCGraph | Exception]:
    """to_cgraph_py for every graph, in input order, computed on `workers` native threads
    (default: the processors this process may use) without the interpreter lock. A failed graph
    gives ValueError "graph <i>: <message>" (MemoryError "graph <i>: out of memory" when memory
    ran out): on_error="raise" raises the one of lowest position, on_error="return" puts each in
    its graph's place and keeps every other result. The trace switches are read once, when the
    call starts; each graph's trace lines are written together. Ctrl-C stops the workers and
    raises KeyboardInterrupt. Not in __all__."""

@overload
def canonical_node_order_many(
    graphs: Sequence[PyGraph],
    candidate_rule: str | None = None,
    branch_rule: str | None = None,
    allow_hashes: bool | None = None,
    compact: bool | None = None,
    workers: int | None = None,
    on_error: Literal["raise"] | None = "raise",
) -> list[list[str]]: ...
@overload
def canonical_node_order_many(
    graphs: Sequence[PyGraph],
    candidate_rule: str | None = None,
    branch_rule: str | None = None,
    allow_hashes: bool | None = None,
    compact: bool | None = None,
    workers: int | None = None,
    *,
    on_error: Literal["return"],
) -> list[list[str] | Exception]:
    """canonical_node_order_py for every graph, in input order, on native threads as
    to_cgraph_many. Not in __all__."""

def graph_key(
    graph: PyGraph, compact: bool | None = None, allow_hashes: bool | None = None, whole_braces: bool | None = None
) -> str:
    """The key of the whole graph (tolva.key is the keyword form). Not in __all__."""

def graph_key_many(
    graphs: Sequence[PyGraph],
    compact: bool | None = None,
    allow_hashes: bool | None = None,
    whole_braces: bool | None = None,
    workers: int | None = None,
    on_error: Literal["raise", "return"] | None = "raise",
) -> list[str | Exception]:
    """graph_key for every graph, in input order, on native threads as to_cgraph_many. Not in
    __all__."""

def graph_from_json_line(line: bytes) -> tuple[str, PyGraph] | None:
    """(name, graph) of a JSON Lines corpus line in its plain form (string "name", "nodes" as
    [id, label], "edges" as [id, id, modality], other keys only with string values); None for any
    other line, left to a full JSON reader. Not in __all__."""

def outputs_of_jsonl(
    chunk: bytes,
    product: _LineProduct | None = "cgraph",
    candidate_rule: str | None = None,
    branch_rule: str | None = None,
    allow_hashes: bool | None = None,
    compress: bool | None = None,
    compact: bool | None = None,
    workers: int | None = None,
) -> list[_LineItem]:
    """What the command line writes for whole JSON Lines, on native threads: for each
    non-blank line in order, the line "NAME\\tCGRAPH\\n" ("cgraph"), "NAME\\tID ID ...\\n"
    ("order") or the JSON line ("json", "json_order" with the order), written as the command line
    writes them, or (name, key) ("key"); (name, error) for a
    graph whose result fails; (index of the line in the chunk, the line) for a line outside
    graph_from_json_line's plain form, left to a full JSON reader. Not in __all__."""

def outputs_of_jsonl_stream(
    chunks: Iterable[tuple[_T, bytes | None]],
    handle: Callable[[_T, list[_LineItem] | None], object],
    product: _LineProduct | None = "cgraph",
    candidate_rule: str | None = None,
    branch_rule: str | None = None,
    allow_hashes: bool | None = None,
    compress: bool | None = None,
    compact: bool | None = None,
    workers: int | None = None,
) -> None:
    """outputs_of_jsonl for each chunk of `chunks`, calling handle(tag, items) in order (items
    None for a chunk given as None, or whose items find no memory: the caller reads its lines);
    the threads compute one chunk while this thread reads the next and hands on the last. An
    Exception raised by `chunks` comes after the chunks taken before it are handed on; any
    other (KeyboardInterrupt) at once. Not in __all__."""

def line_end_count(data: bytes) -> int:
    """How many b"\\n" `data` holds, as data.count(b"\\n"). Not in __all__."""
