"""The command line's inputs, read as a stream of named graphs or named failures: DOT files,
JSON Lines corpora, SMILES and SDF molecule files (through RDKit), and standard input ("-").
DOT is read by the complete reader (tolva.read_dot) unless DotReader(line=True) asks for the
exact line reader (parse_dot), whose surprising readings of lines come back as warnings.

    for entry in iter_entries(["a.dot", "corpus.jsonl.gz", "mols.smi", "-"]):
        print(entry.name, entry.graph or entry.error, entry.warnings)

With `chunks`, a JSON Lines input comes as CorpusChunk items (whole lines, as bytes) instead
of an Entry per line, for a native reader; a failure to read it still comes as an Entry.

The format is the one asked for, else the file name's: ".jsonl" and ".ndjson" are JSON Lines,
".smi" and ".smiles" SMILES, ".sdf" and ".mol" SDF, anything else DOT; a ".gz", ".xz" or
".zst" ending is decompressed first and the name before it decides. Standard input is JSON
Lines when its first character other than white space is "{", else DOT.

Nothing here raises for bad input: an unreadable file, a bad DOT file, a bad corpus line or
molecule, even running out of memory while reading, becomes an Entry with an error, and the
stream goes on with the next graph.
"""

from __future__ import annotations

import functools
import io
from collections.abc import Callable, Iterable, Iterator

TYPE_CHECKING = False  # typing is imported by type checkers only: it slows the command's start
if TYPE_CHECKING:
    from typing import IO, Any

from tolva import _molecule_inputs as molecules
from tolva._corpus_chunks import CorpusChunk, corpus_chunks
from tolva._compression import decompression_errors, open_decompressed, uncompressed_name
from tolva._tolva import PyGraph, parse_dot_string
from tolva.dot import DirectedGraphError, read_dot_from_text
from tolva.jsonl import JsonlError, graphs_of_lines

STDIN = "-"
STDIN_FD = 0
FORMATS = ("dot", "jsonl", "smiles", "sdf")
FORMAT_OF_SUFFIX = {".jsonl": "jsonl", ".ndjson": "jsonl", ".smi": "smiles", ".smiles": "smiles",
                    ".sdf": "sdf", ".mol": "sdf"}
FORMAT_NAMES = {"smiles": "SMILES", "sdf": "SDF"}
NO_GRAPH = "no graph found"
OUT_OF_MEMORY = "out of memory"
DIRECTED_MESSAGE = "directed graph (use --directed ignore)"
NOT_UTF8 = "parse error: stream did not contain valid UTF-8"  # parse_dot's words


# For except clauses, which call them when an exception arrives (see decompression_errors).
def input_failures() -> tuple[type[Exception], ...]:
    """Failures of reading an input, each reported as the input's failure."""
    return (OSError, *decompression_errors(), ModuleNotFoundError, MemoryError)


def unreadable() -> tuple[type[Exception], ...]:
    return (*decompression_errors(), ModuleNotFoundError)


class DotReader:
    """How DOT inputs are read: the complete reader, whose `directed` says what a digraph
    does ("error": reported, "ignore": read as undirected), or with `line` the line reader,
    with warnings about the lines it skips or reads unexpectedly."""

    __slots__ = ("line", "directed")

    def __init__(self, line: bool = False, directed: str = "error") -> None:
        self.line = line
        self.directed = directed

    def read(self, data: bytes) -> tuple[PyGraph, tuple[tuple[int, str], ...]]:
        """The graph of DOT bytes and the warnings; ValueError (UnicodeDecodeError for the
        line reader, which reads UTF-8 only) when they hold no usable graph."""
        if self.line:
            from tolva._dot_line_checks import line_reader_warnings  # only here: its patterns are slow to build

            text = data.decode("utf-8")
            return parse_dot_string(text), tuple(line_reader_warnings(text))
        try:
            text = data.decode("utf-8")
        except UnicodeDecodeError:
            text = data.decode("latin-1")  # as Graphviz reads it
        return read_dot_from_text(text, directed=self.directed), ()


