"""The command line's output: escaping in the plain formats, -o, write failures, threads (-j),
the trace beside JSON, the progress bar on a terminal, --version and the rule check."""

import fcntl
import json
import os
import pty
import re
import select
import signal
import struct
import subprocess
import termios
import time

import pytest
from hypothesis import given
from hypothesis import strategies as st

import tolva
from conftest import ROOT, cgraph, cli_command, cli_env, graph, interruptible, read_data, run_cli, write_lines
from test_batch_faults import over_the_node_limit
from tolva._batches import Behind, BatchLimits, Canonizer, batched, failure_text
from tolva._writers import ESCAPES, ID_ESCAPES, plain, plain_id

ETHANOL = "examples/ethanol.dot"
UNESCAPE = re.compile(r"\\(x[0-9a-f]{2}|u[0-9a-f]{4}|[\\tnr])")


def unescape(text):
    """Reverses the plain formats' escaping."""
    def one(match):
        code = match.group(1)
        return {"\\": "\\", "t": "\t", "n": "\n", "r": "\r"}.get(code) or chr(int(code[1:], 16))
    return UNESCAPE.sub(one, text)


@given(st.text(alphabet=st.characters(codec="utf-8"), max_size=12)
       | st.text(alphabet="a \\\t\n\r\x00\x7f\x85\xa0\u2028\u2029\U0001F600", max_size=12))
def test_escaping_skips_only_texts_that_need_nothing(text):
    assert plain(text) == text.translate(ESCAPES)
    assert plain_id(text) == text.translate(ID_ESCAPES)


def test_plain_lines_escape_separators_and_json_keeps_strings_exact(tmp_path):
    forged = {"name": "bad\tname\\", "nodes": [["x y", "C\nfake\tline"], ["b", "\u2028"]], "edges": [["x y", "b", "1"]]}
    twin = {**forged, "name": "twin\nname"}
    corpus = write_lines(tmp_path / "bad.jsonl", [forged, twin])
    plain = run_cli(corpus).stdout.splitlines()
    assert len(plain) == 2 and all(line.count("\t") == 1 for line in plain)
    exact = [json.loads(line) for line in run_cli("--json", "--order", corpus).stdout.splitlines()]
    assert [[unescape(field) for field in line.split("\t")] for line in plain] == [
        [r["name"], r["cgraph"]] for r in exact]
    orders = run_cli("--order", corpus).stdout.splitlines()
    assert [[unescape(i) for i in line.split("\t")[1].split(" ")] for line in orders] == [r["order"] for r in exact]
    assert "x\\x20y" in orders[0]
    groups = run_cli("dedup", corpus).stdout.splitlines()
    assert [unescape(name) for name in groups[0].split("\t")] == ["bad\tname\\", "twin\nname"]
    assert json.loads(run_cli("dedup", "--json", corpus).stdout.splitlines()[0])["names"] == ["bad\tname\\", "twin\nname"]
    # Reports on standard error escape names too: one report, one line.
    assert run_cli("no\nsuch.dot").stderr == "no\\nsuch.dot: parse error: No such file or directory (os error 2)\n"


def test_output_file_and_output_that_cannot_be_written(tmp_path):
    out = tmp_path / "out.txt"
    done = run_cli("-o", out, ETHANOL)
    assert (done.returncode, done.stdout, out.read_text()) == (0, "", f"{ETHANOL}\t(C:1, O:1)C\n")
    assert run_cli("-o", "-", ETHANOL).stdout == f"{ETHANOL}\t(C:1, O:1)C\n"
    assert run_cli("-o", out, out, ETHANOL).returncode == 2 and out.read_text()  # an input is not emptied
    unwritable = run_cli("-o", tmp_path / "no" / "out.txt", ETHANOL)
    assert unwritable.returncode == 1
    assert unwritable.stderr == f"tolva: cannot write output: {tmp_path}/no/out.txt: No such file or directory\n"
    with open("/dev/full", "w") as full:
        done = subprocess.run(cli_command(ETHANOL, "examples/benzene.dot"), stdout=full, stderr=subprocess.PIPE,
                              text=True, cwd=ROOT, env=cli_env())
    assert (done.returncode, done.stderr) == (1, "tolva: cannot write output: No space left on device\n")
    closed = subprocess.run(cli_command(ETHANOL), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                            cwd=ROOT, env=cli_env(), preexec_fn=lambda: os.close(1))
    assert (closed.returncode, closed.stderr) == (1, "tolva: cannot write output: standard output is closed\n")
    to_file = subprocess.run(cli_command("-o", out, "--trace", "examples/benzene.dot"), stdout=subprocess.DEVNULL,
                             stderr=subprocess.PIPE, cwd=ROOT, env=cli_env(), preexec_fn=lambda: os.close(1))
    assert to_file.returncode == 0 and out.read_text().startswith("examples/benzene.dot\t")


