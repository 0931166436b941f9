"""Reading graph corpora in JSON Lines: one graph per line.

Each line is a JSON object
    {"name": str, "nodes": [[id, label], ...], "edges": [[id1, id2, modality], ...]}
with every id, label and modality a string; other fields are ignored. Blank lines are
skipped. A file whose name ends in ".gz", ".xz" or ".zst" (with the zstandard package) is
decompressed as it is read.

    for name, graph in tolva.read_jsonl("corpus.jsonl"):
        print(name, tolva.to_cgraph_py(graph, None, None, None, None, None))

A faulty line raises JsonlError ("PATH:LINENO: message"), unless `on_error` is given:
then the error is handed to it and reading goes on with the next line.
"""

from __future__ import annotations

import os
from collections.abc import Callable, Iterable, Iterator
TYPE_CHECKING = False  # typing is imported by type checkers only: it slows the command's start
if TYPE_CHECKING:
    from typing import Any

from tolva._compression import open_decompressed
from tolva._tolva import PyGraph, graph_from_edges, graph_from_json_line

NODE_SHAPE = "[id, label]"
EDGE_SHAPE = "[id1, id2, modality]"


class JsonlError(ValueError):
    """A line of a JSON Lines corpus that does not describe a graph.

    `path` and `line` (1-based) locate it, `reason` says what is wrong; str() gives
    "PATH:LINENO: reason".
    """

    def __init__(self, path: str, line: int, reason: str) -> None:
        super().__init__(f"{path}:{line}: {reason}")
        self.path = path
        self.line = line
        self.reason = reason


def read_jsonl(
    path: str | os.PathLike[str],
    on_error: Callable[[JsonlError], object] | None = None,
) -> Iterator[tuple[str, PyGraph]]:
    """Yields (name, graph) for every graph line of the file at `path`, in file order.

    A line that is not UTF-8, not valid JSON, lacks or mistypes a field, or holds a string
    that is not valid Unicode (a lone surrogate escape such as "\\ud800") raises JsonlError,
    or, with `on_error`, is passed to it and skipped. A file that cannot be opened raises
    OSError at the first step of the iteration (ModuleNotFoundError for ".zst" without the
    zstandard package); a damaged compressed file raises its decompressor's error.
    """
    with open_decompressed(path) as lines:
        yield from graphs_of_lines(lines, os.fspath(path), on_error)


def graphs_of_lines(
    lines: Iterable[bytes],
    shown: str,
    on_error: Callable[[JsonlError], object] | None = None,
) -> Iterator[tuple[str, PyGraph]]:
    """read_jsonl on lines already opened (standard input): `shown` names them in errors."""
    for number, raw in enumerate(lines, start=1):
        if not raw.strip():
            continue
        try:
            entry = graph_of_line(raw, shown, number)
        except JsonlError as error:
            if on_error is None:
                raise
            on_error(error)
            continue
        yield entry


def graph_of_line(raw: bytes, path: str, number: int) -> tuple[str, PyGraph]:
    """The (name, graph) of one corpus line; JsonlError when the line is unusable."""
    # Most lines are in the plain form, which native code reads in one step; it leaves every
    # other line, and every fault, to the reading below.
    plain = graph_from_json_line(raw)
    if plain is not None:
        return plain
    import json  # only here: most lines are read natively, and the import slows every start

    try:
        record = json.loads(raw.decode("utf-8").rstrip())
    except UnicodeDecodeError:
        raise JsonlError(path, number, "not valid UTF-8") from None
    except json.JSONDecodeError as error:
        raise JsonlError(path, number, f"invalid JSON: {error.msg} (column {error.colno})") from None
    except RecursionError:
        raise JsonlError(path, number, "invalid JSON: nested too deeply") from None
    try:
        name, nodes, edges = as_tuples(record)
        name.encode("utf-8")
        return name, graph_from_edges(nodes, edges)
    except UnicodeEncodeError:
        raise JsonlError(path, number, not_unicode(name, nodes, edges)) from None
    except (LookupError, TypeError, ValueError):
        # Only a faulty line comes here: the full check names its first fault.
        raise JsonlError(path, number, fault_of(record)) from None


def as_tuples(record: Any) -> tuple[str, list[Any], list[Any]]:
    """The fields of a line as graph_from_edges takes them. Only the types of the containers
    are checked here, cheaply; graph_from_edges refuses items of another length or holding
    other than strings (TypeError). Any fault raises LookupError, TypeError or ValueError."""
    name, nodes, edges = record["name"], record["nodes"], record["edges"]
    node_tuples = [tuple(item) for item in nodes if type(item) is list]
    edge_tuples = [tuple(item) for item in edges if type(item) is list]
    if not (type(record) is dict and type(name) is str and type(nodes) is list and type(edges) is list
            and len(node_tuples) == len(nodes) and len(edge_tuples) == len(edges)):
        raise ValueError("not a graph line")
    return name, node_tuples, edge_tuples


def fault_of(record: Any) -> str:
    try:
        fields_of(record)
    except ValueError as error:
        return str(error)
    return "not a graph line"


def not_unicode(name: str, nodes: list[tuple[str, ...]], edges: list[tuple[str, ...]]) -> str:
    """Names the first string holding a lone surrogate (JSON allows the escape "\\ud800",
    Unicode text has no such character, so no UTF-8 form)."""
    places: list[tuple[str, tuple[str, ...]]] = [("field 'name'", (name,))]
    places += [(f"'nodes' item {i}", node) for i, node in enumerate(nodes)]
    places += [(f"'edges' item {i}", edge) for i, edge in enumerate(edges)]
    for place, texts in places:
        for text in texts:
            try:
                text.encode("utf-8")
            except UnicodeEncodeError as error:
                return f"{place} holds a lone surrogate ({text[error.start]!a}), which is not valid Unicode"
    return "a string is not valid Unicode"


def fields_of(record: Any) -> tuple[str, list[tuple[str, str]], list[tuple[str, str, str]]]:
    """Checks the shape of a decoded line; ValueError names the first fault."""
    if not isinstance(record, dict):
        raise ValueError("a graph line must be a JSON object")
    for field in ("name", "nodes", "edges"):
        if field not in record:
            raise ValueError(f"missing field '{field}'")
    if not isinstance(record["name"], str):
        raise ValueError("field 'name' must be a string")
    nodes = [(node, label) for node, label in string_lists(record["nodes"], "nodes", 2, NODE_SHAPE)]
    edges = [(a, b, modality) for a, b, modality in string_lists(record["edges"], "edges", 3, EDGE_SHAPE)]
    return record["name"], nodes, edges


def string_lists(items: Any, field: str, size: int, shape: str) -> list[list[str]]:
    """`items`, checked to be lists of `size` strings; ValueError names the first bad
    item (0-based)."""
    if not isinstance(items, list):
        raise ValueError(f"field '{field}' must be a list of {shape}")
    for index, item in enumerate(items):
        if not (isinstance(item, list) and len(item) == size and all(isinstance(t, str) for t in item)):
            raise ValueError(f"'{field}' item {index} must be {shape}, all strings")
    return items
