"""The tolva command line, end to end through `python -m tolva` in a subprocess."""

import fcntl
import json
import os
import pathlib
import pty
import struct
import subprocess
import sys
import termios

import pytest

import tolva

ROOT = pathlib.Path(__file__).resolve().parents[2]
EXAMPLES = sorted(str(p.relative_to(ROOT)) for p in (ROOT / "examples").glob("*.dot"))
DATA = ROOT.parent / "shared" / "data"
PACKAGE_PARENT = str(pathlib.Path(tolva.__file__).resolve().parents[1])


def cli_env(extra_path=()):
    """The environment of the test run, importing this same tolva, tracing off and
    standard output buffered as it is by default."""
    env = {k: v for k, v in os.environ.items() if not k.startswith("TOLVA_TRACE") and k != "PYTHONUNBUFFERED"}
    env["PYTHONPATH"] = os.pathsep.join([*extra_path, PACKAGE_PARENT, env.get("PYTHONPATH", "")])
    return env


def run_cli(*args, stdin=None, extra_path=()):
    return subprocess.run([sys.executable, "-m", "tolva", *map(str, args)], input=stdin, capture_output=True,
                          text=True, cwd=ROOT, env=cli_env(extra_path))


def library_string(graph, hashes=True, compress=True, compact=False):
    return str(tolva.to_cgraph_py(graph, None, None, hashes, compress, compact))


def write_corpus(path, records):
    path.write_text("".join(r if isinstance(r, str) else json.dumps(r) + "\n" for r in records))
    return path


def star(name, centre="S", leaves=("A", "B", "C")):
    return {"name": name, "nodes": [["s", centre]] + [[f"l{i}", x] for i, x in enumerate(leaves)],
            "edges": [["s", f"l{i}", "1"] for i in range(len(leaves))]}


@pytest.mark.parametrize(
    "flags, options",
    [
        ([], {}),
        (["--no-hashes"], {"hashes": False}),
        (["--no-compress"], {"compress": False}),
        (["--compact"], {"compact": True}),
        (["--no-hashes", "--no-compress", "--compact"], {"hashes": False, "compress": False, "compact": True}),
    ],
)
def test_examples_print_name_tab_string_with_the_options_given(flags, options):
    done = run_cli(*flags, *EXAMPLES)
    assert done.returncode == 0, done.stderr
    expected = [f"{path}\t{library_string(tolva.parse_dot(str(ROOT / path)), **options)}" for path in EXAMPLES]
    assert done.stdout.splitlines() == expected


def test_the_options_change_the_benzene_string():
    # Guards the test above: each flag must reach the library and matter for benzene
    # (hashes show only inside braces, which compression replaces).
    outputs = {tuple(flags): run_cli(*flags, "examples/benzene.dot").stdout
               for flags in ([], ["--no-compress"], ["--no-hashes", "--no-compress"], ["--compact"])}
    assert len(set(outputs.values())) == 4


def test_order_prints_space_separated_ids_and_json_adds_it():
    graph = tolva.parse_dot(str(ROOT / "examples/caffeine.dot"))
    order = tolva.canonical_node_order_py(graph)
    text = run_cli("--order", "examples/caffeine.dot")
    assert text.stdout == f"examples/caffeine.dot\t{' '.join(order)}\n"
    as_json = json.loads(run_cli("--order", "--json", "examples/caffeine.dot").stdout)
    assert as_json == {"name": "examples/caffeine.dot", "cgraph": library_string(graph), "order": order}
    assert sorted(order) == sorted(node for node, _ in graph.node_labels())


def test_json_output_is_json_lines_of_name_and_cgraph():
    done = run_cli("--json", *EXAMPLES)
    records = [json.loads(line) for line in done.stdout.splitlines()]
    assert [set(r) for r in records] == [{"name", "cgraph"}] * len(EXAMPLES)
    assert [r["name"] for r in records] == EXAMPLES


def test_standard_input_is_read_as_dot_text_named_dash():
    text = (ROOT / "examples/caffeine.dot").read_text()
    done = run_cli("-", stdin=text)
    assert done.stdout == f"-\t{library_string(tolva.parse_dot_string(text))}\n"


