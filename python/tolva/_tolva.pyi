"""Type stubs for the native module tolva._tolva."""

from typing import Sequence, final

__all__: list[str]

class InternalError(BaseException):
    """An unexpected fault inside tolva's native code (never raised for bad input)."""

@final
class PyGraph:
    """An immutable labelled multigraph, built by graph_from_edges, parse_dot or parse_dot_string."""

    @property
    def node_count(self) -> int: ...
    @property
    def edge_count(self) -> int: ...
    def node_labels(self) -> list[tuple[str, str]]:
        """(id, label) of every node, in creation order."""
    def edges(self) -> list[tuple[str, str, str, str]]:
        """(edge id, first id, second id, modality) of every edge, in creation order."""

def graph_from_edges(
    nodes: Sequence[tuple[str, str]], edges: Sequence[tuple[str, str, str]]
) -> PyGraph: ...
