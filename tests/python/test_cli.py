"""The tolva command line, end to end through `python -m tolva` in a subprocess."""

import json
import subprocess

import pytest

import tolva
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
        f"{bad_dot}: parse error: line 2: empty node id",
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
    assert summary == "3 groups of duplicates (15 graphs) among 16 graphs, 4 distinct canonical strings"
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