def test_threads_give_the_output_of_one_thread_in_input_order(tmp_path):
    molecules = read_data("molecules", 600)
    failing = over_the_node_limit()
    huge = {"name": "huge", "nodes": [], "edges": [list(edge) for edge in failing.edges()]}
    huge["edges"] = [edge[1:] for edge in huge["edges"]]
    # A line outside the native reader's plain form (a number) and a blank line among them.
    sized = {"name": "sized", "nodes": [["a", "C"]], "edges": [], "size": 3}
    records = (molecules[:150] + [sized, "\n"] + molecules[150:300] + ['{"broken\n', huge] + molecules[300:]
               + ['{"name": "no-edges", "nodes": []}\n'])
    corpus = write_lines(tmp_path / "c.jsonl", records)
    runs = {jobs: run_cli("-q", "-j", jobs, corpus) for jobs in (1, 2, 3)}
    assert runs[1].stdout == runs[2].stdout == runs[3].stdout
    assert runs[1].stderr == runs[2].stderr == runs[3].stderr == (
        f"{corpus}:303: invalid JSON: Unterminated string starting at (column 2)\n"
        "huge: unsupported: dag rewrite node limit exceeded\n"
        f"{corpus}:605: missing field 'edges'\n")
    expected = [f"{g['name']}\t{cgraph(graph(g['nodes'], g['edges']))}" for g in molecules]
    assert runs[2].stdout.splitlines() == expected[:150] + ["sized\t()C"] + expected[150:]
    assert {run.returncode for run in runs.values()} == {1}


def test_trace_goes_to_standard_error_beside_json_and_before_each_plain_line(tmp_path):
    done = run_cli("--json", "--trace", ETHANOL, "examples/benzene.dot")
    assert [json.loads(line)["name"] for line in done.stdout.splitlines()] == [ETHANOL, "examples/benzene.dot"]
    assert done.stderr and all(line.startswith("TRACE ") for line in done.stderr.splitlines())
    plain = run_cli("--trace", "-j", "2", "examples/benzene.dot", ETHANOL, "examples/benzene.dot").stdout.splitlines()
    names = [line.split("\t")[0] for line in plain if not line.startswith("TRACE ")]
    assert names == ["examples/benzene.dot", ETHANOL, "examples/benzene.dot"]
    first = plain.index(f"{ETHANOL}\t(C:1, O:1)C")
    assert plain[first + 1].startswith("TRACE ") and plain[first - 1].startswith("examples/benzene.dot\t")


def test_dedup_on_a_terminal_closes_the_progress_bar_before_the_groups(tmp_path):
    pytest.importorskip("tqdm")
    copies = write_lines(tmp_path / "c.jsonl", [{"name": f"g{i}", "nodes": [["a", "A"]], "edges": []}
                                                for i in range(150)])
    main, child = pty.openpty()
    fcntl.ioctl(child, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 100, 0, 0))  # a bar needs a width
    process = subprocess.Popen(cli_command("dedup", copies), stdin=child, stdout=child, stderr=child, cwd=ROOT,
                               env=cli_env())
    os.close(child)
    seen = b""
    while True:
        ready, _, _ = select.select([main], [], [], 60)
        try:
            chunk = os.read(main, 65536) if ready else b""
        except OSError:  # the terminal closes with the child
            chunk = b""
        if not chunk:
            break
        seen += chunk
    os.close(main)
    assert process.wait(timeout=60) == 0
    text = seen.decode()
    assert "150/150" in text  # the bar was drawn
    lines = re.split(r"\r\n|\r|\n", text)
    assert any(line.startswith("g0\tg1\tg2\t") for line in lines), text[-500:]