class Entry:
    """One graph read (`graph` set) or one failure to read a graph (`error` set).

    `name` is the DOT file path, "-" for standard input, the graph's or molecule's name in a
    corpus or molecule file, or "PATH:LINENO" ("PATH#K" for an SDF record) when it has none or
    could not be read. `warnings` are (line, message) pairs about a DOT text's lines that the
    reader skipped or read unexpectedly.
    """

    __slots__ = ("name", "graph", "error", "warnings")

    def __init__(self, name: str, graph: PyGraph | None = None, error: str | None = None,
                 warnings: tuple[tuple[int, str], ...] = ()) -> None:
        self.name = name
        self.graph = graph
        self.error = error
        self.warnings = warnings


def format_of(path: str, chosen: str | None = None) -> str:
    if chosen:
        return chosen
    base, dot, suffix = uncompressed_name(path).lower().rpartition(".")
    return FORMAT_OF_SUFFIX.get(dot + suffix, "dot") if base else "dot"


def iter_entries(paths: Iterable[str], chosen: str | None = None, dot: DotReader = DotReader(),
                 chunks: bool = False) -> Iterator[Entry | CorpusChunk]:
    for path in paths:
        yield from guarded(path, functools.partial(entries_of, path, chosen, dot, chunks))


def guarded(name: str, entries: Callable[[], Iterator[Entry | CorpusChunk]]) -> Iterator[Entry | CorpusChunk]:
    """The entries, with a failure of the reading itself as the input's last entry."""
    try:
        yield from entries()
    except input_failures() as error:
        yield read_failure(name, error)


def read_failure(name: str, error: BaseException) -> Entry:
    if isinstance(error, MemoryError):
        return Entry(name, error=OUT_OF_MEMORY)
    return Entry(name, error=f"cannot read: {reason(error)}")


def reason(error: BaseException) -> str:
    return (error.strerror if isinstance(error, OSError) and error.strerror else str(error)) or type(error).__name__


def entries_of(path: str, chosen: str | None, dot: DotReader, chunks: bool) -> Iterator[Entry | CorpusChunk]:
    if path == STDIN:
        try:
            # A reader of its own on descriptor 0, not sys.stdin: a reader thread that is
            # still waiting on it when the interpreter exits (Ctrl-C) would otherwise hold
            # the lock of sys.stdin, which the interpreter takes to close it.
            stdin = open(STDIN_FD, "rb", closefd=False)
        except OSError:
            yield Entry(STDIN, error="cannot read: standard input is closed")
            return
        start, rest = first_visible_part(stdin)
        kind = chosen or ("jsonl" if start.lstrip().startswith(b"{") else "dot")
        yield from format_entries(kind, STDIN, lambda: io.BufferedReader(Prefixed(start, rest)), dot, chunks)
        return
    yield from format_entries(format_of(path, chosen), path, lambda: open_decompressed(path), dot, chunks)


def format_entries(kind: str, name: str, open_stream: Callable[[], IO[bytes]], dot: DotReader,
                   chunks: bool = False) -> Iterator[Entry | CorpusChunk]:
    if kind == "dot":
        yield dot_entry(name, open_stream, dot)
        return
    if kind == "jsonl":
        yield from (corpus_chunk_items if chunks else corpus_entries)(name, open_stream)
        return
    missing = molecules.rdkit_missing(FORMAT_NAMES[kind])
    if missing:
        yield Entry(name, error=missing)
        return
    with open_stream() as stream:
        found = (molecules.smiles_molecules(stream, name) if kind == "smiles"
                 else molecules.sdf_molecules(stream, name))
        for molecule_name, graph, error in found:
            yield Entry(molecule_name, graph=graph, error=error)


