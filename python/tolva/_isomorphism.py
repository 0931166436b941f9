"""The exact check behind `dedup --verify`: are two graphs isomorphic with labels and
modalities matched? networkx's VF2 decides it (networkx is needed only here).

    classes = isomorphism_classes([g0, g1, g2])   # [[0, 2], [1]]: g0 and g2 are isomorphic
"""

from __future__ import annotations

from collections import Counter
from collections.abc import Sequence
from typing import Any

from tolva._tolva import PyGraph


def to_networkx(graph: PyGraph) -> Any:
    """A networkx MultiGraph of the graph: node attribute "label", edge attribute "modality"."""
    import networkx as nx

    result = nx.MultiGraph()
    result.add_nodes_from((node, {"label": label}) for node, label in graph.node_labels())
    result.add_edges_from((a, b, {"modality": modality}) for _, a, b, modality in graph.edges())
    return result


def invariants(nx_graph: Any) -> tuple[Any, ...]:
    """Quick necessary conditions for isomorphism: sizes, label and modality counts, and the
    sorted (label, degree) pairs."""
    labels = nx_graph.nodes(data="label")
    return (
        nx_graph.number_of_nodes(),
        nx_graph.number_of_edges(),
        sorted(Counter((labels[node], degree) for node, degree in nx_graph.degree()).items()),
        sorted(Counter(modality for _, _, modality in nx_graph.edges(data="modality")).items()),
    )


def isomorphic(first: Any, second: Any) -> bool:
    """Whether two networkx multigraphs (as to_networkx makes them) are isomorphic with equal
    labels on matched nodes and equal modalities on matched edges."""
    import networkx as nx
    from networkx.algorithms import isomorphism as iso

    if invariants(first) != invariants(second):
        return False
    return bool(nx.is_isomorphic(
        first, second, node_match=iso.categorical_node_match("label", None),
        edge_match=iso.categorical_multiedge_match("modality", None)))


def isomorphism_classes(graphs: Sequence[PyGraph]) -> list[list[int]]:
    """The positions of `graphs` split into classes of isomorphic graphs: each class in input
    order, the classes in order of their first member."""
    converted = [to_networkx(graph) for graph in graphs]
    classes: list[list[int]] = []
    for position, candidate in enumerate(converted):
        for members in classes:
            if isomorphic(converted[members[0]], candidate):
                members.append(position)
                break
        else:
            classes.append([position])
    return classes
