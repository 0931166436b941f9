"""What the line-oriented DOT reader (parse_dot, parse_dot_string) skips, or reads in a way a
DOT user would not expect, line by line: the command line's warnings.

    for number, message in line_reader_warnings("graph { a -- b }\\n"):
        print(f"g.dot:{number}: warning: {message}")
    # g.dot:1: warning: statements after '{' on the header line are skipped; ...

The reader reads one statement per line: a line is skipped when it begins with "graph",
"strict graph" or "}"; it is an edge when it holds "--" (the ids on both sides of the first
"--", the modality from weight=), else a node when it holds "[" (the label from label=), else
it is ignored. These checks read the text the same way (lines split at line feeds, Unicode
white space trimmed) and keep the same node table, so they can say what was made of a line.
They never change what the reader reads.
"""

from __future__ import annotations

import re
from collections.abc import Iterator

# Unicode's White_Space characters: what the reader trims and what ends an id.
WHITE_SPACE = "\t\n\v\f\r \x85\xa0\u1680\u2000\u2001\u2002\u2003\u2004\u2005\u2006\u2007\u2008\u2009" \
              "\u200a\u2028\u2029\u202f\u205f\u3000"
ID_END = re.compile(f"[{WHITE_SPACE}\\[]")
GRAPH_ATTRIBUTES = re.compile(f"(strict[{WHITE_SPACE}]+)?graph[{WHITE_SPACE}]*\\[")
HEADER = re.compile(f"(strict[{WHITE_SPACE}]+)?(di)?graph([{WHITE_SPACE}{{]|$)")
DIGRAPH = re.compile(f"(strict[{WHITE_SPACE}]+)?digraph([{WHITE_SPACE}{{]|$)")
COMMENT_STARTS = ("//", "#", "/*")
QUOTES = "'\""

ONE_PER_LINE = "put one statement per line"
READS = "this reader reads 'ID -- ID [weight=W]' edges and 'ID [label=L]' nodes, one a line"


def trim(text: str) -> str:
    return text.strip(WHITE_SPACE)


def node_id(text: str) -> str:
    """The id the reader takes from the start of `text` ("" where it reports an error)."""
    text = trim(text)
    end = ID_END.search(text)
    return text[: end.start()] if end else text


def attributes(line: str) -> tuple[dict[str, str], str | None]:
    """The attribute map the reader builds from a line, and the first value that a comma
    inside quotes cut short (None when there is none)."""
    opening = line.find("[")
    closing = line.find("]", opening + 1) if opening >= 0 else -1
    if closing < 0:
        return {}, None
    found: dict[str, str] = {}
    cut = None
    for piece in line[opening + 1: closing].split(","):
        key, _, value = piece.partition("=")
        key, value = trim(key), trim(value)
        if not key:
            continue
        if len(value) >= 2 and value[0] == value[-1] and value[0] in QUOTES:
            value = value[1:-1]
        elif value[:1] in QUOTES and value and cut is None:
            cut = f"{key}={value}"
        found[key] = value
    return found, cut


def line_reader_warnings(text: str) -> list[tuple[int, str]]:
    """(line number, message) for every line the reader skips or reads unexpectedly."""
    return list(LineChecks(text).warnings())


