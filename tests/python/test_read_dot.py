"""tolva.read_dot, the complete DOT reader: how it tells paths from text, its options, its
agreement with the line reader on the files that reader reads right, and node and edge counts
against Graphviz's own reader (`gc -n -e`) on a real-world collection and on generated files
that use every part of the grammar."""

import gzip
import pathlib
import random
import shutil
import subprocess

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import tolva
from tolva.dot import read_dot_from_file, read_dot_from_text
from conftest import EXAMPLES, ROOT, cgraph, run_cli

# The example graphs of Debian's graphviz-doc package (scripts/test installs it).
COLLECTION = pathlib.Path("/usr/share/doc/graphviz")
GC = shutil.which("gc")
needs_graphviz = pytest.mark.skipif(GC is None or not COLLECTION.is_dir(),
                                    reason="Graphviz (gc) and graphviz-doc are installed by scripts/test")


def contents(g):
    return g.node_labels(), g.edges()


def test_path_or_text_a_pathlike_is_a_path_and_a_str_is_text_when_it_holds_a_brace(tmp_path, monkeypatch):
    text = "graph { a -- b }"
    braced = tmp_path / "g{1}.dot"
    braced.write_text("graph { x }")
    plain = tmp_path / "g.dot"
    plain.write_text(text)
    assert contents(tolva.read_dot(plain)) == contents(tolva.read_dot(str(plain))) == contents(tolva.read_dot(text))
    assert tolva.read_dot(braced).node_labels() == [("x", ".")]
    # The same name as a str is DOT text, and not valid DOT.
    with pytest.raises(ValueError, match="^parse error: line 1, column 1: unexpected character '/'"):
        tolva.read_dot(str(braced))
    monkeypatch.chdir(tmp_path)
    assert contents(tolva.read_dot("g.dot")) == contents(tolva.read_dot(text))
    with pytest.raises(ValueError, match=r"^parse error: No such file or directory \(os error 2\)$"):
        tolva.read_dot("graph.dot")
    for wrong in (b"graph { a }", None, 3):
        with pytest.raises(TypeError, match="path_or_text must be a str or os.PathLike"):
            tolva.read_dot(wrong)
    # The explicit forms never look at the argument.
    with pytest.raises(ValueError, match=r"^parse error: line 1, column 2: expected 'graph'"):
        read_dot_from_text(" x")
    assert read_dot_from_file(str(braced)).node_labels() == [("x", ".")]


def test_digraphs_are_refused_unless_directed_is_ignore(tmp_path):
    text = "digraph {\n a -> b -> c\n}"
    with pytest.raises(tolva.DirectedGraphError) as refused:
        tolva.read_dot(text)
    assert isinstance(refused.value, ValueError)
    assert str(refused.value) == ('unsupported: directed graph at line 1, column 1; '
                                  'read_dot(..., directed="ignore") reads its edges as undirected')
    g = tolva.read_dot(text, directed="ignore")
    assert g.edges() == [("e1", "a", "b", "1"), ("e2", "b", "c", "1")]
    with pytest.raises(ValueError, match="directed must be 'error' or 'ignore', not 'yes'"):
        tolva.read_dot("graph {}", directed="yes")


@pytest.mark.parametrize("options, labels, modalities", [
    ({}, ["A", "."], ["w", "lab"]),
    ({"label": "name", "modality": "kind"}, ["N", "."], ["k", "1"]),
    ({"modality": ("label", "weight")}, ["A", "."], ["lab1", "lab"]),
    ({"modality": ()}, ["A", "."], ["1", "1"]),
])
def test_label_and_modality_attributes_are_chosen_by_keyword(options, labels, modalities):
    g = tolva.read_dot('graph { a [label=A, name=N]; a -- b [weight=w, label=lab1, kind=k]; b -- a [label=lab] }',
                       **options)
    assert [label for _, label in g.node_labels()] == labels
    assert [m for *_, m in g.edges()] == modalities


@pytest.mark.parametrize("lines, message", [
    (["graph G {", "  a -- b", "  c -- ", "}"], "line 4, column 1: expected a node or subgraph after the edge "
                                                "operator, found '}'"),
    (["graph G {", "  a [label=\"x]", "}"], "line 2, column 12: unterminated quoted string"),
    (["/* a", " */ graph { a -> b }"], "line 2, column 15: '->' in an undirected graph (edges there are '--')"),
    (["graph { a }", "digraph { b }"], "line 2, column 1: expected the end of input after the graph (one "
                                       "graph is read), found 'digraph'"),
])
def test_broken_files_name_line_and_column(tmp_path, lines, message):
    for end in ("\n", "\r\n"):
        path = tmp_path / "broken.gv"
        path.write_bytes(end.join(lines).encode())
        with pytest.raises(ValueError) as raised:
            tolva.read_dot(path)
        assert str(raised.value) == "parse error: " + message


# ---------------------------------------------------------------- the line reader's files

@pytest.mark.parametrize("path", EXAMPLES)
def test_examples_read_alike_with_both_readers(path):
    full, line = tolva.read_dot(ROOT / path), tolva.parse_dot(str(ROOT / path))
    assert contents(full) == contents(line)
    assert cgraph(full) == cgraph(line)


