"""The `tolva` command: canonical strings, node orders and duplicate groups of graphs.

    tolva examples/benzene.dot              # NAME<TAB>CANONICAL_STRING, one line per graph
    tolva --order --json corpus.jsonl       # JSON Lines {"name", "cgraph", "order"}
    tolva dedup corpus.jsonl                # groups of graphs with equal keys, then a count
    tolva dedup --verify corpus.jsonl       # ... each group checked to hold isomorphic graphs only

Exit status: 0 when every graph succeeded, 1 when any failed (each failure is written to
standard error as "NAME: message" and the run goes on) or the output could not be written,
2 for usage errors.
"""

from __future__ import annotations

import argparse
import contextlib
import os
import sys
from collections.abc import Iterator, Sequence

TYPE_CHECKING = False  # typing is imported by type checkers only: it slows the command's start
if TYPE_CHECKING:
    from typing import Any

from tolva._batches import BatchLimits, Behind, Canonizer, InTurn, batched, failure_text, read_ahead
from tolva._corpus_chunks import CorpusChunk
from tolva._inputs import FORMATS, STDIN, DotReader, Entry, count_graphs, format_of, iter_entries
from tolva._output import Output, OutputError, ensure_stdout_fd, trace_to_stderr
from tolva._progress import Progress
from tolva._tolva import graph_from_edges, to_cgraph_py
from tolva._writers import DedupWriter, LineWriter, Results, Writer, plain, write_report
from tolva.jsonl import JsonlError, graph_of_line

DEDUP_COMMAND = "dedup"
TRACE_SWITCH = "TOLVA_TRACE"
TRACE_MAGNET_SWITCH = "TOLVA_TRACE_MAGNET"
# Beyond this many warnings about one input, only their number is given.
WARNINGS_SHOWN = 10

EXIT_STATUS_HELP = (
    "Exit status: 0 when every graph succeeded, 1 when any failed (reported on standard error as "
    "'NAME: message'; the others are still printed) or the output could not be written, 2 for "
    "usage errors. In plain output a backslash, tab, line feed, carriage return and other control "
    r"characters in a name, id or string are written \\, \t, \n, \r, \xNN (U+2028, U+2029 as \uNNNN), "
    r"and a space in an --order id as \x20; --json writes every string exactly."
)
INPUTS_HELP = (
    "graph files: DOT (one statement a line), JSON Lines corpora (*.jsonl, *.ndjson: one graph "
    'a line, {"name", "nodes": [[id, label], ...], "edges": [[id1, id2, modality], ...]}), SMILES '
    "(*.smi, *.smiles: 'SMILES NAME' lines) and SDF/MOL files (*.sdf, *.mol; both need RDKit); "
    "*.gz, *.xz, *.zst are decompressed. '-' reads standard input: JSON Lines when it starts with "
    "'{', else DOT"
)
RULE_HELP = ("candidate root rule (default: $degree). Put it in single quotes in the shell "
             "(--candidate-rule '$degree'): unquoted or in double quotes the shell replaces $degree "
             "with nothing")


def package_version() -> str:
    from importlib import metadata  # slow to import: only when the version is asked for

    try:
        return metadata.version("tolva")
    except metadata.PackageNotFoundError:
        return "(version unknown: not installed as a package)"


class ShowVersion(argparse.Action):
    """--version, looked up only when given."""

    def __init__(self, option_strings: Sequence[str], dest: str = argparse.SUPPRESS,
                 default: Any = argparse.SUPPRESS, help: str = "show program's version number and exit") -> None:
        super().__init__(option_strings, dest=dest, default=default, nargs=0, help=help)

    def __call__(self, parser: argparse.ArgumentParser, namespace: argparse.Namespace, values: Any,
                 option_string: str | None = None) -> None:
        print(f"tolva {package_version()}")
        parser.exit()


