"""Running out of memory in the native code (a child interpreter with its address space capped a
little above what it uses) raises MemoryError, also from a batch's worker thread, and leaves the
interpreter working."""

import subprocess
import sys
import textwrap

import pytest

CHILD = textwrap.dedent("""
    import os, resource, sys
    import tolva._tolva as m

    edges, step = [("c", f"l{i}", "1") for i in range(300_000)], sys.argv[1]
    star = m.graph_from_edges([], edges)
    with open("/proc/self/statm") as statm:
        used = int(statm.read().split()[0]) * os.sysconf("SC_PAGE_SIZE")
    soft, hard = resource.getrlimit(resource.RLIMIT_AS)
    resource.setrlimit(resource.RLIMIT_AS, (used + (16 << 20), hard))
    try:
        calls = {"build": lambda: m.graph_from_edges([], edges),
                 "canonize": lambda: m.to_cgraph_py(star, None, None, None, False, False),
                 "batch": lambda: m.to_cgraph_many([star, star], compress=False, workers=2)}
        calls[step]()
        outcome = "no error"
    except MemoryError:
        outcome = "MemoryError"
    resource.setrlimit(resource.RLIMIT_AS, (soft, hard))
    print(outcome, m.graph_from_edges([("a", "A")], [("a", "b", "1")]).node_count)
""")


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="needs /proc and RLIMIT_AS")
@pytest.mark.parametrize("step", ["build", "canonize", "batch"])
def test_exhausted_memory_raises_memory_error(step):
    child = subprocess.run([sys.executable, "-c", CHILD, step], capture_output=True, text=True, timeout=300)
    assert child.returncode == 0, child.stderr
    assert child.stdout.split() == ["MemoryError", "2"]
