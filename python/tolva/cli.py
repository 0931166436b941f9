"""The `tolva` command: canonical strings, node orders and duplicate groups of graphs.

    tolva examples/benzene.dot              # NAME<TAB>CANONICAL_STRING, one line per graph
    tolva --order --json corpus.jsonl       # JSON Lines {"name", "cgraph", "order"}
    tolva dedup corpus.jsonl                # groups of graphs with equal keys, then a count
    tolva dedup --verify corpus.jsonl       # ... each group checked to hold isomorphic graphs only

Exit status: 0 when every graph succeeded, 1 when any failed (each failure is written to
standard error as "NAME: message" and the run goes on), 2 for usage errors.
"""

from __future__ import annotations

import argparse
import json
import os
import sys
from collections.abc import Sequence
from dataclasses import dataclass
from typing import Any

from tolva._api import key
from tolva._dedup import DedupReport, Grouper
from tolva._inputs import DotReader, count_graphs, iter_entries
from tolva._progress import Progress
from tolva._tolva import InternalError, PyGraph, canonical_node_order_py, to_cgraph_py

DEDUP_COMMAND = "dedup"
TRACE_SWITCH = "TOLVA_TRACE"
TRACE_MAGNET_SWITCH = "TOLVA_TRACE_MAGNET"

EXIT_STATUS_HELP = (
    "Exit status: 0 when every graph succeeded, 1 when any failed (reported on standard error as "
    "'NAME: message'; the others are still printed), 2 for usage errors."
)
INPUTS_HELP = (
    "DOT files, '-' for DOT text on standard input, or JSON Lines corpora (*.jsonl, one graph "
    'a line: {"name", "nodes": [[id, label], ...], "edges": [[id1, id2, modality], ...]})'
)


@dataclass(frozen=True)
class Canonizer:
    """The library's options, as the command line sets them."""

    candidate_rule: str | None
    allow_hashes: bool
    compress: bool
    compact: bool

    def cgraph(self, graph: PyGraph) -> str:
        flush_before_trace()
        return str(to_cgraph_py(graph, self.candidate_rule, None, self.allow_hashes, self.compress, self.compact))

    def order(self, graph: PyGraph) -> list[str]:
        flush_before_trace()
        return canonical_node_order_py(graph, self.candidate_rule, None, self.allow_hashes, self.compact)

    def key(self, graph: PyGraph) -> str:
        flush_before_trace()
        return key(graph, compact=self.compact, allow_hashes=self.allow_hashes)


def flush_before_trace() -> None:
    # Trace lines go straight to file descriptor 1; flushing first keeps them after
    # the lines already printed.
    if os.environ.get(TRACE_SWITCH) == "1":
        sys.stdout.flush()


def build_parser(dedup: bool) -> argparse.ArgumentParser:
    if dedup:
        parser = argparse.ArgumentParser(
            prog="tolva dedup",
            description="Group graphs whose keys (whole graph, every component) are equal; print "
            "each group of two or more (names, tab-separated, one group a line), then a count line.",
            epilog=EXIT_STATUS_HELP,
        )
    else:
        parser = argparse.ArgumentParser(
            prog="tolva",
            description="Print the canonical string of every graph: NAME<TAB>STRING, one line a graph. "
            "'tolva dedup INPUT...' (dedup as the first word) groups graphs with equal strings instead.",
            epilog=EXIT_STATUS_HELP,
        )
    parser.add_argument("inputs", nargs="+", metavar="INPUT", help=INPUTS_HELP)
    if not dedup:
        parser.add_argument("--order", action="store_true",
                            help="print the canonical node order (space-separated ids) instead of the string")
        parser.add_argument("--group", action="store_true", help="the same as 'tolva dedup'")
    parser.add_argument("--json", action="store_true", help="write JSON Lines")
    parser.add_argument("--candidate-rule", metavar="RULE", help="candidate root rule (default: $degree)")
    parser.add_argument("--no-hashes", action="store_true", help="write magnets as text, not MD5 digests")
    parser.add_argument("--no-compress", action="store_true", help="keep brace contents, no $n tokens")
    parser.add_argument("--compact", action="store_true", help="split many-parent nodes in compact mode")
    parser.add_argument("--trace", action="store_true", help="write the rewrite trace to standard output")
    parser.add_argument("--trace-magnet", action="store_true", help="--trace, plus a line per magnet")
    parser.add_argument("-q", "--quiet", action="store_true", help="no progress bar")
    parser.add_argument("--dot-reader", choices=("full", "line"), default="full",
                        help="read DOT with the complete DOT grammar (full, the default) or the exact "
                        "line-oriented reader of parse_dot (line)")
    parser.add_argument("--directed", choices=("error", "ignore"), default="error",
                        help="a digraph is reported as a failure (error, the default) or read with its "
                        "edges as undirected (ignore); full reader only")
    if dedup:
        add_dedup_arguments(parser)
    return parser


