"""The keyword-friendly layer over the native functions: graphs from any iterables, canonical
strings and orders by keyword, the key and digest of a whole graph, and batches over any
iterable in bounded memory.

    g = tolva.graph([("c1", "C"), ("o", "O")], [("c1", "o", "1")])
    tolva.canonical_string(g, compress=False)       # '(O:1)C'
    tolva.key(g)                                    # 'tolva1:(O:1)C'
    for k in tolva.imap_keys(graphs_generator, chunk=4096): ...
"""

from __future__ import annotations

import itertools
import operator
from collections.abc import Callable, Iterable, Iterator
from typing import Any, Literal, TypeVar, overload

from tolva import _tolva
from tolva._tolva import PyGraph

DEFAULT_CANDIDATE_RULE = "$degree"
DEFAULT_CHUNK = 4096

T = TypeVar("T")
OnError = Literal["raise", "return"]


def graph(nodes: Iterable[Any], edges: Iterable[Any]) -> PyGraph:
    """A PyGraph from (id, label) pairs and (id, id, modality) triples, exactly as
    graph_from_edges builds it from tuples.

    Each of `nodes` and `edges` may be any iterable of pairs / triples: lists from JSON,
    tuples, the rows of a numpy array, or a pandas DataFrame (its rows, in column order).
    Every field must be a str (numpy strings included) or an integer, which is written in
    decimal; anything else raises TypeError.
    """
    return _tolva.graph_from_edges(_items(nodes, 2, "nodes"), _items(edges, 3, "edges"))


def _items(items: Iterable[Any], size: int, what: str) -> list[Any]:
    if isinstance(items, (str, bytes)):
        raise TypeError(f"{what}: expected an iterable of {size}-item rows, got {type(items).__name__}")
    rows = items.itertuples(index=False, name=None) if hasattr(items, "itertuples") else items
    converted: list[tuple[str, ...]] = []
    for position, row in enumerate(rows):
        if type(row) is tuple and len(row) == size and all(type(field) is str for field in row):
            converted.append(row)
            continue
        fields = tuple(row)
        if len(fields) != size:
            raise TypeError(f"{what}[{position}]: expected {size} fields, got {len(fields)}")
        converted.append(tuple(_field(field, what, position) for field in fields))
    return converted


def _field(value: Any, what: str, position: int) -> str:
    if isinstance(value, str):
        return str(value)
    if not isinstance(value, bool) and type(value).__name__ != "bool_" and hasattr(value, "__index__"):
        return str(operator.index(value))
    raise TypeError(f"{what}[{position}]: expected str or int fields, got {type(value).__name__}")


def canonical_string(graph: PyGraph, *, candidate_rule: str = DEFAULT_CANDIDATE_RULE,
                     allow_hashes: bool = True, compress: bool = True, compact: bool = False) -> str:
    """The canonical string of the graph's root component: to_cgraph_py by keyword, as str."""
    return str(_tolva.to_cgraph_py(graph, candidate_rule, None, allow_hashes, compress, compact))


def canonical_order(graph: PyGraph, *, candidate_rule: str = DEFAULT_CANDIDATE_RULE,
                    allow_hashes: bool = True, compact: bool = False) -> list[str]:
    """The node ids in the order the canonical string visits them: canonical_node_order_py by
    keyword."""
    return _tolva.canonical_node_order_py(graph, candidate_rule, None, allow_hashes, compact)


def key(graph: PyGraph, *, compact: bool = False, allow_hashes: bool = True) -> str:
    """The key of the whole graph: one text for every connected component, unambiguous and
    equal for graphs that tolva treats as the same structure (see README, "Keys").

    "tolva1:" (the format, and "+compact" / "+plain" for changed options), then each
    component's canonical string with labels and modalities escaped, sorted and joined by ";".
    """
    return _tolva.graph_key(graph, compact, allow_hashes)


def digest(graph: PyGraph, *, compact: bool = False, allow_hashes: bool = True) -> str:
    """SHA-256 of the key's UTF-8 bytes, 64 lower-case hexadecimal digits: a fixed-size
    stand-in for the key in databases and memory-light deduplication."""
    return digest_of_key(key(graph, compact=compact, allow_hashes=allow_hashes))


def digest_of_key(key: str) -> str:
    """The digest that belongs to a key (see digest)."""
    import hashlib  # here, not at the top: it costs every start of the command line ~5 ms

    return hashlib.sha256(key.encode("utf-8")).hexdigest()


def _chunks(items: Iterable[T], size: int) -> Iterator[list[T]]:
    if size < 1:
        raise ValueError(f"chunk must be at least 1, got {size}")
    iterator = iter(items)
    while chunk := list(itertools.islice(iterator, size)):
        yield chunk


def _imap(batch: Callable[[list[PyGraph]], list[Any]], graphs: Iterable[PyGraph],
          chunk: int) -> Iterator[Any]:
    for part in _chunks(graphs, chunk):
        yield from batch(part)


# The native batch functions, typed loosely: `on_error` is passed through as the caller gave it.
_keys_many: Any = _tolva.graph_key_many
_strings_many: Any = _tolva.to_cgraph_many
_orders_many: Any = _tolva.canonical_node_order_many


def _key_stream(graphs: Iterable[PyGraph], compact: bool, allow_hashes: bool, workers: int | None,
                chunk: int, on_error: str) -> Iterator[Any]:
    return _imap(lambda part: _keys_many(part, compact, allow_hashes, None, workers, on_error), graphs, chunk)