def test_version_and_a_rule_the_library_does_not_know(tmp_path):
    version = run_cli("--version")
    assert re.fullmatch(r"tolva \S.*\n", version.stdout) and version.returncode == 0
    corpus = write_lines(tmp_path / "c.jsonl", read_data("molecules", 50))
    for rule in ("x", ""):
        done = run_cli("--candidate-rule", rule, corpus)
        assert (done.returncode, done.stdout) == (2, "")
        assert done.stderr.count("error:") == 1  # once, not once per graph
        assert done.stderr.splitlines()[-1].startswith("tolva: error: argument --candidate-rule: ")
    assert "single quotes" in done.stderr
    assert "single quotes" in run_cli("--help").stdout
    # The default thread count follows the processors this process may use, not the machine's.
    pinned = run_cli("--help", cpus={min(os.sched_getaffinity(0))})
    assert "here 1)" in " ".join(pinned.stdout.split())
    assert run_cli("--candidate-rule", "$degree", ETHANOL).returncode == 0


@pytest.mark.parametrize("error, text", [
    (ValueError("graph 12: unsupported: x"), "unsupported: x"),
    (MemoryError("graph 3: out of memory"), "out of memory"),
    (ValueError("parse error: graph 1: y"), "parse error: graph 1: y"),
])
def test_failure_text_drops_the_batch_position(error, text):
    assert failure_text(error) == text


@pytest.mark.parametrize("limits, sizes", [
    (BatchLimits(), [64, 1024, 912]),                           # a small first batch, then full ones
    (BatchLimits(graphs=1), [1] * 2000),
    (BatchLimits(size=30 * 100), [64] + [100] * 19 + [36]),     # 30 nodes and edges a graph
])
def test_batches_keep_order_and_limits(limits, sizes):
    entries = [type("Entry", (), {"graph": graph([("a", "A")], [("a", "b", "1")] * 28)})() for _ in range(2000)]
    batches = list(batched(iter(entries), limits))
    assert [len(b) for b in batches] == sizes
    assert [e for b in batches for e in b] == entries


def test_a_batch_without_memory_is_retried_one_graph_at_a_time():
    graphs = [tolva.graph_from_edges([("a", str(i))], []) for i in range(3)]

    def call(batch):
        if len(batch) > 1 or batch[0] is graphs[1]:
            raise MemoryError
        return [f"s{batch[0].node_labels()[0][1]}"]

    results = Canonizer.each(graphs, call, str)
    assert [r if isinstance(r, str) else type(r) for r in results] == ["s0", MemoryError, "s2"]


def test_ctrl_c_while_the_reader_thread_waits_on_standard_input_ends_the_run_cleanly():
    process = subprocess.Popen(cli_command("-j", "2", "-"), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, cwd=ROOT, env=cli_env(), preexec_fn=interruptible)
    tasks = f"/proc/{process.pid}/task"
    deadline = time.monotonic() + 60
    while len(os.listdir(tasks)) < 2 and time.monotonic() < deadline:  # the reader thread is waiting
        time.sleep(0.05)
    process.send_signal(signal.SIGINT)
    _, stderr = process.communicate(timeout=60)
    process.stdin.close()
    assert (process.returncode, stderr) == (130, b"")


def test_writing_behind_keeps_the_order_and_raises_the_writers_error_on_the_callers_thread():
    seen = []

    def handle(item):
        if item == 3:
            raise OSError("disk full")
        seen.append(item)

    with pytest.raises(OSError, match="disk full"), Behind(handle) as behind:
        for item in range(50):
            behind.put(item)
        behind.finish()
    assert seen == [0, 1, 2]
