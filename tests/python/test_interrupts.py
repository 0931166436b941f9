"""Signals reach Python while native code runs: Ctrl-C stops a long call within a second and
raises KeyboardInterrupt (or whatever the handler raises), leaving the interpreter usable.
Each case runs in a child interpreter so a hang or crash cannot take the test run down."""

import os
import signal
import subprocess
import sys
import textwrap
import time

import pytest

from conftest import cli_env, interruptible

pytestmark = pytest.mark.skipif(not sys.platform.startswith("linux"), reason="POSIX signals")

# Every node of a long cycle ties as a candidate root, and each needs a DAG of the whole
# cycle: minutes of work. One node is labelled apart: a cycle alike all round looks the same
# from every node, and one DAG serves them all.
PRELUDE = textwrap.dedent("""
    import json, os, signal, sys, time
    import tolva._tolva as m

    n = 100_000
    cycle = m.graph_from_edges([("0", "X")], [(str(i), str((i + 1) % n), "1") for i in range(n)])
    small = m.graph_from_edges([], [("a", "b", "1"), ("b", "c", "1")])
    line = json.dumps(dict(name="c", nodes=[["0", "X"]],
                           edges=[[str(i), str((i + 1) % n), "1"] for i in range(n)])).encode()
""")

CALLS = {
    "single": "m.to_cgraph_py(cycle, None, None, None, None, None)",
    "order": "m.canonical_node_order_py(cycle)",
    "batch": "m.to_cgraph_many([cycle, cycle, cycle], workers=2)",
    "lines": "m.outputs_of_jsonl(line + b'\\n' + line, workers=2)",
    "stream": "m.outputs_of_jsonl_stream([(0, line), (1, line)], lambda tag, items: None, workers=2)",
    "fifo": "m.parse_dot(sys.argv[1])",
}

CHILD = PRELUDE + textwrap.dedent("""
    class Alarm(Exception):
        pass

    def on_alarm(signum, frame):
        raise Alarm()

    signal.signal(signal.SIGALRM, on_alarm)
    print("ready", flush=True)
    try:
        {call}
        print("finished", flush=True)
    except KeyboardInterrupt:
        print("KeyboardInterrupt", flush=True)
    except Alarm:
        print("Alarm", flush=True)
    # The interpreter and the library still work.
    print(m.to_cgraph_py(small, None, None, None, None, None), flush=True)
""")


def interrupt_child(call, signum, extra_args=()):
    """Starts the child, sends `signum` a moment after the call began, and returns (seconds
    from the signal to the child's exit, its output lines)."""
    child = subprocess.Popen([sys.executable, "-c", CHILD.format(call=CALLS[call]), *extra_args],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=cli_env(),
                             preexec_fn=interruptible)
    try:
        assert child.stdout.readline().strip() == "ready"
        time.sleep(1.0)  # well inside the native call by now
        child.send_signal(signum)
        sent = time.monotonic()
        out, err = child.communicate(timeout=60)
        return time.monotonic() - sent, out.split("\n"), err
    finally:
        child.kill()
        child.wait()


@pytest.mark.parametrize("call", ["single", "order", "batch", "lines", "stream"])
def test_ctrl_c_stops_a_long_call_within_a_second(call):
    elapsed, lines, err = interrupt_child(call, signal.SIGINT)
    assert lines[:2] == ["KeyboardInterrupt", "(.:1, .:1)."], err
    assert elapsed < 1.0


def test_a_handler_raising_its_own_exception_stops_the_call_with_it():
    elapsed, lines, err = interrupt_child("single", signal.SIGALRM)
    assert lines[:2] == ["Alarm", "(.:1, .:1)."], err
    assert elapsed < 1.0


@pytest.mark.parametrize("signum, expected", [(signal.SIGINT, "KeyboardInterrupt"), (signal.SIGALRM, "Alarm")])
def test_a_reader_waiting_on_a_fifo_raises_what_the_handler_raises(tmp_path, signum, expected):
    fifo = tmp_path / "graph.dot"
    os.mkfifo(fifo)
    elapsed, lines, err = interrupt_child("fifo", signum, [str(fifo)])
    assert lines[:2] == [expected, "(.:1, .:1)."], err
    assert elapsed < 1.0
