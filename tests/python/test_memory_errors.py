"""Running out of memory inside the native code raises MemoryError and leaves
the interpreter working.

The batch case fails on a native worker thread and is raised in the caller.
Each case runs in a child interpreter whose address space is capped a little
above what it already uses, so the library's own allocations (std::bad_alloc)
are what fails.
"""

import subprocess
import sys
import textwrap

import pytest

CHILD = textwrap.dedent(
    """
    import os, resource, sys
    import tolva._tolva as m

    edges = [("c", f"l{i}", "1") for i in range(300_000)]
    step = sys.argv[1]
    star = m.graph_from_edges([], edges) if step != "build" else None
    with open("/proc/self/statm") as statm:
        used = int(statm.read().split()[0]) * os.sysconf("SC_PAGE_SIZE")
    soft, hard = resource.getrlimit(resource.RLIMIT_AS)
    resource.setrlimit(resource.RLIMIT_AS, (used + (16 << 20), hard))
    try:
        if step == "build":
            m.graph_from_edges([], edges)
        elif step == "canonize":
            m.to_cgraph_py(star, None, None, None, False, False)
        else:
            m.to_cgraph_many([star, star], compress=False, workers=2)
        outcome = "no error"
    except MemoryError:
        outcome = "MemoryError"
    resource.setrlimit(resource.RLIMIT_AS, (soft, hard))
    print(outcome, m.graph_from_edges([("a", "A")], [("a", "b", "1")]).node_count)
    """
)


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="needs /proc and RLIMIT_AS")
@pytest.mark.parametrize("step", ["build", "canonize", "batch"])
def test_exhausted_memory_raises_memory_error(step):
    child = subprocess.run([sys.executable, "-c", CHILD, step], capture_output=True, text=True,
                           timeout=300)
    assert child.returncode == 0, child.stderr
    assert child.stdout.split() == ["MemoryError", "2"]