def test_corpus_lines_are_named_by_their_name_field(tmp_path):
    corpus = write_corpus(tmp_path / "c.jsonl", [star("one"), "\n", star("two", leaves=("A", "A"))])
    done = run_cli(corpus)
    assert done.returncode == 0
    assert done.stdout.splitlines() == ["one\t(A:1, B:1, C:1)S", "two\t(A:1, A:1)S"]


def test_bad_inputs_are_reported_and_the_rest_of_the_batch_is_printed(tmp_path):
    corpus = write_corpus(tmp_path / "c.jsonl", [
        star("first"),
        '{"name": "broken", "nodes": [\n',
        {"name": "no-edges", "nodes": []},
        {"name": "bad-node", "nodes": [["a", 1]], "edges": []},
        star("last"),
    ])
    bad_dot = tmp_path / "bad.dot"
    bad_dot.write_text("graph G {\n-- b\n}\n")
    done = run_cli("examples/ethanol.dot", tmp_path / "missing.dot", corpus, bad_dot, "examples/two_nodes.dot")
    assert done.returncode == 1
    names = [line.split("\t")[0] for line in done.stdout.splitlines()]
    assert names == ["examples/ethanol.dot", "first", "last", "examples/two_nodes.dot"]
    assert done.stderr.splitlines() == [
        f"{tmp_path}/missing.dot: parse error: No such file or directory (os error 2)",
        f"{corpus}:2: invalid JSON: Expecting value (column 30)",
        f"{corpus}:3: missing field 'edges'",
        f"{corpus}:4: 'nodes' item 0 must be [id, label], all strings",
        f"{bad_dot}: parse error: line 2: empty node id",
    ]


def test_unreadable_corpus_and_unsupported_rule_are_per_graph_failures(tmp_path):
    corpus = write_corpus(tmp_path / "c.jsonl", [star("s"), {"name": "empty", "nodes": [], "edges": []}])
    missing = run_cli(tmp_path / "none.jsonl", corpus)
    assert (missing.returncode, missing.stdout.count("\n")) == (1, 2)
    assert missing.stderr.startswith(f"{tmp_path}/none.jsonl: cannot read: No such file")
    rule = run_cli("--candidate-rule", "$size", corpus)
    # The empty graph needs no rule, so it still succeeds.
    assert (rule.returncode, rule.stdout) == (1, "empty\t\n")
    assert rule.stderr == "s: unsupported: candidate rule '$size' not implemented\n"


@pytest.mark.parametrize(
    "args",
    [[], ["--no-such-flag", "examples/ethanol.dot"], ["--order", "--group", "examples/ethanol.dot"],
     ["dedup", "--order", "examples/ethanol.dot"], ["dedup"]],
)
def test_usage_errors_exit_with_status_2(args):
    done = run_cli(*args)
    assert done.returncode == 2
    assert done.stdout == ""
    assert "usage: tolva" in done.stderr


@pytest.fixture(scope="module")
def permuted_corpus(tmp_path_factory):
    """Three molecules, each with three shuffled copies that keep the ids, plus one copy
    whose ids all gain a prefix (which keeps their order, so ties break alike)."""
    folder = tmp_path_factory.mktemp("dedup")
    originals = folder / "originals.jsonl"
    with open(DATA / "molecules.jsonl") as lines:
        originals.write_text("".join(next(lines) for _ in range(3)))
    shuffled = folder / "shuffled.jsonl"
    subprocess.run([sys.executable, str(DATA / "permute.py"), originals, shuffled, "-k", "3", "--seed", "1",
                    "--keep-ids", "--include-original"], check=True, capture_output=True)
    renamed = []
    for line in originals.read_text().splitlines():
        g = json.loads(line)
        renamed.append({"name": g["name"] + "~x", "nodes": [["x" + i, lab] for i, lab in g["nodes"]],
                        "edges": [["x" + a, "x" + b, mod] for a, b, mod in g["edges"]]})
    return [shuffled, write_corpus(folder / "renamed.jsonl", renamed)]


def expected_groups(corpora):
    groups = {}
    for corpus in corpora:
        for line in corpus.read_text().splitlines():
            name = json.loads(line)["name"]
            groups.setdefault(name.split("~")[0], []).append(name)
    return list(groups.values())