def terminal_columns() -> int:
    """The width shutil.get_terminal_size() gives: $COLUMNS, else standard output's terminal,
    else 80."""
    try:
        columns = int(os.environ["COLUMNS"])
    except (KeyError, ValueError):
        columns = 0
    if columns <= 0 and sys.__stdout__ is not None:
        try:
            columns = os.get_terminal_size(sys.__stdout__.fileno()).columns
        except (AttributeError, ValueError, OSError):
            columns = 0
    return columns if columns > 0 else 80


class HelpFormatter(argparse.HelpFormatter):
    """argparse's own, told the width it would ask shutil for: the parser makes one per
    argument, and shutil's import brings the decompressors with it, a few milliseconds of
    every start."""

    def __init__(self, prog: str) -> None:
        super().__init__(prog, width=terminal_columns() - 2)


def available_cores() -> int:
    """The processors this process may run on (its CPU affinity), which may be fewer than the
    machine has."""
    try:
        return len(os.sched_getaffinity(0))
    except (AttributeError, OSError):
        return os.cpu_count() or 1


def positive_int(text: str) -> int:
    try:
        value = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"expected a positive integer, got {text!r}") from None
    if value < 1:
        raise argparse.ArgumentTypeError(f"expected a positive integer, got {text!r}")
    return value


def build_parser(dedup: bool) -> argparse.ArgumentParser:
    if dedup:
        parser = argparse.ArgumentParser(
            prog="tolva dedup",
            description="Group graphs whose keys (whole graph, every component) are equal; print "
            "each group of two or more (names, tab-separated, one group a line), then a count line.",
            epilog=EXIT_STATUS_HELP,
            formatter_class=HelpFormatter,
        )
    else:
        parser = argparse.ArgumentParser(
            prog="tolva",
            description="Print the canonical string of every graph: NAME<TAB>STRING, one line a graph. "
            "'tolva dedup INPUT...' (dedup as the first word) groups graphs with equal keys instead.",
            epilog=EXIT_STATUS_HELP,
            formatter_class=HelpFormatter,
        )
    parser.add_argument("inputs", nargs="+", metavar="INPUT", help=INPUTS_HELP)
    parser.add_argument("--version", action=ShowVersion)
    if not dedup:
        parser.add_argument("--order", action="store_true",
                            help="print the canonical node order (space-separated ids) instead of the string")
        parser.add_argument("--group", action="store_true", help="the same as 'tolva dedup'")
    parser.add_argument("--json", action="store_true", help="write JSON Lines")
    parser.add_argument("--format", choices=FORMATS,
                        help="read every input in this format (default: by file name)")
    parser.add_argument("-o", "--output", metavar="FILE", help="write to FILE instead of standard output ('-')")
    parser.add_argument("-j", "--jobs", type=positive_int, metavar="N", default=available_cores(),
                        help="threads computing (default: the processors this process may use, "
                        f"here {available_cores()}); the output is the same for every N")
    parser.add_argument("--strict", action="store_true",
                        help="with --dot-reader line, a DOT line that is skipped or read unexpectedly "
                        "fails its graph instead of giving a warning")
    parser.add_argument("--candidate-rule", metavar="RULE", help=RULE_HELP)
    parser.add_argument("--no-hashes", action="store_true", help="write magnets as text, not MD5 digests")
    parser.add_argument("--no-compress", action="store_true", help="keep brace contents, no $n tokens")
    parser.add_argument("--compact", action="store_true", help="split many-parent nodes in compact mode")
    parser.add_argument("--trace", action="store_true",
                        help="write the rewrite trace to standard output (to standard error with --json)")
    parser.add_argument("--trace-magnet", action="store_true", help="--trace, plus a line per magnet")
    parser.add_argument("-q", "--quiet", action="store_true", help="no progress bar")
    parser.add_argument("--dot-reader", choices=("full", "line"), default="full",
                        help="read DOT with the complete DOT grammar (full, the default) or the exact "
                        "line-oriented reader of parse_dot (line), which warns about every line it skips "
                        "or reads in a way DOT would not")
    parser.add_argument("--directed", choices=("error", "ignore"), default="error",
                        help="a digraph is reported as a failure (error, the default) or read with its "
                        "edges as undirected (ignore); full reader only")
    if dedup:
        add_dedup_arguments(parser)
    else:
        # --group is dedup with its defaults
        parser.set_defaults(string=False, verify=False, dask=None)
    return parser


