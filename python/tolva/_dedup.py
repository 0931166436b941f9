"""Grouping graphs by equal texts (keys or canonical strings) for `tolva dedup`, with the
optional exact check that splits a group whose graphs are not all isomorphic.

    grouper = Grouper(verify=True)
    for name, graph in named_graphs:
        grouper.add(tolva.key(graph), name, graph)
    report = grouper.report()     # groups of two or more, in order of first appearance
"""

from __future__ import annotations

from tolva._tolva import PyGraph


class DedupReport:
    """`groups`: (text, names) of every group of two or more graphs, in order of first
    appearance; a group that verification split appears once per isomorphism class, same
    text. `distinct`: distinct texts, plus one for every class that verification split off.
    `split`: how many classes verification split off groups of equal texts (false merges)."""

    __slots__ = ("groups", "graphs", "distinct", "split")

    def __init__(self, groups: list[tuple[str, list[str]]], graphs: int, distinct: int, split: int = 0) -> None:
        self.groups = groups
        self.graphs = graphs
        self.distinct = distinct
        self.split = split


class Grouper:
    def __init__(self, verify: bool = False) -> None:
        self.verify = verify
        self.names_of: dict[str, list[str]] = {}
        self.graphs_of: dict[str, list[PyGraph]] = {}
        self.graphs = 0

    def add(self, text: str, name: str, graph: PyGraph | None) -> None:
        """`graph` may be None unless the groups are verified."""
        self.names_of.setdefault(text, []).append(name)
        if self.verify:
            assert graph is not None, "verifying groups needs every graph"
            self.graphs_of.setdefault(text, []).append(graph)
        self.graphs += 1

    def report(self) -> DedupReport:
        groups: list[tuple[str, list[str]]] = []
        split = 0
        for text, names in self.names_of.items():
            if len(names) < 2:
                continue
            classes = verified_classes(self.graphs_of[text]) if self.verify else [list(range(len(names)))]
            split += len(classes) - 1
            groups += [(text, [names[i] for i in members]) for members in classes if len(members) > 1]
        return DedupReport(groups, self.graphs, len(self.names_of) + split, split)


def verified_classes(graphs: list[PyGraph]) -> list[list[int]]:
    """The positions of graphs that share a text, split into isomorphism classes (exact check,
    networkx)."""
    from tolva._isomorphism import isomorphism_classes

    return isomorphism_classes(graphs)
