"""The tolva command line, end to end through `python -m tolva` in a subprocess."""

import argparse
import json
import os
import subprocess
import sys

import pytest

import tolva
from tolva import cli
from conftest import EXAMPLES, ROOT, cgraph, cli_command, cli_env, permuted_copies, read_data, run_cli, write_lines


def star(name, leaves=("A", "B", "C")):
    return {"name": name, "nodes": [["s", "S"]] + [[f"l{i}", x] for i, x in enumerate(leaves)],
            "edges": [["s", f"l{i}", "1"] for i in range(len(leaves))]}


def test_examples_print_name_tab_string_with_the_options_given():
    rows = [([], {}), (["--no-hashes", "--no-compress"], {"allow_hashes": False, "compress": False}),
            (["--no-compress"], {"compress": False}), (["--compact"], {"compact": True})]
    benzene = set()
    for flags, options in rows:
        done = run_cli(*flags, *EXAMPLES)
        assert done.returncode == 0, done.stderr
        strings = [cgraph(tolva.parse_dot(str(ROOT / path)), **options) for path in EXAMPLES]
        assert done.stdout.splitlines() == [f"{path}\t{s}" for path, s in zip(EXAMPLES, strings)]
        benzene.add(strings[EXAMPLES.index("examples/benzene.dot")])
    # Each row must change benzene's string, or the loop above would pass with flags ignored.
    assert len(benzene) == len(rows)


def test_order_json_and_standard_input():
    path = "examples/caffeine.dot"
    caffeine = tolva.parse_dot(str(ROOT / path))
    order = tolva.canonical_node_order_py(caffeine)
    assert run_cli("--order", path).stdout == f"{path}\t{' '.join(order)}\n"
    assert json.loads(run_cli("--order", "--json", path).stdout) == {
        "name": path, "cgraph": cgraph(caffeine), "order": order}
    records = [json.loads(line) for line in run_cli("--json", *EXAMPLES).stdout.splitlines()]
    assert [(set(r), r["name"]) for r in records] == [({"name", "cgraph"}, path) for path in EXAMPLES]
    assert run_cli("-", stdin=(ROOT / path).read_text()).stdout == f"-\t{cgraph(caffeine)}\n"


def test_bad_inputs_are_reported_and_the_rest_is_printed(tmp_path):
    corpus = write_lines(tmp_path / "c.jsonl", [
        star("first"), "\n", '{"name": "broken", "nodes": [\n', {"name": "no-edges", "nodes": []},
        {"name": "bad-node", "nodes": [["a", 1]], "edges": []}, star("last", leaves=("A", "A")),
    ])
    bad_dot = write_lines(tmp_path / "bad.dot", ["graph G {\n-- b\n}\n"])
    missing = tmp_path / "missing.dot"
    done = run_cli("examples/ethanol.dot", missing, corpus, bad_dot, "examples/two_nodes.dot")
    assert done.returncode == 1
    first, *lines, last = done.stdout.splitlines()
    assert lines == ["first\t(A:1, B:1, C:1)S", "last\t(A:1, A:1)S"]
    assert first.startswith("examples/ethanol.dot\t") and last.startswith("examples/two_nodes.dot\t")
    assert done.stderr.splitlines() == [
        f"{missing}: parse error: No such file or directory (os error 2)",
        f"{corpus}:3: invalid JSON: Expecting value (column 30)",
        f"{corpus}:4: missing field 'edges'",
        f"{corpus}:5: 'nodes' item 0 must be [id, label], all strings",
        f"{bad_dot}: parse error: line 2, column 1: expected a statement or the graph's closing '}}', found '--'",
    ]
    unread = run_cli(tmp_path / "none.jsonl", corpus)
    assert unread.returncode == 1
    assert unread.stderr.startswith(f"{tmp_path}/none.jsonl: cannot read: No such file")


@pytest.mark.parametrize("args", [[], ["--no-such-flag", "x.dot"], ["--order", "--group", "x.dot"],
                                  ["dedup", "--order", "x.dot"]])
def test_usage_errors_exit_with_status_2(args):
    done = run_cli(*args)
    assert (done.returncode, done.stdout) == (2, "")
    assert "usage: tolva" in done.stderr


@pytest.mark.parametrize("columns", ["40", "100", "0", "x", None])
def test_help_is_wrapped_as_argparse_wraps_it(monkeypatch, columns):
    # The parser is told the terminal's width instead of letting argparse ask shutil for it.
    if columns is None:
        monkeypatch.delenv("COLUMNS", raising=False)
    else:
        monkeypatch.setenv("COLUMNS", columns)
    ours = [cli.build_parser(dedup).format_help() for dedup in (False, True)]
    monkeypatch.setattr(cli, "HelpFormatter", argparse.HelpFormatter)
    assert ours == [cli.build_parser(dedup).format_help() for dedup in (False, True)]