def test_dedup_groups_relabelled_copies_of_each_graph(permuted_corpus):
    done = run_cli("dedup", *permuted_corpus, "examples/ethanol.dot")
    assert done.returncode == 0, done.stderr
    *groups, summary = done.stdout.splitlines()
    assert [g.split("\t") for g in groups] == expected_groups(permuted_corpus)
    assert summary == "3 groups of duplicates (15 graphs) among 16 graphs, 4 distinct canonical strings"
    assert run_cli("--group", *permuted_corpus, "examples/ethanol.dot").stdout == done.stdout


def test_dedup_json_lists_groups_with_their_string_then_the_counts(tmp_path):
    corpus = write_corpus(tmp_path / "c.jsonl", [star("a"), star("b"), "oops\n", star("c", leaves="AB")])
    done = run_cli("dedup", "--json", corpus)
    assert done.returncode == 1
    assert done.stderr == f"{corpus}:3: invalid JSON: Expecting value (column 1)\n"
    records = [json.loads(line) for line in done.stdout.splitlines()]
    assert records == [{"cgraph": "(A:1, B:1, C:1)S", "names": ["a", "b"]},
                       {"graphs": 3, "distinct": 2, "groups": 1, "grouped": 2}]


def test_trace_lines_come_before_the_line_of_their_graph():
    done = run_cli("--trace", "examples/ethanol.dot", "examples/benzene.dot")
    lines = done.stdout.splitlines()
    # ethanol is a tree (no rewrite, no trace); benzene needs rewrites.
    assert lines[0].startswith("examples/ethanol.dot\t")
    assert lines[-1].startswith("examples/benzene.dot\t")
    assert len(lines) > 2 and all(line.startswith("TRACE ") for line in lines[1:-1])
    assert not any(" magnet=" in line for line in lines)
    magnets = run_cli("--trace-magnet", "examples/benzene.dot").stdout
    assert "TRACE magnet " in magnets and "TRACE dag_counts " in magnets


def test_a_closed_pipe_ends_the_run_quietly(tmp_path):
    corpus = write_corpus(tmp_path / "many.jsonl", [star(f"g{i}") for i in range(4000)])
    process = subprocess.Popen([sys.executable, "-m", "tolva", str(corpus)], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, env=cli_env())
    assert process.stdout.readline() == b"g0\t(A:1, B:1, C:1)S\n"
    process.stdout.close()
    assert process.wait() == 0
    assert process.stderr.read() == b""


def run_with_terminal_stderr(*args, extra_path=()):
    """Runs the command with standard error on a 100-column pseudo-terminal; returns
    (exit status, standard output, what the terminal received)."""
    controller, terminal = pty.openpty()
    fcntl.ioctl(terminal, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 100, 0, 0))
    process = subprocess.Popen([sys.executable, "-m", "tolva", *map(str, args)], stdout=subprocess.PIPE,
                               stderr=terminal, cwd=ROOT, env=cli_env(extra_path))
    os.close(terminal)
    output = process.stdout.read()
    status = process.wait()
    screen = b""
    while True:
        try:
            chunk = os.read(controller, 65536)
        except OSError:  # the terminal side is closed and everything has been read
            break
        if not chunk:
            break
        screen += chunk
    os.close(controller)
    return status, output, screen.decode("utf-8", "replace")


def test_progress_bar_only_on_a_terminal_for_many_graphs(tmp_path):
    pytest.importorskip("tqdm")
    many = write_corpus(tmp_path / "many.jsonl", [star(f"g{i}") for i in range(150)])
    status, output, screen = run_with_terminal_stderr(many)
    assert status == 0 and output.count(b"\n") == 150
    assert "150/150" in screen
    assert "150/150" not in run_with_terminal_stderr("--quiet", many)[2]
    assert "/" not in run_with_terminal_stderr(*EXAMPLES)[2]
    assert run_cli(many).stderr == ""  # not a terminal


def test_without_tqdm_there_is_no_bar(tmp_path):
    blocker = tmp_path / "blocker"
    blocker.mkdir()
    (blocker / "tqdm.py").write_text("raise ImportError('no tqdm here')\n")
    many = write_corpus(tmp_path / "many.jsonl", [star(f"g{i}") for i in range(150)])
    status, output, screen = run_with_terminal_stderr(many, extra_path=[str(blocker)])
    assert (status, output.count(b"\n"), screen.strip()) == (0, 150, "")