NAMES = st.from_regex(r"[A-Za-z_][A-Za-z0-9_]{0,5}", fullmatch=True).filter(
    lambda s: s.lower() not in {"node", "edge", "graph", "digraph", "subgraph", "strict"})
# A quoted value holds no "--": the line reader takes any line with "--" in it for an edge.
VALUES = st.one_of(NAMES, st.from_regex(r"[A-Za-z0-9 .:+#*-]{0,6}", fullmatch=True)
                   .filter(lambda s: "--" not in s).map(lambda s: f'"{s}"'))
# An empty label turns into "." in the line reader when an edge touches the node later.
LABELS = VALUES.filter(lambda value: value != '""')


@st.composite
def line_reader_files(draw):
    """DOT text in the line reader's subset, read by it as a DOT user means: one statement a
    line, each node's label given (at most once) before any edge touches it, no edge labels."""
    ids = draw(st.lists(NAMES, min_size=1, max_size=8, unique=True))
    lines = [draw(st.sampled_from(["graph G {", "strict graph {", "graph {", 'graph "g 1" {']))]
    touched = set()
    for _ in range(draw(st.integers(0, 14))):
        if draw(st.booleans()):
            node = draw(st.sampled_from(ids))
            attrs = [] if node in touched else [f"label={draw(LABELS)}"]
            attrs += draw(st.lists(st.sampled_from(["color=red", "shape=box", 'xlabel="x y"']), max_size=2))
            if attrs:
                touched.add(node)
                lines.append(f"{node} [{', '.join(attrs)}]" + draw(st.sampled_from(["", ";"])))
        else:
            a, b = draw(st.sampled_from(ids)), draw(st.sampled_from(ids))
            touched.update((a, b))
            weight = draw(st.one_of(st.none(), VALUES))
            attrs = draw(st.lists(st.sampled_from(["color=blue", "len=2.5"]), max_size=1))
            if weight is not None:
                attrs.append(f"weight={weight}")
            lines.append(f"{a} -- {b}" + (f" [{', '.join(attrs)}]" if attrs else "") + draw(st.sampled_from(["", ";"])))
    lines.append("}")
    return draw(st.sampled_from(["\n", "\r\n"])).join(lines) + "\n", "strict" in lines[0]


@settings(max_examples=300, deadline=None)
@given(line_reader_files())
def test_generated_line_reader_files_read_alike(file):
    text, strict = file
    full, line = tolva.read_dot(text), tolva.parse_dot_string(text)
    if strict:
        # Strict graphs merge repeated pairs, which the line reader never does.
        assert full.node_labels() == line.node_labels()
        return
    assert contents(full) == contents(line)
    assert cgraph(full) == cgraph(line)


@pytest.mark.parametrize("seed", [1, 2])
def test_large_files_read_alike(seed):
    """Thousands of statements: the complete reader reads ahead and inserts edges in batches,
    which must keep every node, label and edge in file order."""
    rng = random.Random(seed)
    ids = [f"n{i}" + "x" * rng.randrange(12) for i in range(400)]
    labelled = set()
    lines = ["graph big {"]
    for _ in range(3000):
        a = rng.choice(ids)
        if rng.random() < 0.2 and a not in labelled:
            labelled.add(a)
            lines.append(f"{a} [label=L{rng.randrange(5)}]")
        else:
            b = rng.choice(ids)
            labelled.update((a, b))
            weight = f" [weight={rng.randrange(3)}]" if rng.random() < 0.5 else ""
            lines.append(f"{a} -- {b}{weight};")
    text = "\n".join(lines + ["}"]) + "\n"
    full, line = tolva.read_dot(text), tolva.parse_dot_string(text)
    assert full.edge_count > 2000
    assert contents(full) == contents(line)


# ---------------------------------------------------------------- Graphviz's counts

def gc_counts(paths):
    """(nodes, edges) of each file, as `gc -n -e` counts them."""
    done = subprocess.run([GC, "-n", "-e", *map(str, paths)], capture_output=True, text=True, check=True)
    # Several files end with a "total" line.
    rows = [line.split() for line in done.stdout.splitlines() if not line.rstrip().endswith("total")]
    assert len(rows) == len(paths), done.stdout
    return [(int(row[0]), int(row[1])) for row in rows]


def collection(tmp_path):
    """The collection's files, the compressed ones unpacked into tmp_path."""
    files = []
    for path in sorted(COLLECTION.rglob("*.gv*")):
        if path.suffix == ".gz":
            unpacked = tmp_path / path.stem
            unpacked.write_bytes(gzip.decompress(path.read_bytes()))
            path = unpacked
        files.append(path)
    return files


@needs_graphviz
def test_real_world_collection_has_graphviz_counts(tmp_path):
    files = collection(tmp_path)
    assert len(files) >= 60
    undirected = 0
    for path, counts in zip(files, gc_counts(files)):
        text = path.read_bytes()
        if b"digraph" in text.split(b"{")[0].lower():
            with pytest.raises(tolva.DirectedGraphError):
                tolva.read_dot(path)
        else:
            g = tolva.read_dot(path)
            assert (g.node_count, g.edge_count) == counts, path
            undirected += 1
        g = tolva.read_dot(path, directed="ignore")
        assert (g.node_count, g.edge_count) == counts, path
    assert undirected >= 5