def add_dedup_arguments(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("--string", action="store_true",
                        help="group by the canonical string of the root component instead of the key")
    parser.add_argument("--verify", action="store_true",
                        help="split every group whose graphs are not all isomorphic (exact check, networkx)")
    parser.add_argument("--dask", metavar="SCHEDULER", help="run on Dask: a scheduler address, or local[:N] for "
                        "a local cluster of N worker processes (JSON Lines inputs; needs tolva[dask])")


def main(argv: Sequence[str] | None = None) -> int:
    """Runs the command line on `argv` (default: sys.argv[1:]) and returns the exit status."""
    args = list(sys.argv[1:] if argv is None else argv)
    dedup = bool(args) and args[0] == DEDUP_COMMAND
    parser = build_parser(dedup)
    options = parser.parse_args(args[1:] if dedup else args)
    if not dedup and options.group:
        if options.order:
            parser.error("--order cannot be combined with --group")
        dedup = True
    if getattr(options, "dask", None):
        if options.string or not all(path.lower().endswith(".jsonl") for path in options.inputs):
            parser.error("--dask groups JSON Lines corpora by key (no --string, no DOT inputs)")
        return run_on_dask(options)
    switch_trace(options.trace or options.trace_magnet, options.trace_magnet)
    canonizer = Canonizer(options.candidate_rule, not options.no_hashes, not options.no_compress, options.compact)
    writer: Writer = (DedupWriter(options.json, getattr(options, "string", False), getattr(options, "verify", False))
                      if dedup else LineWriter(options.json, getattr(options, "order", False)))
    try:
        dot = DotReader(line=options.dot_reader == "line", directed=options.directed)
        return run(options.inputs, canonizer, writer, show_bar(options.quiet, dedup), dot)
    except KeyboardInterrupt:
        return 130


def run_on_dask(options: argparse.Namespace) -> int:
    import tolva.dask

    failures: list[str] = []

    def report_failure(line: str) -> None:
        failures.append(line)
        print(line, file=sys.stderr)

    with tolva.dask.client_for(options.dask):
        report = tolva.dask.dedup_corpora(options.inputs, verify=options.verify, compact=options.compact,
                                          allow_hashes=not options.no_hashes, report_failure=report_failure)
    write_report(report, options.json, False, options.verify)
    return 1 if failures else 0


def switch_trace(trace: bool, magnet: bool) -> None:
    if trace:
        os.environ[TRACE_SWITCH] = "1"
    if magnet:
        os.environ[TRACE_MAGNET_SWITCH] = "1"


def show_bar(quiet: bool, dedup: bool) -> bool:
    # Per-graph lines (and trace lines) on the same terminal would tear the bar.
    if quiet or not sys.stderr.isatty():
        return False
    return not sys.stdout.isatty() or (dedup and os.environ.get(TRACE_SWITCH) != "1")


def run(inputs: list[str], canonizer: Canonizer, writer: Writer, bar: bool, dot: DotReader = DotReader()) -> int:
    progress = Progress.start(lambda: count_graphs(inputs), bar)
    failed = False
    try:
        for entry in iter_entries(inputs, dot):
            progress.advance()
            try:
                if entry.graph is None:
                    raise ValueError(entry.error)
                writer.add(entry.name, entry.graph, canonizer)
            except (ValueError, InternalError) as error:
                progress.report(f"{entry.name}: {error}")
                failed = True
        writer.finish()
        sys.stdout.flush()
    except BrokenPipeError:
        # The reader has gone (`tolva ... | head`): stop quietly, and keep the
        # interpreter's final flush from failing again.
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, sys.stdout.fileno())
        os.close(devnull)
    finally:
        progress.close()
    return 1 if failed else 0


class Writer:
    def add(self, name: str, graph: PyGraph, canonizer: Canonizer) -> None:
        raise NotImplementedError

    def finish(self) -> None:
        pass


def write_json(record: dict[str, Any]) -> None:
    sys.stdout.write(json.dumps(record, ensure_ascii=False) + "\n")


class LineWriter(Writer):
    """One line per graph, written as soon as the graph is done."""

    def __init__(self, as_json: bool, order: bool) -> None:
        self.as_json = as_json
        self.order = order

    def add(self, name: str, graph: PyGraph, canonizer: Canonizer) -> None:
        if self.as_json:
            record: dict[str, Any] = {"name": name, "cgraph": canonizer.cgraph(graph)}
            if self.order:
                record["order"] = canonizer.order(graph)
            write_json(record)
        elif self.order:
            sys.stdout.write(f"{name}\t{' '.join(canonizer.order(graph))}\n")
        else:
            sys.stdout.write(f"{name}\t{canonizer.cgraph(graph)}\n")


class DedupWriter(Writer):
    """Collects the names of each key (or canonical string); at the end writes every group of
    two or more, in order of first appearance, and the count line."""

    def __init__(self, as_json: bool, by_string: bool = False, verify: bool = False) -> None:
        self.as_json = as_json
        self.by_string = by_string
        self.grouper = Grouper(verify)

    def add(self, name: str, graph: PyGraph, canonizer: Canonizer) -> None:
        text = canonizer.cgraph(graph) if self.by_string else canonizer.key(graph)
        self.grouper.add(text, name, graph)

    def finish(self) -> None:
        write_report(self.grouper.report(), self.as_json, self.by_string, self.grouper.verify)


def write_report(report: DedupReport, as_json: bool, by_string: bool, verify: bool) -> None:
    """Every group of two or more (names, tab-separated, or JSON), then the count line."""
    field = "cgraph" if by_string else "key"
    for text, names in report.groups:
        if as_json:
            write_json({field: text, "names": names})
        else:
            sys.stdout.write("\t".join(names) + "\n")
    grouped = sum(len(names) for _, names in report.groups)
    verified = {"split": report.split} if verify else {}
    if as_json:
        write_json({"graphs": report.graphs, "distinct": report.distinct, "groups": len(report.groups),
                    "grouped": grouped, **verified})
    else:
        what = "canonical strings" if by_string else "keys"
        check = f"; --verify split {counted(report.split, 'false merge')}" if verified else ""
        sys.stdout.write(f"{counted(len(report.groups), 'group')} of duplicates ({counted(grouped, 'graph')}) "
                         f"among {counted(report.graphs, 'graph')}, {report.distinct} distinct {what}{check}\n")


def counted(number: int, noun: str) -> str:
    return f"{number} {noun}" if number == 1 else f"{number} {noun}s"
