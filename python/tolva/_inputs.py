"""The command line's inputs: DOT files, DOT text on standard input ("-") and JSON Lines
corpora (paths ending in ".jsonl"), read as a stream of named graphs or named failures.
DOT is read by the complete reader (tolva.read_dot) unless DotReader(line=True) asks for
the exact line reader (parse_dot).

    for entry in iter_entries(["a.dot", "corpus.jsonl", "-"]):
        print(entry.name, entry.graph or entry.error)

Nothing here raises for bad input: an unreadable file, a bad DOT line or a bad corpus
line becomes an Entry with an error, and the stream goes on with the next graph.
"""

from __future__ import annotations

import sys
from collections.abc import Iterable, Iterator
from dataclasses import dataclass

from tolva._tolva import PyGraph, parse_dot, parse_dot_string
from tolva.dot import DirectedGraphError, read_dot_from_file, read_dot_from_text
from tolva.jsonl import JsonlError, read_jsonl

STDIN = "-"
DIRECTED_MESSAGE = "directed graph (use --directed ignore)"


@dataclass(frozen=True)
class DotReader:
    """How DOT inputs are read: the complete reader, whose `directed` says what a digraph
    does ("error": reported, "ignore": read as undirected), or with `line` the line reader."""

    line: bool = False
    directed: str = "error"

    def file(self, path: str) -> PyGraph:
        return parse_dot(path) if self.line else read_dot_from_file(path, directed=self.directed)

    def text(self, text: str) -> PyGraph:
        return parse_dot_string(text) if self.line else read_dot_from_text(text, directed=self.directed)


@dataclass(frozen=True)
class Entry:
    """One graph read (`graph` set) or one failure to read a graph (`error` set).

    `name` is the DOT file path, "-" for standard input, the corpus line's "name"
    field, or "PATH:LINENO" for a corpus line that could not be read.
    """

    name: str
    graph: PyGraph | None = None
    error: str | None = None


def is_corpus(path: str) -> bool:
    return path.lower().endswith(".jsonl")


def iter_entries(paths: Iterable[str], dot: DotReader = DotReader()) -> Iterator[Entry]:
    for path in paths:
        if path == STDIN:
            yield stdin_entry(dot)
        elif is_corpus(path):
            yield from corpus_entries(path)
        else:
            yield dot_entry(path, dot)


def dot_entry(path: str, dot: DotReader) -> Entry:
    try:
        return Entry(path, graph=dot.file(path))
    except DirectedGraphError:
        return Entry(path, error=DIRECTED_MESSAGE)
    except ValueError as error:
        return Entry(path, error=str(error))


def stdin_entry(dot: DotReader) -> Entry:
    try:
        text = sys.stdin.buffer.read().decode("utf-8")
    except UnicodeDecodeError:
        # The same text parse_dot gives for a file that is not UTF-8.
        return Entry(STDIN, error="parse error: stream did not contain valid UTF-8")
    try:
        return Entry(STDIN, graph=dot.text(text))
    except DirectedGraphError:
        return Entry(STDIN, error=DIRECTED_MESSAGE)
    except ValueError as error:
        return Entry(STDIN, error=str(error))


def corpus_entries(path: str) -> Iterator[Entry]:
    # read_jsonl reports a bad line before it reads the next one, so draining the
    # failures before each graph keeps the entries in file order.
    failures: list[JsonlError] = []
    try:
        for name, graph in read_jsonl(path, on_error=failures.append):
            yield from failure_entries(failures)
            yield Entry(name, graph=graph)
    except OSError as error:
        yield from failure_entries(failures)
        yield Entry(path, error=f"cannot read: {error.strerror or error}")
    yield from failure_entries(failures)


def failure_entries(failures: list[JsonlError]) -> Iterator[Entry]:
    while failures:
        failure = failures.pop(0)
        yield Entry(f"{failure.path}:{failure.line}", error=failure.reason)


def count_graphs(paths: Iterable[str]) -> int:
    """How many entries iter_entries will give, at most: one per DOT input, one per
    non-blank corpus line (one for a corpus that cannot be read)."""
    total = 0
    for path in paths:
        total += count_corpus_lines(path) if is_corpus(path) else 1
    return total


def count_corpus_lines(path: str) -> int:
    try:
        with open(path, "rb") as lines:
            return sum(1 for line in lines if line.strip())
    except OSError:
        return 1