POOL = [f"n{i}" for i in range(8)]


def random_id(rng):
    """A node id in one of the forms DOT allows; the same node may be written several ways."""
    name = rng.choice(POOL)
    form = rng.randrange(6)
    if form == 0:
        return name
    if form == 1:
        return f'"{name}"'
    if form == 2:
        return f'"{name[:1]}" + "{name[1:]}"'
    if form == 3:
        return f'"{name[:1]}\\\n{name[1:]}"'
    if form == 4:
        return rng.choice(["<h<b>1</b>>", "<h2>", "-1.5", ".5", "7", '"q\\"x"', '"é ü"'])
    return f"{name}:p{rng.randrange(3)}" + rng.choice(["", ":n", ":sw"])


def random_attributes(rng):
    pairs = [f"{rng.choice(['label', 'weight', 'color', 'w'])}={random_id(rng).split(':')[0]}"
             for _ in range(rng.randrange(1, 4))]
    lists = [rng.choice([", ", "; ", " ", "\n  "]).join(pairs)]
    if rng.random() < 0.3:
        lists.append("weight=3")
    return "".join(f"[{items}]" for items in lists)


def random_operand(rng, depth, edge_op):
    if depth < 3 and rng.random() < 0.3:
        head = rng.choice(["", "subgraph ", "subgraph s1 ", "subgraph cluster_2 ", "subgraph s1 "])
        return head + "{ " + random_body(rng, depth + 1, edge_op) + " }"
    return ", ".join(random_id(rng) for _ in range(rng.choice([1, 1, 1, 2])))


def random_statement(rng, depth, edge_op):
    kind = rng.randrange(10)
    if kind == 0:
        return f"{rng.choice(['node', 'edge', 'graph', 'NODE'])} {random_attributes(rng)}"
    if kind == 1:
        return rng.choice(["rankdir", "label", '"k"']) + " = " + rng.choice(["LR", '"x y"', "<b>"])
    if kind == 2:
        return random_id(rng) + (" " + random_attributes(rng) if rng.random() < 0.5 else "")
    operands = [random_operand(rng, depth, edge_op) for _ in range(rng.randrange(1, 4))]
    text = f" {edge_op} ".join(operands)
    return text + (" " + random_attributes(rng) if rng.random() < 0.4 else "")


def random_body(rng, depth, edge_op):
    statements = []
    for _ in range(rng.randrange(0, 6 if depth else 10)):
        statements.append(random_statement(rng, depth, edge_op))
        statements.append(rng.choice([";", "", "\n", " /* c */ ", " // c\n", "\n#x\n", ";\r\n"]))
    return " ".join(statements)


def random_graph(rng, directed):
    keyword = "digraph" if directed else rng.choice(["graph", "Graph"])
    strict = rng.choice(["", "", "strict "])
    name = rng.choice(["", "G ", '"my graph" '])
    return f"// generated\n{strict}{keyword} {name}{{\n{random_body(rng, 0, '->' if directed else '--')}\n}}\n"


@needs_graphviz
@pytest.mark.parametrize("directed", [False, True])
def test_generated_files_with_every_feature_have_graphviz_counts(tmp_path, directed):
    rng = random.Random(20261207 + directed)
    paths = []
    for i in range(300):
        path = tmp_path / f"g{i}.gv"
        path.write_text(random_graph(rng, directed), encoding="utf-8")
        paths.append(path)
    edges = 0
    for path, counts in zip(paths, gc_counts(paths)):
        g = tolva.read_dot(path, directed="ignore")
        assert (g.node_count, g.edge_count) == counts, path.read_text()
        edges += g.edge_count
    assert edges > 1000


# ---------------------------------------------------------------- the command line

def test_cli_reads_dot_completely_unless_told_otherwise(tmp_path):
    chain = tmp_path / "chain.gv"
    chain.write_text("graph {\nnode [label=C];\na -- b -- c\n}\n")
    digraph = tmp_path / "d.gv"
    digraph.write_text("digraph { a -> b }\n")
    done = run_cli(chain, digraph, "examples/ethanol.dot")
    assert done.returncode == 1
    assert done.stdout.splitlines()[0] == f"{chain}\t{cgraph(tolva.read_dot(chain))}"
    assert done.stdout.splitlines()[1].startswith("examples/ethanol.dot\t")
    assert done.stderr == f"{digraph}: directed graph (use --directed ignore)\n"
    ignored = run_cli("--directed", "ignore", digraph)
    assert (ignored.returncode, ignored.stdout) == (0, f"{digraph}\t(.:1).\n")
    line = run_cli("--dot-reader", "line", chain)
    assert line.stdout == f"{chain}\t{cgraph(tolva.parse_dot(str(chain)))}\n"
    assert line.stdout != done.stdout.splitlines()[0] + "\n"
    assert run_cli("-", stdin="digraph { x -> y }").stderr == "-: directed graph (use --directed ignore)\n"
