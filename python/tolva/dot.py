"""Reading DOT files as Graphviz reads them: tolva.read_dot.

    g = tolva.read_dot("examples/benzene.dot")                  # a path
    g = tolva.read_dot(pathlib.Path("g{1}.dot"))                # any os.PathLike is a path
    g = tolva.read_dot("graph { a -- b -- c; {d e} -- f }")     # a str holding "{" is DOT text
    g = tolva.read_dot("deps.gv", directed="ignore")            # a digraph's edges as undirected

parse_dot and parse_dot_string keep reading their line-oriented subset exactly; read_dot
reads the whole DOT language (see its docstring). read_dot_from_file and read_dot_from_text
do the same without looking at the argument to tell a path from text.
"""

from __future__ import annotations

import os
from collections.abc import Callable, Sequence

from tolva._tolva import PyGraph, read_dot_file, read_dot_text

DIRECTED_CHOICES = ("error", "ignore")
# The start of the library's message for a digraph that is not to be read.
_DIRECTED_MESSAGE = "unsupported: directed graph"


class DirectedGraphError(ValueError):
    """read_dot was given a digraph and directed="error" (the default)."""


def read_dot(
    path_or_text: str | os.PathLike[str],
    *,
    directed: str = "error",
    label: str = "label",
    modality: str | Sequence[str] = ("weight", "label"),
) -> PyGraph:
    """Reads one graph written in the DOT language, the way Graphviz reads it.

    `path_or_text` is a file path or DOT text: an os.PathLike is always a path; a str is
    DOT text when it holds a "{" (every DOT graph does) and a path otherwise, so a file
    whose name holds "{" is read by passing a pathlib.Path. A file that is not UTF-8 is
    read as Latin-1, as Graphviz does.

    The whole grammar is read: strict graphs, subgraphs and clusters, node/edge/graph
    default attributes and their scoping, edge chains and edges between subgraphs, ports,
    every form of id (names, numerals, quoted strings with "+" joins and backslash line
    continuations, HTML strings), comments and "#" lines, a byte order mark, any line end.
    Nodes are numbered by first appearance, edges are "e1", "e2", ... in file order;
    parallel edges and self-loops are kept (a strict graph keeps one edge per node pair).

    A node's label is its `label` attribute (the last value given, or the default in force
    when the node appeared), else "."; an edge's modality is the value of the first of the
    `modality` attributes it has (a single str names one attribute), else "1".

    A digraph raises DirectedGraphError (a ValueError) unless directed="ignore", which
    reads each "a -> b" as an undirected edge a-b. Syntax errors raise ValueError
    "parse error: line L, column C: ..."; an unreadable file raises ValueError with the
    system's message.
    """
    if isinstance(path_or_text, os.PathLike):
        return read_dot_from_file(path_or_text, directed=directed, label=label, modality=modality)
    if not isinstance(path_or_text, str):
        raise TypeError(f"path_or_text must be a str or os.PathLike, not {type(path_or_text).__name__}")
    if "{" in path_or_text:
        return read_dot_from_text(path_or_text, directed=directed, label=label, modality=modality)
    return read_dot_from_file(path_or_text, directed=directed, label=label, modality=modality)


def read_dot_from_file(
    path: str | os.PathLike[str],
    *,
    directed: str = "error",
    label: str = "label",
    modality: str | Sequence[str] = ("weight", "label"),
) -> PyGraph:
    """read_dot of the file at `path`, whatever its name holds."""
    return _read(read_dot_file, os.fsdecode(path), directed, label, modality)


def read_dot_from_text(
    text: str,
    *,
    directed: str = "error",
    label: str = "label",
    modality: str | Sequence[str] = ("weight", "label"),
) -> PyGraph:
    """read_dot of DOT text, whatever it holds."""
    if not isinstance(text, str):
        raise TypeError(f"text must be a str, not {type(text).__name__}")
    return _read(read_dot_text, text, directed, label, modality)


def _read(reader: Callable[..., PyGraph], source: str, directed: str, label: str,
          modality: str | Sequence[str]) -> PyGraph:
    if directed not in DIRECTED_CHOICES:
        raise ValueError(f"directed must be 'error' or 'ignore', not {directed!r}")
    keys = (modality,) if isinstance(modality, str) else tuple(modality)
    try:
        return reader(source, accept_directed=directed == "ignore", label=label, modality=keys)
    except ValueError as error:
        if str(error).startswith(_DIRECTED_MESSAGE):
            raise DirectedGraphError(f'{error}; read_dot(..., directed="ignore") reads its edges as '
                                     "undirected") from None
        raise