def dot_entry(name: str, open_stream: Callable[[], IO[bytes]], dot: DotReader) -> Entry:
    """The one place DOT text becomes a graph (or a failure, with the warnings)."""
    try:
        with open_stream() as stream:
            data = stream.read()
    except MemoryError:
        return Entry(name, error=OUT_OF_MEMORY)
    except OSError as error:
        # The words parse_dot uses for a file it cannot read.
        return Entry(name, error=f"parse error: {error.strerror} (os error {error.errno})"
                     if error.errno else f"cannot read: {reason(error)}")
    except unreadable() as error:
        return Entry(name, error=f"cannot read: {reason(error)}")
    try:
        graph, warnings = dot.read(data)
    except UnicodeDecodeError:
        return Entry(name, error=NOT_UTF8)
    except DirectedGraphError:
        return Entry(name, error=DIRECTED_MESSAGE)
    except ValueError as error:
        return Entry(name, error=str(error))
    except MemoryError:
        return Entry(name, error=OUT_OF_MEMORY)
    if graph.node_count == 0:
        return Entry(name, error=NO_GRAPH, warnings=warnings)
    return Entry(name, graph=graph, warnings=warnings)


def corpus_entries(name: str, open_stream: Callable[[], IO[bytes]]) -> Iterator[Entry]:
    # graphs_of_lines reports a bad line before it reads the next one, so draining the
    # failures before each graph keeps the entries in file order.
    failures: list[JsonlError] = []
    try:
        with open_stream() as lines:
            for graph_name, graph in graphs_of_lines(lines, name, on_error=failures.append):
                yield from failure_entries(failures)
                yield Entry(graph_name, graph=graph)
    except input_failures() as error:
        yield from failure_entries(failures)
        yield read_failure(name, error)
        return
    yield from failure_entries(failures)


def corpus_chunk_items(name: str, open_stream: Callable[[], IO[bytes]]) -> Iterator[Entry | CorpusChunk]:
    try:
        with open_stream() as stream:
            yield from corpus_chunks(stream, name)
    except input_failures() as error:
        yield read_failure(name, error)


def failure_entries(failures: list[JsonlError]) -> Iterator[Entry]:
    while failures:
        failure = failures.pop(0)
        yield Entry(f"{failure.path}:{failure.line}", error=failure.reason)


def first_visible_part(stream: IO[bytes]) -> tuple[bytes, IO[bytes]]:
    """The start of a stream up to and including its first bytes other than ASCII white space
    (or all of it), and the stream, which goes on after that start."""
    start = b""
    while not start.strip():
        chunk = stream.read1(1 << 16) if hasattr(stream, "read1") else stream.read(1 << 16)
        if not chunk:
            break
        start += chunk
    return start, stream


class Prefixed(io.RawIOBase):
    """Bytes already read, then the rest of a stream, which closing this leaves open (standard
    input may be named twice)."""

    def __init__(self, start: bytes, rest: IO[bytes]) -> None:
        self.start = start
        self.rest = rest

    def readable(self) -> bool:
        return True

    def readinto(self, buffer: Any) -> int:
        if self.start:
            size = min(len(buffer), len(self.start))
            buffer[:size] = self.start[:size]
            self.start = self.start[size:]
            return size
        chunk = self.rest.read1(len(buffer)) if hasattr(self.rest, "read1") else self.rest.read(len(buffer))
        buffer[: len(chunk)] = chunk
        return len(chunk)


def count_graphs(paths: Iterable[str], chosen: str | None = None) -> int:
    """About how many entries iter_entries will give, for a progress bar: one per DOT input
    or standard input, one per non-blank line of a corpus or SMILES file, one per SDF record."""
    total = 0
    for path in paths:
        kind = format_of(path, chosen)
        total += 1 if path == STDIN or kind == "dot" else count_records(path, kind)
    return total


def count_records(path: str, kind: str) -> int:
    try:
        with open_decompressed(path) as lines:
            if kind == "sdf":
                return max(1, sum(1 for line in lines if line.startswith(b"$$$$")))
            return sum(1 for line in lines if line.strip())
    except input_failures():
        return 1
