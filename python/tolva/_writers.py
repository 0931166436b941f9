"""The command line's output formats: a line per graph (plain or JSON), or duplicate groups.

    writer = LineWriter(out, as_json=False, order=False)
    writer.add("g.dot", "(C:1, O:1)C", None)     # g.dot<TAB>(C:1, O:1)C
    writer.finish()

Plain lines separate their fields with tabs (and --order ids with spaces), so a name, id or
string is written escaped: a backslash as \\\\, tab, line feed and carriage return as \\t, \\n,
\\r, other control characters and the Unicode line breaks U+0085, U+2028, U+2029 as \\xNN or
\\uNNNN, and in --order ids a space as \\x20. Nothing else changes, so text without these
characters is written as it is. JSON output carries every string exactly.
"""

from __future__ import annotations

import json
from typing import Any

from tolva._output import Output

ESCAPES = {code: f"\\x{code:02x}" for code in [*range(0x20), 0x7F, 0x85]}
ESCAPES.update({ord("\\"): "\\\\", ord("\t"): "\\t", ord("\n"): "\\n", ord("\r"): "\\r",
                0x2028: "\\u2028", 0x2029: "\\u2029"})
ID_ESCAPES = {**ESCAPES, ord(" "): "\\x20"}


def plain(text: str) -> str:
    """`text` escaped for a tab-separated plain line."""
    return text.translate(ESCAPES)


def plain_id(text: str) -> str:
    """A node id escaped for a space-separated --order list."""
    return text.translate(ID_ESCAPES)


# JSON allows these raw inside strings, but line readers such as Python's splitlines() end a
# line at them; escaped, each JSON line is one line for every reader.
JSON_LINE_BREAKS = {0x85: "\\u0085", 0x2028: "\\u2028", 0x2029: "\\u2029"}


def json_line(record: dict[str, Any]) -> str:
    return json.dumps(record, ensure_ascii=False).translate(JSON_LINE_BREAKS) + "\n"


class Writer:
    """Takes each graph's results in input order; `needs_cgraph` and `needs_order` say which
    results it uses (the others arrive as None)."""

    needs_cgraph = True
    needs_order = False

    def add(self, name: str, cgraph: str | None, order: list[str] | None) -> None:
        raise NotImplementedError

    def finish(self) -> None:
        pass


class LineWriter(Writer):
    """One line per graph, written as soon as the graph is done."""

    def __init__(self, out: Output, as_json: bool, order: bool) -> None:
        self.out = out
        self.as_json = as_json
        self.needs_order = order
        self.needs_cgraph = as_json or not order

    def add(self, name: str, cgraph: str | None, order: list[str] | None) -> None:
        if self.as_json:
            record: dict[str, Any] = {"name": name, "cgraph": cgraph}
            if order is not None:
                record["order"] = order
            self.out.write(json_line(record))
        elif order is not None:
            self.out.write(f"{plain(name)}\t{' '.join(map(plain_id, order))}\n")
        else:
            self.out.write(f"{plain(name)}\t{plain(cgraph or '')}\n")


class DedupWriter(Writer):
    """Collects the names of each canonical string; at the end writes every group of two
    or more, in order of first appearance, and the count line."""

    def __init__(self, out: Output, as_json: bool) -> None:
        self.out = out
        self.as_json = as_json
        self.names_of: dict[str, list[str]] = {}
        self.graphs = 0

    def add(self, name: str, cgraph: str | None, order: list[str] | None) -> None:
        self.names_of.setdefault(cgraph or "", []).append(name)
        self.graphs += 1

    def finish(self) -> None:
        groups = [(text, names) for text, names in self.names_of.items() if len(names) > 1]
        for text, names in groups:
            if self.as_json:
                self.out.write(json_line({"cgraph": text, "names": names}))
            else:
                self.out.write("\t".join(map(plain, names)) + "\n")
        grouped = sum(len(names) for _, names in groups)
        if self.as_json:
            self.out.write(json_line({"graphs": self.graphs, "distinct": len(self.names_of),
                                      "groups": len(groups), "grouped": grouped}))
        else:
            self.out.write(f"{counted(len(groups), 'group')} of duplicates ({counted(grouped, 'graph')}) among "
                           f"{counted(self.graphs, 'graph')}, {len(self.names_of)} distinct canonical strings\n")


def counted(number: int, noun: str) -> str:
    return f"{number} {noun}" if number == 1 else f"{number} {noun}s"
