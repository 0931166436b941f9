"""The command line's computation: graphs in batches through the library's batch functions,
on native threads, with the next batch read meanwhile.

    canonizer = Canonizer(candidate_rule=None, allow_hashes=True, compress=True, compact=False, workers=2)
    for batch in read_ahead(batched(entries, BatchLimits())):
        strings = canonizer.cgraphs([entry.graph for entry in batch])   # str or the exception

Batches are bounded in graphs and in total size, so memory stays bounded on any corpus; the
results come back in input order and equal those of one call per graph.
"""

from __future__ import annotations

import queue
import re
import threading
from collections.abc import Iterable, Iterator
from dataclasses import dataclass
from typing import Any, TypeVar

from tolva._tolva import PyGraph, canonical_node_order_many, to_cgraph_many

T = TypeVar("T")
GRAPH_PREFIX = re.compile(r"^graph \d+: ")


@dataclass(frozen=True)
class BatchLimits:
    # A few hundred molecules take tens of milliseconds: long enough to keep the workers
    # busy, short enough that the first lines come soon and memory stays small.
    graphs: int = 256
    size: int = 200_000  # nodes plus edges


def batched(entries: Iterable[Any], limits: BatchLimits) -> Iterator[list[Any]]:
    """Consecutive lists of entries (objects with an optional `graph`), each within the limits
    (one oversized graph makes a batch of its own)."""
    batch: list[Any] = []
    size = 0
    for entry in entries:
        graph = getattr(entry, "graph", None)
        weight = graph.node_count + graph.edge_count if graph is not None else 0
        if batch and (len(batch) >= limits.graphs or size + weight > limits.size):
            yield batch
            batch, size = [], 0
        batch.append(entry)
        size += weight
    if batch:
        yield batch


_DONE = object()


def read_ahead(items: Iterator[T]) -> Iterator[T]:
    """The items, produced one ahead on a reader thread: reading and building the next batch
    (Python, holding the interpreter lock) overlaps the batch call on this one (native threads,
    lock released). An exception of the producer is raised here, in order. The reader is a
    daemon thread, stopped when this iterator is closed."""
    slots: queue.Queue[tuple[Any, BaseException | None]] = queue.Queue(maxsize=1)
    stop = threading.Event()

    def put(item: Any, error: BaseException | None = None) -> bool:
        while not stop.is_set():
            try:
                slots.put((item, error), timeout=0.1)
                return True
            except queue.Full:
                continue
        return False

    def produce() -> None:
        try:
            for item in items:
                if not put(item):
                    return
        except BaseException as error:  # handed to the consumer, who raises it
            put(None, error)
            return
        put(_DONE)

    threading.Thread(target=produce, name="tolva-reader", daemon=True).start()
    try:
        while True:
            item, error = slots.get()
            if error is not None:
                raise error
            if item is _DONE:
                return
            yield item
    finally:
        stop.set()


@dataclass(frozen=True)
class Canonizer:
    """The library's options as the command line sets them, and the worker count."""

    candidate_rule: str | None
    allow_hashes: bool
    compress: bool
    compact: bool
    workers: int

    def cgraphs(self, graphs: list[PyGraph]) -> list[str | BaseException]:
        return self.each(graphs, lambda batch: to_cgraph_many(
            batch, self.candidate_rule, None, self.allow_hashes, self.compress, self.compact,
            workers=self.workers, on_error="return"), str)

    def orders(self, graphs: list[PyGraph]) -> list[list[str] | BaseException]:
        return self.each(graphs, lambda batch: canonical_node_order_many(
            batch, self.candidate_rule, None, self.allow_hashes, self.compact,
            workers=self.workers, on_error="return"), list)

    @staticmethod
    def each(graphs: list[PyGraph], call: Any, convert: Any) -> list[Any]:
        try:
            results = call(graphs)
        except MemoryError:
            # Too little memory for the batch as a whole: one graph at a time, so that only
            # the graphs that need too much fail.
            if len(graphs) == 1:
                return [MemoryError("out of memory")]
            return [result for graph in graphs for result in Canonizer.each([graph], call, convert)]
        return [result if isinstance(result, BaseException) else convert(result) for result in results]


def failure_text(error: BaseException) -> str:
    """What a failed graph's exception says, without the batch's "graph <i>: " prefix."""
    if isinstance(error, MemoryError):
        return "out of memory"
    return GRAPH_PREFIX.sub("", str(error), count=1)