@overload
def imap_keys(graphs: Iterable[PyGraph], *, compact: bool = ..., allow_hashes: bool = ...,
              workers: int | None = ..., chunk: int = ..., on_error: Literal["raise"] = ...) -> Iterator[str]: ...
@overload
def imap_keys(graphs: Iterable[PyGraph], *, compact: bool = ..., allow_hashes: bool = ...,
              workers: int | None = ..., chunk: int = ...,
              on_error: Literal["return"]) -> Iterator[str | Exception]: ...
def imap_keys(graphs: Iterable[PyGraph], *, compact: bool = False, allow_hashes: bool = True,
              workers: int | None = None, chunk: int = DEFAULT_CHUNK,
              on_error: OnError = "raise") -> Iterator[Any]:
    """key() of every graph of any iterable, lazily and in input order. The graphs are taken
    `chunk` at a time and each chunk is computed on `workers` native threads (default: the
    processors this process may use), so a generator of any length runs in memory bounded by
    the chunk. A failed graph raises ValueError "graph <i>: ..." (i counted within its
    chunk), or with on_error="return" is yielded as that exception in its place."""
    return _key_stream(graphs, compact, allow_hashes, workers, chunk, on_error)


@overload
def imap_digests(graphs: Iterable[PyGraph], *, compact: bool = ..., allow_hashes: bool = ...,
                 workers: int | None = ..., chunk: int = ..., on_error: Literal["raise"] = ...) -> Iterator[str]: ...
@overload
def imap_digests(graphs: Iterable[PyGraph], *, compact: bool = ..., allow_hashes: bool = ...,
                 workers: int | None = ..., chunk: int = ...,
                 on_error: Literal["return"]) -> Iterator[str | Exception]: ...
def imap_digests(graphs: Iterable[PyGraph], *, compact: bool = False, allow_hashes: bool = True,
                 workers: int | None = None, chunk: int = DEFAULT_CHUNK,
                 on_error: OnError = "raise") -> Iterator[Any]:
    """digest() of every graph of any iterable, lazily, as imap_keys."""
    keys = _key_stream(graphs, compact, allow_hashes, workers, chunk, on_error)
    return (digest_of_key(k) if isinstance(k, str) else k for k in keys)


@overload
def imap_strings(graphs: Iterable[PyGraph], *, candidate_rule: str = ..., allow_hashes: bool = ...,
                 compress: bool = ..., compact: bool = ..., workers: int | None = ..., chunk: int = ...,
                 on_error: Literal["raise"] = ...) -> Iterator[str]: ...
@overload
def imap_strings(graphs: Iterable[PyGraph], *, candidate_rule: str = ..., allow_hashes: bool = ...,
                 compress: bool = ..., compact: bool = ..., workers: int | None = ..., chunk: int = ...,
                 on_error: Literal["return"]) -> Iterator[str | Exception]: ...
def imap_strings(graphs: Iterable[PyGraph], *, candidate_rule: str = DEFAULT_CANDIDATE_RULE,
                 allow_hashes: bool = True, compress: bool = True, compact: bool = False,
                 workers: int | None = None, chunk: int = DEFAULT_CHUNK,
                 on_error: OnError = "raise") -> Iterator[Any]:
    """canonical_string() of every graph of any iterable, lazily, as imap_keys."""
    def batch(part: list[PyGraph]) -> list[Any]:
        results = _strings_many(part, candidate_rule, None, allow_hashes, compress, compact, workers, on_error)
        return [r if isinstance(r, Exception) else str(r) for r in results]
    return _imap(batch, graphs, chunk)


@overload
def imap_orders(graphs: Iterable[PyGraph], *, candidate_rule: str = ..., allow_hashes: bool = ...,
                compact: bool = ..., workers: int | None = ..., chunk: int = ...,
                on_error: Literal["raise"] = ...) -> Iterator[list[str]]: ...
@overload
def imap_orders(graphs: Iterable[PyGraph], *, candidate_rule: str = ..., allow_hashes: bool = ...,
                compact: bool = ..., workers: int | None = ..., chunk: int = ...,
                on_error: Literal["return"]) -> Iterator[list[str] | Exception]: ...
def imap_orders(graphs: Iterable[PyGraph], *, candidate_rule: str = DEFAULT_CANDIDATE_RULE,
                allow_hashes: bool = True, compact: bool = False, workers: int | None = None,
                chunk: int = DEFAULT_CHUNK, on_error: OnError = "raise") -> Iterator[Any]:
    """canonical_order() of every graph of any iterable, lazily, as imap_keys."""
    return _imap(lambda part: _orders_many(part, candidate_rule, None, allow_hashes, compact, workers, on_error),
                 graphs, chunk)


def keys(graphs: Iterable[PyGraph], *, compact: bool = False, allow_hashes: bool = True,
         workers: int | None = None, chunk: int = DEFAULT_CHUNK) -> list[str]:
    """key() of every graph of any iterable, as a list (imap_keys for a lazy iterator)."""
    return list(imap_keys(graphs, compact=compact, allow_hashes=allow_hashes, workers=workers, chunk=chunk))


def digests(graphs: Iterable[PyGraph], *, compact: bool = False, allow_hashes: bool = True,
            workers: int | None = None, chunk: int = DEFAULT_CHUNK) -> list[str]:
    """digest() of every graph of any iterable, as a list."""
    return list(imap_digests(graphs, compact=compact, allow_hashes=allow_hashes, workers=workers, chunk=chunk))

