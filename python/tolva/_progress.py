"""A progress bar on standard error for the command line, and the error lines beside it.

    progress = Progress.start(count=lambda: 11021, wanted=True)
    progress.report("corpus.jsonl:7: invalid JSON: ...")   # written above the bar
    progress.advance()
    progress.close()

The bar is tqdm's, installed with the extra `tolva[progress]`. Without tqdm, or when the bar
is not wanted, every method still works and only the error lines are written; the inputs are
then not counted either (counting reads them all once more).
"""

from __future__ import annotations

import sys
TYPE_CHECKING = False  # typing is imported by type checkers only: it slows the command's start
if TYPE_CHECKING:
    from collections.abc import Callable
    from typing import Any

# Fewer graphs than this finish too soon for a bar to help.
MIN_GRAPHS_FOR_BAR = 100


class Progress:
    def __init__(self, bar: Any = None) -> None:
        self.bar = bar

    @classmethod
    def start(cls, count: Callable[[], int], wanted: bool) -> Progress:
        """A bar over `count()` graphs when one is wanted, tqdm is there and the run is long."""
        if not wanted:
            return cls()
        try:
            from tqdm import tqdm
        except ImportError:
            return cls()
        total = count()
        if total < MIN_GRAPHS_FOR_BAR:
            return cls()
        return cls(tqdm(total=total, unit="graph", file=sys.stderr, dynamic_ncols=True))

    def advance(self, graphs: int = 1) -> None:
        if self.bar is not None:
            self.bar.update(graphs)

    def report(self, line: str) -> None:
        """Writes one line to standard error without tearing the bar."""
        if self.bar is not None:
            self.bar.write(line, file=sys.stderr)
        else:
            print(line, file=sys.stderr)

    def close(self) -> None:
        if self.bar is not None:
            self.bar.close()
            self.bar = None
