"""The command line's computation: graphs in batches through the library's batch functions,
on native threads, with the next batch read and the last one written meanwhile.

    canonizer = Canonizer(candidate_rule=None, allow_hashes=True, compress=True, compact=False, workers=2)
    with Behind(write) as writing:
        for batch in read_ahead(batched(entries, BatchLimits())):
            writing.put((batch, canonizer.cgraphs([entry.graph for entry in batch])))

Batches are bounded in graphs and in total size, so memory stays bounded on any corpus; the
results come back in input order and equal those of one call per graph. The batch calls stay
on the calling (main) thread, where Ctrl-C reaches them; reading and writing, Python work
that holds the interpreter lock, run on threads of their own while the calls release it.
"""

from __future__ import annotations

import contextlib
import re
from collections.abc import Callable, Generator, Iterable, Iterator

from tolva._corpus_chunks import CorpusChunk
from tolva._tolva import (PyGraph, canonical_node_order_many, graph_key_many, outputs_of_jsonl, outputs_of_jsonl_stream,
                          to_cgraph_many)

TYPE_CHECKING = False  # typing is imported by type checkers only: it slows the command's start
if TYPE_CHECKING:
    from typing import Any, TypeVar

    from tolva._writers import Product

    T = TypeVar("T")

# queue and threading are imported where threads are started: the command line's
# usual input, JSON Lines read natively, never starts one, and the imports slow every start.
_DONE = object()
GRAPH_PREFIX = re.compile(r"^graph \d+: ")


class BatchLimits:
    # A thousand molecules take a few hundred milliseconds: each batch costs the workers a
    # wait for the interpreter lock. The first lines come after the first batch, which is
    # kept small so that they come at once (`tolva big.jsonl | head`). `size` counts nodes
    # plus edges.
    __slots__ = ("graphs", "size", "first_graphs")

    def __init__(self, graphs: int = 1024, size: int = 200_000, first_graphs: int = 64) -> None:
        self.graphs = graphs
        self.size = size
        self.first_graphs = first_graphs


def batched(entries: Iterable[Any], limits: BatchLimits) -> Generator[list[Any] | CorpusChunk, None, None]:
    """Consecutive lists of entries (objects with an optional `graph`), each within the limits
    (one oversized graph makes a batch of its own); a CorpusChunk among them is a batch of its
    own, as it comes."""
    batch: list[Any] = []
    size = 0
    most = min(limits.first_graphs, limits.graphs)
    for entry in entries:
        if isinstance(entry, CorpusChunk):
            if batch:
                yield batch
                batch, size = [], 0
            yield entry
            continue
        graph = getattr(entry, "graph", None)
        weight = graph.node_count + graph.edge_count if graph is not None else 0
        if batch and (len(batch) >= most or size + weight > limits.size):
            yield batch
            batch, size, most = [], 0, limits.graphs
        batch.append(entry)
        size += weight
    if batch:
        yield batch


def read_ahead(items: Iterator[T]) -> Generator[T, None, None]:
    """The items, produced one ahead on a reader thread: reading and building the next batch
    (Python, holding the interpreter lock) overlaps the batch call on this one (native threads,
    lock released). An exception of the producer is raised here, in order. The reader is a
    daemon thread, stopped when this iterator is closed."""
    import queue
    import threading

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