class LineChecks:
    def __init__(self, text: str) -> None:
        self.text = text
        self.labels: dict[str, tuple[str, int]] = {}  # node id -> (label, line that made it)
        self.directed = False
        self.in_comment = False

    def warnings(self) -> Iterator[tuple[int, str]]:
        if self.text.startswith("\ufeff"):
            yield 1, "a byte order mark (U+FEFF) starts the text: this reader keeps it as part of line 1"
        lone_return = re.search("\r(?!\n)", self.text)
        if lone_return:
            number = self.text.count("\n", 0, lone_return.start()) + 1
            yield number, ("a carriage return without a line feed: this reader ends lines at line feeds "
                           "only, so what follows is read as part of this line")
        for number, raw in enumerate(self.text.split("\n"), start=1):
            line = trim(raw.removesuffix("\r"))
            for message in self.check(line, number):
                yield number, message

    def check(self, line: str, number: int) -> list[str]:
        commented = self.in_comment or line.startswith(COMMENT_STARTS)
        self.follow_block_comment(line)
        if not line:
            return []
        if line.startswith("}"):
            return []
        if line.startswith("graph") or line.startswith("strict graph"):
            return self.skipped_header(line)
        if "--" in line:
            read = self.edge(line, number)
            return [f"a comment read as a statement ({read[0]}): this reader has no comments"] if commented else read[1]
        if "[" in line:
            read = self.node(line, number)
            return [f"a comment read as a statement ({read[0]}): this reader has no comments"] if commented else read[1]
        return [] if commented else self.ignored(line)

    def follow_block_comment(self, line: str) -> None:
        position = 0
        while True:
            if self.in_comment:
                end = line.find("*/", position)
                if end < 0:
                    return
                self.in_comment, position = False, end + 2
            else:
                start = line.find("/*", position)
                if start < 0:
                    return
                self.in_comment, position = True, start + 2

    def skipped_header(self, line: str) -> list[str]:
        if GRAPH_ATTRIBUTES.match(line):
            return ["'graph [...]' attributes are skipped"]
        if not HEADER.match(line):
            return ["line skipped because it begins with 'graph' (this reader skips such lines)"]
        inside = trim(line.partition("{")[2]).rstrip(";" + WHITE_SPACE)
        if trim(inside.removesuffix("}")):
            return [f"statements after '{{' on the header line are skipped; {ONE_PER_LINE}"]
        return []

    def edge(self, line: str, number: int) -> tuple[str, list[str]]:
        found, cut = attributes(line)
        left, _, rest = line.partition("--")
        rest = trim(rest)
        if rest.endswith(";"):
            rest = trim(rest[:-1])
        first, second = node_id(left), node_id(rest)
        if not first or not second:
            return "a bad edge", []  # the reader stops here with its own error
        modality = found.get("weight", "1")
        read = f"edge '{first}' -- '{second}'" + (f" with modality '{modality}'" if modality != "1" else "")
        messages = []
        after = trim(rest[len(second):])
        if ";" in second:
            messages.append(f"several statements, or a comment after ';', on one line: read as {read}; "
                            f"{ONE_PER_LINE}")
        elif "--" in second or "--" in after.partition("[")[0]:
            messages.append(f"an edge chain: only its first edge is read, as {read}; write one edge per line")
        elif "->" in line:
            messages.append(f"'->' mixed with '--': read as {read}")
        elif after and not after.startswith("[") and not after.startswith(COMMENT_STARTS):
            messages.append(f"text after the edge is not read ({after!r}): read as {read}")
        messages += self.id_messages(left, first, read)
        if "label" in found and "weight" not in found:
            messages.append(f"the edge label '{found['label']}' is not its modality (this reader takes it "
                            "from weight=): read with modality '1'")
        if cut:
            messages.append(f"a comma inside quotes splits the attribute list: read {cut!r}")
        if opens_without_closing(line):
            messages.append("'[' without ']': the attributes are not read")
        for node in (first, second):
            self.labels.setdefault(node, (".", number))
        return read, messages

    def node(self, line: str, number: int) -> tuple[str, list[str]]:
        found, cut = attributes(line)
        node = node_id(line)
        if not node:
            return "a bad node", []
        label = found.get("label", ".")
        read = f"node '{node}' labelled '{label}'"
        messages = []
        if node in ("node", "edge"):
            messages.append(f"'{node} [...]' default attributes are not applied: read as a node named '{node}'")
        elif "->" in line:
            messages.append(f"'->' is not an edge for this reader: read as {read}")
        else:
            opening = line.find("[")
            closing = line.find("]", opening)
            after = line[closing + 1:].lstrip(";" + WHITE_SPACE) if closing >= 0 else ""
            if after and not after.startswith(COMMENT_STARTS):
                messages.append(f"several statements on one line: only the first is read, as {read}; "
                                f"{ONE_PER_LINE}")
            messages += self.id_messages(line[:opening], node, read)
        if cut:
            messages.append(f"a comma inside quotes splits the attribute list: read {cut!r}")
        if opens_without_closing(line):
            messages.append("'[' without ']': the attributes are not read, the label is '.'")
        known = self.labels.get(node)
        if known is None:
            self.labels[node] = (label, number)
        elif known[0] != label:
            messages.append(f"node '{node}' already has the label '{known[0]}' from line {known[1]}: the label "
                            f"'{label}' is not applied (give nodes before the edges that use them)")
        return read, messages

    @staticmethod
    def id_messages(text: str, node: str, read: str) -> list[str]:
        """Text between an id and what should follow it ("--" or "["): a quoted id cut at a
        blank, or anything else the reader drops."""
        left_over = trim(trim(text)[len(node):])
        if not left_over:
            return []
        if node[0] in QUOTES:
            return [f"a quoted id is cut at white space and keeps its quote: read as {read}"]
        return [f"text after the id '{node}' is not read ({left_over!r}): read as {read}"]

    def ignored(self, line: str) -> list[str]:
        if DIGRAPH.match(line):
            self.directed = True
            return ["a digraph: this reader reads only undirected '--' edges, so its '->' edges are not read"]
        if "->" in line:
            return [] if self.directed else ["'->' is not an edge for this reader: line not read"]
        bare = line.rstrip(";" + WHITE_SPACE)
        if bare in ("", "{"):
            return []
        if "=" not in bare and node_id(bare) == bare:
            return [f"a node without attributes is not created: write '{bare} [label=L]' or use it in an edge"]
        return [f"line not read: {READS}"]


def opens_without_closing(line: str) -> bool:
    opening = line.find("[")
    return opening >= 0 and line.find("]", opening + 1) < 0