def add_dedup_arguments(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("--string", action="store_true",
                        help="group by the canonical string of the root component instead of the key")
    parser.add_argument("--verify", action="store_true",
                        help="split every group whose graphs are not all isomorphic (exact check, networkx)")
    parser.add_argument("--dask", metavar="SCHEDULER", help="run on Dask: a scheduler address, or local[:N] for "
                        "a local cluster of N worker processes (JSON Lines inputs; needs tolva[dask])")


def check_candidate_rule(parser: argparse.ArgumentParser, rule: str | None) -> None:
    """Refuses a rule the library does not know before any graph is read: it would fail every graph."""
    if rule is None:
        return
    try:
        to_cgraph_py(graph_from_edges([("a", ".")], []), rule, None, None, None, None)
    except ValueError as error:
        hint = "" if "$" in rule else (" (did the shell replace a $name? put the rule in single quotes: "
                                       "--candidate-rule '$degree')")
        parser.error(f"argument --candidate-rule: {error}{hint}")


def check_output(parser: argparse.ArgumentParser, output: str | None, inputs: list[str]) -> str | None:
    """The output file, None for standard output ("-o -" too); refuses to write over an input,
    which would be emptied before it is read."""
    if output is None or output == "-":
        return None
    for name in inputs:
        with contextlib.suppress(OSError):
            if name != "-" and os.path.samefile(name, output):
                parser.error(f"argument -o/--output: {output} is also an input")
    return output


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
    check_candidate_rule(parser, options.candidate_rule)
    options.output = check_output(parser, options.output, options.inputs)
    if options.dask:
        if options.string or not all(path.lower().endswith(".jsonl") for path in options.inputs):
            parser.error("--dask groups JSON Lines corpora by key (no --string, no DOT inputs)")
        return run_on_dask(options)
    switch_trace(options.trace or options.trace_magnet, options.trace_magnet)
    # The library reads the switch itself, so a caller's TOLVA_TRACE=1 counts as --trace.
    trace = os.environ.get(TRACE_SWITCH) == "1"
    try:
        if not ensure_stdout_fd() and options.output is None:
            raise OutputError("standard output is closed")
        with output_for(options.output, trace and options.json) as out:
            writer: Writer = (DedupWriter(out, options.json, options.string, options.verify) if dedup
                              else LineWriter(out, options.json, getattr(options, "order", False)))
            canonizer = Canonizer(options.candidate_rule, not options.no_hashes, not options.no_compress,
                                  options.compact, options.jobs)
            run = Run(out, canonizer, writer, options.strict, trace and not options.json and options.output is None)
            bar = show_bar(options.quiet, out.isatty(), dedup, trace)
            dot = DotReader(line=options.dot_reader == "line", directed=options.directed)
            return run.all(options.inputs, options.format, dot, bar)
    except OutputError as error:
        print(f"tolva: cannot write output: {error}", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        return 130


def run_on_dask(options: argparse.Namespace) -> int:
    import tolva.dask

    failures: list[str] = []

    def report_failure(line: str) -> None:
        failures.append(line)
        print(line, file=sys.stderr)

    try:
        with tolva.dask.client_for(options.dask):
            report = tolva.dask.dedup_corpora(options.inputs, verify=options.verify, compact=options.compact,
                                              allow_hashes=not options.no_hashes, report_failure=report_failure)
        if not ensure_stdout_fd() and options.output is None:
            raise OutputError("standard output is closed")
        with Output.open(options.output) as out:
            write_report(out, report, options.json, False, options.verify)
            out.flush()
    except BrokenPipeError:
        pass
    except OutputError as error:
        print(f"tolva: cannot write output: {error}", file=sys.stderr)
        return 1
    return 1 if failures else 0


@contextlib.contextmanager
def output_for(path: str | None, trace_aside: bool) -> Iterator[Output]:
    """The output; with `trace_aside`, the library's trace lines go to standard error meanwhile."""
    if not trace_aside:
        with Output.open(path) as out:
            yield out
        return
    with trace_to_stderr() as stdout_fd, Output.open(path, fd=stdout_fd) as out:
        yield out


def switch_trace(trace: bool, magnet: bool) -> None:
    if trace:
        os.environ[TRACE_SWITCH] = "1"
    if magnet:
        os.environ[TRACE_MAGNET_SWITCH] = "1"


def show_bar(quiet: bool, output_on_terminal: bool, dedup: bool, trace: bool) -> bool:
    # Lines written on the bar's terminal, trace lines included, would tear it; dedup writes
    # only after the bar is closed.
    if quiet or trace or not sys.stderr.isatty():
        return False
    return not output_on_terminal or dedup


class Run:
    """One run over the inputs: reads, computes in batches, reports and writes in input order."""

    def __init__(self, out: Output, canonizer: Canonizer, writer: Writer, strict: bool,
                 trace_on_output: bool) -> None:
        self.out = out
        self.canonizer = canonizer
        self.writer = writer
        self.strict = strict
        # Trace lines share the output's descriptor: flush before each graph so they come
        # after the lines already written, and compute one graph at a time so that each
        # graph's trace comes right before its line.
        self.trace_on_output = trace_on_output
        self.one_at_a_time = os.environ.get(TRACE_SWITCH) == "1"
        # JSON Lines go from bytes to what the writer needs in native code, unless lines must
        # come one at a time (the trace) or the writer needs more (dedup --verify, --string).
        self.native_product = None if self.one_at_a_time else writer.native_product
        self.failed = False
        self.progress = Progress()

    def all(self, inputs: list[str], chosen_format: str | None, dot: DotReader, bar: bool) -> int:
        self.progress = Progress.start(lambda: count_graphs(inputs, chosen_format), bar)
        limits = BatchLimits(graphs=1) if self.one_at_a_time else BatchLimits()
        batches = batched(iter_entries(inputs, chosen_format, dot, chunks=self.native_product is not None), limits)
        # With threads to spare, reading and writing run beside the batch calls; with the trace
        # on the output, lines must be written before the next graph's trace, so in turn.
        # JSON Lines read natively go through one native stream instead, which reads and writes
        # on this thread while its workers compute: Python threads would hold up the workers
        # (measured: 6 % of a run).
        native_only = self.native_product is not None and all(
            format_of(path, chosen_format) == "jsonl" and path != STDIN for path in inputs)
        streamed = self.canonizer.workers > 1 and native_only
        threaded = self.canonizer.workers > 1 and not native_only
        if threaded:
            batches = read_ahead(batches)
        try:
            if streamed:
                assert self.native_product is not None
                self.canonizer.stream_native_outputs(batches, self.native_product, self.emit_streamed)
            else:
                emitter = Behind if threaded and not self.trace_on_output else InTurn
                with emitter(self.emit) as emitting:
                    for batch in batches:
                        emitting.put((batch, self.compute(batch)))
                    emitting.finish()
            self.progress.close()
            self.writer.finish()
            self.out.flush()
        except BrokenPipeError:
            # The reader has gone (`tolva ... | head`): stop quietly.
            self.out.abandon()
        except OutputError:
            self.out.abandon()
            raise
        finally:
            self.progress.close()
            batches.close()  # stops the reader thread, if any
        return 1 if self.failed else 0

    def usable(self, entry: Entry) -> bool:
        return entry.graph is not None and not (self.strict and entry.warnings)

    def compute(self, batch: list[Entry] | CorpusChunk) -> list[Any] | None:
        """For entries, what the writer needs ("cgraph", "order", "key": the result or the
        exception) of each usable entry, in order; for a chunk, outputs_of_jsonl's items, or
        None when memory ran short for the chunk as a whole."""
        if isinstance(batch, CorpusChunk):
            assert self.native_product is not None
            try:
                return self.canonizer.native_outputs(batch.data, self.native_product)
            except MemoryError:
                return None
        return self.compute_entries(batch)

    def compute_entries(self, entries: list[Entry]) -> list[dict[str, Any]]:
        graphs = [entry.graph for entry in entries if self.usable(entry) and entry.graph is not None]
        if not graphs:
            return []
        if self.trace_on_output:
            self.out.flush()
        columns = {kind: self.canonizer.compute(kind, graphs) for kind in sorted(self.writer.needs)}
        return [{kind: column[i] for kind, column in columns.items()} for i in range(len(graphs))]

    def emit_streamed(self, batch: list[Entry] | CorpusChunk, items: list[Any] | None) -> None:
        """emit() for the native stream, which computes chunks only."""
        self.emit((batch, items if isinstance(batch, CorpusChunk) else self.compute(batch)))

    def emit(self, done: tuple[list[Entry] | CorpusChunk, list[Any] | None]) -> None:
        """Reports and writes the graphs of one batch, in input order."""
        batch, computed = done
        if isinstance(batch, CorpusChunk):
            self.emit_chunk(batch, computed)
            return
        results = iter(computed or ())
        for entry in batch:
            self.progress.advance()
            self.warn(entry)
            if entry.graph is None:
                self.fail(entry.name, entry.error or "")
                continue
            if not self.usable(entry):
                self.failed = True
                continue
            self.write_results(entry, next(results))

    def write_results(self, entry: Entry, values: dict[str, Any]) -> None:
        error = next((value for value in values.values() if isinstance(value, BaseException)), None)
        if error is not None:
            self.fail(entry.name, failure_text(error))
            return
        assert entry.graph is not None
        self.writer.add(entry.name, entry.graph, Results(**values))

    def emit_chunk(self, chunk: CorpusChunk, items: list[Any] | None) -> None:
        """Writes the output lines of a chunk, or hands its keys to the writer; reports its
        failed graphs; reads and computes here each line the native reader left (with too
        little memory for the whole chunk, every line)."""
        if items is None:
            items = [(index, line) for index, line in enumerate(chunk.data.split(b"\n")) if line.strip()]
        try:
            # Mostly every item is an output line: one join then, not a step per line.
            text = "".join(items)
        except TypeError:
            pass
        else:
            self.out.write(text)
            self.progress.advance(len(items))
            return
        lines: list[str] = []
        for item in items:
            if type(item) is str:
                lines.append(item)
                continue
            self.out.write("".join(lines))
            lines = []
            first, second = item
            if type(first) is int:
                self.emit_line(chunk.path, chunk.first_line + first, second)
            elif isinstance(second, BaseException):
                self.fail(first, failure_text(second))
            else:
                self.writer.add(first, None, Results(key=second))
        self.out.write("".join(lines))
        self.progress.advance(len(items))

    def emit_line(self, path: str, number: int, raw: bytes) -> None:
        """One corpus line, read by the full JSON reader and computed on its own."""
        try:
            name, graph = graph_of_line(raw, path, number)
        except JsonlError as error:
            self.fail(f"{error.path}:{error.line}", error.reason)
            return
        except MemoryError:
            self.fail(f"{path}:{number}", "out of memory")
            return
        entry = Entry(name, graph=graph)
        self.write_results(entry, self.compute_entries([entry])[0])

    def warn(self, entry: Entry) -> None:
        kind = "error" if self.strict else "warning"
        for line, message in entry.warnings[:WARNINGS_SHOWN]:
            self.progress.report(f"{plain(entry.name)}:{line}: {kind}: {message}")
        hidden = len(entry.warnings) - WARNINGS_SHOWN
        if hidden > 0:
            self.progress.report(f"{plain(entry.name)}: {hidden} more {kind}{'s' if hidden > 1 else ''} not shown")

    def fail(self, name: str, message: str) -> None:
        self.progress.report(f"{plain(name)}: {message}")
        self.failed = True