class Behind:
    """Runs `handle` on each item put, in order, on a writer thread, one item behind the
    caller. An exception of `handle` is raised by the next put() or by finish(); the items
    after it are dropped. Used as a context manager, leaving stops the thread."""

    def __init__(self, handle: Callable[[Any], None]) -> None:
        import queue
        import threading

        self.handle = handle
        self.slots: queue.Queue[Any] = queue.Queue(maxsize=1)
        self.error: BaseException | None = None
        self.stop = threading.Event()
        self.thread = threading.Thread(target=self.work, name="tolva-writer", daemon=True)
        self.thread.start()

    def work(self) -> None:
        while True:
            item = self.slots.get()
            if item is _DONE or self.stop.is_set():
                return
            if self.error is None:
                try:
                    self.handle(item)
                except BaseException as error:  # raised again on the caller's thread
                    self.error = error

    def put(self, item: Any) -> None:
        import queue

        self.raise_error()
        while self.thread.is_alive():
            try:
                self.slots.put(item, timeout=0.1)
                return
            except queue.Full:
                continue

    def finish(self) -> None:
        """Waits until every item is handled; raises the exception of `handle`, if any."""
        self.put(_DONE)
        self.thread.join()
        self.raise_error()

    def raise_error(self) -> None:
        if self.error is not None:
            error, self.error = self.error, None
            self.stop.set()
            raise error

    def __enter__(self) -> Behind:
        return self

    def __exit__(self, *exc: object) -> None:
        import queue

        self.stop.set()
        with contextlib.suppress(queue.Full):
            self.slots.put_nowait(_DONE)


class InTurn:
    """Behind's interface, each item handled at once on the caller's thread."""

    def __init__(self, handle: Callable[[Any], None]) -> None:
        self.handle = handle

    def put(self, item: Any) -> None:
        self.handle(item)

    def finish(self) -> None:
        pass

    def __enter__(self) -> InTurn:
        return self

    def __exit__(self, *exc: object) -> None:
        pass


class Canonizer:
    """The library's options as the command line sets them, and the worker count."""

    __slots__ = ("candidate_rule", "allow_hashes", "compress", "compact", "workers")

    def __init__(self, candidate_rule: str | None, allow_hashes: bool, compress: bool, compact: bool,
                 workers: int) -> None:
        self.candidate_rule = candidate_rule
        self.allow_hashes = allow_hashes
        self.compress = compress
        self.compact = compact
        self.workers = workers

    def compute(self, kind: str, graphs: list[PyGraph]) -> list[Any]:
        """cgraphs, orders or keys of the graphs, by `kind`: "cgraph", "order" or "key"."""
        methods: dict[str, Callable[[list[PyGraph]], list[Any]]] = {
            "cgraph": self.cgraphs, "order": self.orders, "key": self.keys}
        return methods[kind](graphs)

    def keys(self, graphs: list[PyGraph]) -> list[str | BaseException]:
        return self.each(graphs, lambda batch: graph_key_many(
            batch, self.compact, self.allow_hashes, None, self.workers, "return"), str)

    def cgraphs(self, graphs: list[PyGraph]) -> list[str | BaseException]:
        return self.each(graphs, lambda batch: to_cgraph_many(
            batch, self.candidate_rule, None, self.allow_hashes, self.compress, self.compact,
            workers=self.workers, on_error="return"), str)

    def orders(self, graphs: list[PyGraph]) -> list[list[str] | BaseException]:
        return self.each(graphs, lambda batch: canonical_node_order_many(
            batch, self.candidate_rule, None, self.allow_hashes, self.compact,
            workers=self.workers, on_error="return"), list)

    def native_outputs(self, chunk: bytes, product: Product) -> list[
            str | tuple[str, str] | tuple[str, ValueError] | tuple[int, bytes]]:
        """What the writer needs of each graph of a chunk of JSON Lines (see outputs_of_jsonl)."""
        return outputs_of_jsonl(chunk, product, self.candidate_rule, None, self.allow_hashes, self.compress,
                                self.compact, self.workers)

    def stream_native_outputs(self, batches: Iterable[list[Any] | CorpusChunk], product: Product,
                              handle: Callable[[list[Any] | CorpusChunk, list[Any] | None], None]) -> None:
        """handle(batch, native_outputs of its data) for each chunk of `batches` and handle(batch,
        None) for any other batch, in order, computed on one native stream (outputs_of_jsonl_stream)."""
        pairs = ((batch, batch.data if isinstance(batch, CorpusChunk) else None) for batch in batches)
        outputs_of_jsonl_stream(pairs, handle, product, self.candidate_rule, None, self.allow_hashes, self.compress,
                                self.compact, self.workers)

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
