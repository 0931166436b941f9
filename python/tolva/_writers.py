"""The command line's output formats: a line per graph (plain or JSON), or duplicate groups.

    writer = LineWriter(out, as_json=False, order=False)
    writer.add("g.dot", graph, Results(cgraph="(C:1, O:1)C"))     # g.dot<TAB>(C:1, O:1)C
    writer.finish()

Plain lines separate their fields with tabs (and --order ids with spaces), so a name, id or
string is written escaped: a backslash as \\\\, tab, line feed and carriage return as \\t, \\n,
\\r, other control characters and the Unicode line breaks U+0085, U+2028, U+2029 as \\xNN or
\\uNNNN, and in --order ids a space as \\x20. Nothing else changes, so text without these
characters is written as it is. JSON output carries every string exactly.
"""

from __future__ import annotations


TYPE_CHECKING = False  # typing is imported by type checkers only: it slows the command's start
if TYPE_CHECKING:
    from typing import Any, Literal

    Product = Literal["cgraph", "order", "json", "json_order", "key"]

from tolva._dedup import DedupReport, Grouper
from tolva._output import Output
from tolva._tolva import PyGraph

ESCAPES = {code: f"\\x{code:02x}" for code in [*range(0x20), 0x7F, 0x85]}
ESCAPES.update({ord("\\"): "\\\\", ord("\t"): "\\t", ord("\n"): "\\n", ord("\r"): "\\r",
                0x2028: "\\u2028", 0x2029: "\\u2029"})
ID_ESCAPES = {**ESCAPES, ord(" "): "\\x20"}


def plain(text: str) -> str:
    """`text` escaped for a tab-separated plain line."""
    # Every character escaped here but the backslash is non-printable, and translating a long
    # canonical string character by character is slow: most texts need nothing.
    if text.isprintable() and "\\" not in text:
        return text
    return text.translate(ESCAPES)


def plain_id(text: str) -> str:
    """A node id escaped for a space-separated --order list."""
    if text.isprintable() and "\\" not in text and " " not in text:
        return text
    return text.translate(ID_ESCAPES)


# JSON allows these raw inside strings, but line readers such as Python's splitlines() end a
# line at them; escaped, each JSON line is one line for every reader.
JSON_LINE_BREAKS = {0x85: "\\u0085", 0x2028: "\\u2028", 0x2029: "\\u2029"}


def json_line(record: dict[str, Any]) -> str:
    import json  # only here: plain output, the default, does not need it at start

    return json.dumps(record, ensure_ascii=False).translate(JSON_LINE_BREAKS) + "\n"


class Results:
    """What was computed for one graph: the results its writer needs, the others None."""

    __slots__ = ("cgraph", "order", "key")

    def __init__(self, cgraph: str | None = None, order: list[str] | None = None, key: str | None = None) -> None:
        self.cgraph = cgraph
        self.order = order
        self.key = key


class Writer:
    """Takes each graph's results in input order; `needs` names the results it uses
    ("cgraph", "order", "key")."""

    needs: frozenset[str] = frozenset({"cgraph"})
    # What native code can make of each graph of a JSON Lines input for this writer
    # (outputs_of_jsonl): "cgraph", "order", "json" or "json_order", the whole line, written as
    # it comes; "key", handed to add() without its graph. None: the writer needs the graphs.
    native_product: Product | None = None

    def add(self, name: str, graph: PyGraph | None, results: Results) -> None:
        raise NotImplementedError

    def finish(self) -> None:
        pass


class LineWriter(Writer):
    """One line per graph, written as soon as the graph is done."""

    def __init__(self, out: Output, as_json: bool, order: bool) -> None:
        self.out = out
        self.as_json = as_json
        self.needs = frozenset({"cgraph", "order"} if as_json and order else {"order"} if order else {"cgraph"})
        self.native_product: Product | None = ("json_order" if order else "json") if as_json else (
            "order" if order else "cgraph")

    def add(self, name: str, graph: PyGraph | None, results: Results) -> None:
        if self.as_json:
            record: dict[str, Any] = {"name": name, "cgraph": results.cgraph}
            if results.order is not None:
                record["order"] = results.order
            self.out.write(json_line(record))
        elif results.order is not None:
            self.out.write(f"{plain(name)}\t{' '.join(map(plain_id, results.order))}\n")
        else:
            self.out.write(f"{plain(name)}\t{plain(results.cgraph or '')}\n")


class DedupWriter(Writer):
    """Collects the names of each key (or canonical string); at the end writes every group of
    two or more, in order of first appearance, and the count line."""

    def __init__(self, out: Output, as_json: bool, by_string: bool = False, verify: bool = False) -> None:
        self.out = out
        self.as_json = as_json
        self.by_string = by_string
        self.needs = frozenset({"cgraph" if by_string else "key"})
        self.grouper = Grouper(verify)
        # Verifying needs every graph itself.
        self.native_product = None if by_string or verify else "key"

    def add(self, name: str, graph: PyGraph | None, results: Results) -> None:
        self.grouper.add((results.cgraph if self.by_string else results.key) or "", name, graph)

    def finish(self) -> None:
        write_report(self.out, self.grouper.report(), self.as_json, self.by_string, self.grouper.verify)


def write_report(out: Output, report: DedupReport, as_json: bool, by_string: bool, verify: bool) -> None:
    """Every group of two or more (names, tab-separated, or JSON), then the count line."""
    field = "cgraph" if by_string else "key"
    for text, names in report.groups:
        if as_json:
            out.write(json_line({field: text, "names": names}))
        else:
            out.write("\t".join(map(plain, names)) + "\n")
    grouped = sum(len(names) for _, names in report.groups)
    verified = {"split": report.split} if verify else {}
    if as_json:
        out.write(json_line({"graphs": report.graphs, "distinct": report.distinct, "groups": len(report.groups),
                             "grouped": grouped, **verified}))
    else:
        what = "canonical strings" if by_string else "keys"
        check = f"; --verify split {counted(report.split, 'false merge')}" if verified else ""
        out.write(f"{counted(len(report.groups), 'group')} of duplicates ({counted(grouped, 'graph')}) "
                  f"among {counted(report.graphs, 'graph')}, {report.distinct} distinct {what}{check}\n")


def counted(number: int, noun: str) -> str:
    return f"{number} {noun}" if number == 1 else f"{number} {noun}s"