def test_dedup_groups_relabelled_copies_of_each_graph(tmp_path):
    # Three molecules, each with four copies whose nodes, edges and ids are shuffled.
    originals = read_data("molecules", 3)
    copies = write_lines(tmp_path / "copies.jsonl",
                         [r for g in originals for r in [g, *permuted_copies(g, 4, seed=1)]])
    done = run_cli("dedup", copies, "examples/ethanol.dot")
    assert done.returncode == 0, done.stderr
    *lines, summary = done.stdout.splitlines()
    assert [line.split("\t") for line in lines] == [
        [g["name"]] + [f"{g['name']}~p{k}" for k in range(1, 5)] for g in originals]
    assert summary == "3 groups of duplicates (15 graphs) among 16 graphs, 4 distinct keys"
    assert run_cli("--group", copies, "examples/ethanol.dot").stdout == done.stdout
    as_json = run_cli("dedup", "--json", copies, "examples/ethanol.dot").stdout.splitlines()
    assert json.loads(as_json[-1]) == {"graphs": 16, "distinct": 4, "groups": 3, "grouped": 15}


def test_trace_lines_come_before_the_line_of_their_graph():
    # ethanol is a tree (no rewrite, no trace); benzene needs rewrites.
    done = run_cli("--trace", "examples/ethanol.dot", "examples/benzene.dot")
    first, *trace, last = done.stdout.splitlines()
    assert first.startswith("examples/ethanol.dot\t") and last.startswith("examples/benzene.dot\t")
    assert trace and all(line.startswith("TRACE ") and " magnet=" not in line for line in trace)


def test_a_closed_pipe_ends_the_run_quietly(tmp_path):
    corpus = write_lines(tmp_path / "many.jsonl", [star(f"g{i}") for i in range(4000)])
    process = subprocess.Popen(cli_command(corpus), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               env=cli_env())
    assert process.stdout.readline() == b"g0\t(A:1, B:1, C:1)S\n"
    process.stdout.close()
    assert (process.wait(), process.stderr.read()) == (0, b"")


# tqdm comes with the extra tolva[progress]; without it the run is the same, only barless.
@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="standard error on a pseudo-terminal")
@pytest.mark.parametrize("with_tqdm", [True, False])
def test_progress_bar_on_a_terminal_only_with_tqdm(tmp_path, with_tqdm):
    import fcntl
    import pty
    import struct
    import termios

    pytest.importorskip("tqdm")
    corpus = write_lines(tmp_path / "stars.jsonl", [star(f"s{i}") for i in range(150)] + ["{bad\n"])
    hide = "" if with_tqdm else "sys.modules['tqdm'] = None; "
    code = f"import sys; {hide}from tolva.cli import main; sys.exit(main())"
    controller, terminal = pty.openpty()
    fcntl.ioctl(terminal, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 80, 0, 0))  # 80 columns for the bar
    try:
        done = subprocess.run([sys.executable, "-c", code, str(corpus)], stdout=subprocess.PIPE,
                              stderr=terminal, text=True, cwd=ROOT, env=cli_env())
        os.close(terminal)
        shown = b""
        while chunk := _read_or_empty(controller):
            shown += chunk
    finally:
        os.close(controller)
    assert done.returncode == 1
    assert len(done.stdout.splitlines()) == 150
    assert f"{corpus}:151: invalid JSON".encode() in shown
    assert (b"151/151" in shown) == with_tqdm


def _read_or_empty(fd):
    try:
        return os.read(fd, 65536)
    except OSError:  # the terminal side is closed and drained
        return b""


def test_dedup_groups_whole_graphs_by_key_and_verify_splits_false_merges(tmp_path):
    wheel = [["0", "3", "1"], ["0", "4", "1"], ["0", "5", "1"], ["1", "3", "1"], ["1", "5", "1"],
             ["2", "4", "1"], ["2", "5", "1"], ["3", "5", "1"], ["4", "5", "1"]]
    other = [["0", "2", "1"]] + wheel[1:]  # not isomorphic, yet written with the same key
    salt = [["c", "n", "1"], ["na", "cl", "1"]]
    corpus = write_lines(tmp_path / "c.jsonl", [
        {"name": "first", "nodes": [], "edges": wheel}, {"name": "second", "nodes": [], "edges": other},
        {"name": "salt", "nodes": [], "edges": salt}, {"name": "part", "nodes": [], "edges": salt[:1]}])
    assert run_cli("dedup", corpus).stdout.splitlines()[0] == "first\tsecond"
    verified = run_cli("dedup", "--verify", "--json", corpus).stdout.splitlines()
    assert json.loads(verified[-1]) == {"graphs": 4, "distinct": 4, "groups": 0, "grouped": 0, "split": 1}
    # The canonical string describes only the root's component, so it groups the salt with its part.
    by_string = run_cli("dedup", "--string", corpus).stdout.splitlines()
    assert by_string[:2] == ["first\tsecond", "salt\tpart"]
