"""Running out of memory in the native code (a child interpreter with its address space capped a
little above what it uses) raises MemoryError, also from a batch's worker thread (naming the graph,
and kept in its place with on_error="return"), and leaves the interpreter working."""

import re
import subprocess
import sys
import textwrap

import pytest

from tolva._tolva import outputs_of_jsonl

CHILD = textwrap.dedent("""
    import os, resource, sys
    import tolva._tolva as m

    edges, step = [("c", f"l{i}", "1") for i in range(300_000)], sys.argv[1]
    star = m.graph_from_edges([], edges)
    ring = m.graph_from_edges([], [("a", "b", "1"), ("b", "c", "2"), ("c", "a", "1"), ("c", "d", "1")])
    ring_text = str(m.to_cgraph_py(ring, None, None, None, False, False))
    with open("/proc/self/statm") as statm:
        used = int(statm.read().split()[0]) * os.sysconf("SC_PAGE_SIZE")
    soft, hard = resource.getrlimit(resource.RLIMIT_AS)
    resource.setrlimit(resource.RLIMIT_AS, (used + (16 << 20), hard))
    try:
        calls = {"build": lambda: m.graph_from_edges([], edges),
                 "canonize": lambda: m.to_cgraph_py(star, None, None, None, False, False),
                 "batch": lambda: m.to_cgraph_many([star, star], compress=False, workers=2),
                 "returned": lambda: m.to_cgraph_many([star, star], compress=False, workers=2, on_error="return"),
                 # The worker that ran out of memory on the star goes on to the ring.
                 "then": lambda: m.to_cgraph_many([star, ring], compress=False, workers=1, on_error="return")}
        results = calls[step]()
        errors = [r for r in results if isinstance(r, MemoryError)] if step in ("returned", "then") else []
        outcome = f"MemoryError:{errors[0]}" if errors else "no error"
        if step == "then" and str(results[1]) != ring_text:
            outcome = "wrong_result_after_the_failure"
    except MemoryError as error:
        outcome = f"MemoryError:{error}"
    resource.setrlimit(resource.RLIMIT_AS, (soft, hard))
    print(outcome.replace(" ", "_"), m.graph_from_edges([("a", "A")], [("a", "b", "1")]).node_count)
""")


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="needs /proc and RLIMIT_AS")
@pytest.mark.parametrize("step", ["build", "canonize", "batch", "returned", "then"])
def test_exhausted_memory_raises_memory_error(step):
    child = subprocess.run([sys.executable, "-c", CHILD, step], capture_output=True, text=True, timeout=300)
    assert child.returncode == 0, child.stderr
    outcome, nodes = child.stdout.split()
    assert outcome.startswith("MemoryError") and nodes == "2"
    if step in ("batch", "returned"):
        assert re.fullmatch(r"MemoryError:graph_[01]:_out_of_memory", outcome)
    if step == "then":
        assert outcome == "MemoryError:graph_0:_out_of_memory"


EXHAUSTED = textwrap.dedent("""
    import ctypes, os, resource
    import tolva._tolva as m

    path = m.graph_from_edges([], [(f"n{i}", f"n{i + 1}", "1") for i in range(50)])
    malloc = ctypes.CDLL(None).malloc
    malloc.restype, malloc.argtypes = ctypes.c_void_p, [ctypes.c_size_t]
    with open("/proc/self/statm") as statm:
        used = int(statm.read().split()[0]) * os.sysconf("SC_PAGE_SIZE")
    resource.setrlimit(resource.RLIMIT_AS, (used + (16 << 20), resource.getrlimit(resource.RLIMIT_AS)[1]))
    size = 1 << 24
    while size:  # take every block malloc can still hand out, down to single bytes
        if not malloc(size):
            size //= 2
    try:
        m.to_cgraph_py(path, None, None, None, None, None)
    except MemoryError:
        os._exit(0)  # nothing is left to print with
    os._exit(1)
""")


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="needs /proc and RLIMIT_AS")
def test_first_throw_on_an_exhausted_heap_raises_memory_error():
    # The C++ runtime allocates a thread's exception state on its first throw; when that throw
    # is the bad_alloc of an exhausted heap, an unprepared thread ends the process (exit 127).
    child = subprocess.run([sys.executable, "-c", EXHAUSTED], capture_output=True, text=True, timeout=300)
    assert child.returncode == 0, child.stderr



# The child makes no thread before its cap, so that no thread stack is cached for later.
NO_THREADS = textwrap.dedent("""
    import os, resource, sys
    import tolva._tolva as m

    with open("/proc/self/statm") as statm:
        used = int(statm.read().split()[0]) * os.sysconf("SC_PAGE_SIZE")
    # Too little room for a thread's stack: the stream computes on the calling thread.
    resource.setrlimit(resource.RLIMIT_AS, (used + (4 << 20), resource.getrlimit(resource.RLIMIT_AS)[1]))
    handed = []
    m.outputs_of_jsonl_stream([(i, sys.argv[1].encode()) for i in range(5)],
                              lambda tag, items: handed.append((tag, items)), workers=2)
    print(repr(handed))
""")


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="needs /proc and RLIMIT_AS")
def test_a_stream_without_room_for_threads_computes_on_the_calling_thread():
    line = '{"name": "r", "nodes": [["a", "C"]], "edges": [["a", "b", "1"], ["b", "c", "2"], ["c", "a", "1"]]}'
    chunk = f"{line}\n{line}"
    child = subprocess.run([sys.executable, "-c", NO_THREADS, chunk], capture_output=True, text=True, timeout=300)
    assert child.returncode == 0, child.stderr
    assert child.stdout.strip() == repr([(i, outputs_of_jsonl(chunk.encode())) for i in range(5)])
