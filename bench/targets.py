#!/usr/bin/env python3
"""The speed and memory targets of tolva, measured on generated graphs against the frozen
reference build and against exact peers (pynauty, igraph's bliss) in the same run.

    python bench/targets.py                      # Markdown table on stdout
    python bench/targets.py --reference build/reference/_tolva.abi3.so --timeout 60
    python bench/targets.py --rows "parallel edges" --no-peers     # some rows only

Each row runs in a child process of its own, which builds the graph (not timed), makes one
call and reports the call's CPU seconds and the child's peak resident memory (VmHWM). A row
that does not finish within the timeout is reported as such; a reference row that would take
much longer than the timeout is not started at all (its figure from bench/RESULTS.md of the
reference run is quoted instead). Graphs come from bench/families.py with fixed seeds.
"""

from __future__ import annotations

import argparse
import json
import pathlib
import random
import resource
import subprocess
import sys
import time

BENCH_DIR = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(BENCH_DIR))

import families  # noqa: E402

# (row, family, size, compact, target seconds); the size is in nodes (edges for the pair).
ROWS = [
    ("path 10^5 (both modes)", "path", 100_000, False, 1.0),
    ("path 10^5 compact", "path", 100_000, True, 1.0),
    ("path 10^6", "path", 1_000_000, False, 10.0),
    ("star 10^6", "star", 1_000_000, False, 10.0),
    ("random tree 10^5", "random_tree", 100_000, False, 1.0),
    ("random forest 10^5 compact", "random_forest", 100_000, True, 1.0),
    ("isolated nodes 10^5", "isolated", 100_000, False, 1.0),
    ("isolated nodes 10^6", "isolated", 1_000_000, False, 10.0),
    ("matching 10^5 nodes", "matching", 100_000, True, 1.0),
    ("one pair, 10^5 parallel edges", "parallel_pair", 100_000, False, 1.0),
    ("one pair, 10^5 parallel edges, compact", "parallel_pair", 100_000, True, 1.0),
    ("one pair, 10^6 parallel edges", "parallel_pair", 1_000_000, False, 10.0),
    ("30 x 30 grid, compact", "grid_2d", 900, True, 1.0),
    ("random 4-regular 500", "random_4_regular", 500, False, 1.0),
    ("random 4-regular 500, compact", "random_4_regular", 500, True, 1.0),
    ("G(n=2000, average degree 3)", "gnm", 2_000, False, 1.0),
    ("G(n=2000, average degree 3), compact", "gnm", 2_000, True, 1.0),
    ("chain of 40 diamonds, compact", "diamond_chain", 121, True, 1.0),
    ("chain of 19 diamonds (4.7 M nodes made)", "diamond_chain", 58, False, 1.0),
    ("random 3-regular 30,000, compact (guard limit)", "random_3_regular", 30_000, True, 0.1),
    ("cycle 10^4", "cycle", 10_000, False, 2.0),
]
MEMORY_ROWS = {"path 10^6", "star 10^6", "isolated nodes 10^6", "one pair, 10^6 parallel edges"}
MEMORY_TARGET_MB = 1024
# Reference rows not started: they run for far longer than any timeout (figures of the
# reference's own benchmark run, or estimates from its measured growth).
REFERENCE_KNOWN = {
    "path 10^5 (both modes)": "about an hour (quadratic)",
    "path 10^5 compact": "about an hour (quadratic)",
    "path 10^6": "days (quadratic)",
    "star 10^6": None,
    "random tree 10^5": None,
    "isolated nodes 10^6": "hours (quadratic)",
    "one pair, 10^6 parallel edges": "hours",
    "cycle 10^4": "hours (cubic)",
}

CHILD = """
import json, random, resource, sys, time
sys.path.insert(0, {bench!r})
import families
import importlib.machinery, importlib.util
path, family, size, compact = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4] == "1"
loader = importlib.machinery.ExtensionFileLoader("bench_target._tolva", path)
module_spec = importlib.util.spec_from_file_location("bench_target._tolva", path, loader=loader)
m = importlib.util.module_from_spec(module_spec)
loader.exec_module(m)
rng = random.Random(1)
alone = size if family == "isolated" else 0
nodes, edges = families.dress(families.FAMILIES[family](size, rng), rng, ".", "1", isolated_nodes=alone)
g = m.graph_from_edges(nodes, edges)
del nodes, edges
start = time.process_time()
try:
    text = str(m.to_cgraph_py(g, None, None, None, None, compact))
    outcome = "ok"
except (ValueError, MemoryError) as error:
    text, outcome = "", f"{{type(error).__name__}}: {{error}}"
cpu = time.process_time() - start
peak = next(int(l.split()[1]) for l in open("/proc/self/status") if l.startswith("VmHWM"))
print(json.dumps({{"cpu_s": cpu, "peak_mb": peak / 1024, "outcome": outcome, "length": len(text)}}))
"""

PEER_CHILD = """
import json, random, sys, time
sys.path.insert(0, {bench!r})
import families
peer, family, size = sys.argv[1], sys.argv[2], int(sys.argv[3])
rng = random.Random(1)
alone = size if family == "isolated" else 0
nodes, edges = families.dress(families.FAMILIES[family](size, rng), rng, ".", "1", isolated_nodes=alone)
index = {{node: i for i, (node, _) in enumerate(nodes)}}
pairs = [(index[a], index[b]) for a, b, _ in edges]
if peer == "pynauty":
    import pynauty
    adjacency = {{i: [] for i in range(len(nodes))}}
    for a, b in pairs:
        if a != b:
            adjacency[a].append(b)
    graph = pynauty.Graph(len(nodes), adjacency_dict=adjacency)
    start = time.process_time()
    pynauty.certificate(graph)
else:
    import igraph
    graph = igraph.Graph(n=len(nodes), edges=pairs)
    start = time.process_time()
    graph.canonical_permutation()
print(json.dumps({{"cpu_s": time.process_time() - start}}))
"""


def run_child(args: list[str], timeout: float, code: str) -> dict:
    def cap():
        resource.setrlimit(resource.RLIMIT_AS, (16 << 30, 16 << 30))

    try:
        done = subprocess.run([sys.executable, "-c", code.format(bench=str(BENCH_DIR)), *args],
                              capture_output=True, text=True, timeout=timeout, preexec_fn=cap)
    except subprocess.TimeoutExpired:
        return {"outcome": f"> {timeout:g} s"}
    if done.returncode != 0:
        return {"outcome": f"failed ({done.stderr.strip().splitlines()[-1:] or done.returncode})"}
    return json.loads(done.stdout.strip().splitlines()[-1])


def shown(result: dict) -> str:
    if "cpu_s" not in result:
        return result["outcome"]
    text = f"{result['cpu_s']:.3g} s"
    if result.get("outcome", "ok") != "ok":
        text += f" ({result['outcome'].split(':')[0]})"
    return text


def measure(candidate: str, reference: str | None, timeout: float, peers: bool,
            only: str | None = None) -> list[str]:
    lines = ["| graph | target | tolva | peak MB | frozen reference | pynauty | igraph (bliss) | met |",
             "|---|---:|---:|---:|---:|---:|---:|---|"]
    for row, family, size, compact, target in ROWS:
        if only is not None and only not in row:
            continue
        args = [family, str(size), "1" if compact else "0"]
        now = run_child([candidate, *args], timeout, CHILD)
        if reference and row in REFERENCE_KNOWN:
            then = REFERENCE_KNOWN[row] or shown(run_child([reference, *args], timeout, CHILD))
        elif reference:
            then = shown(run_child([reference, *args], timeout, CHILD))
        else:
            then = "-"
        peer = {name: shown(run_child([name, family, str(size)], timeout, PEER_CHILD)) if peers else "-"
                for name in ("pynauty", "igraph")}
        met = "cpu_s" in now and now["cpu_s"] <= target
        if row in MEMORY_ROWS and "peak_mb" in now:
            met = met and now["peak_mb"] <= MEMORY_TARGET_MB
        peak = f"{now['peak_mb']:.0f}" if "peak_mb" in now else ""
        goal = f"{target:g} s" + (f", {MEMORY_TARGET_MB} MB" if row in MEMORY_ROWS else "")
        lines.append(f"| {row} | {goal} | {shown(now)} | {peak} | {then} | {peer['pynauty']} | "
                     f"{peer['igraph']} | {'yes' if met else 'no'} |")
        print(lines[-1], file=sys.stderr, flush=True)
    return lines


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--candidate", help="extension module file (default: the importable tolva)")
    parser.add_argument("--reference", help="the frozen reference build's extension module file")
    parser.add_argument("--timeout", type=float, default=60.0)
    parser.add_argument("--no-peers", action="store_true")
    parser.add_argument("--rows", metavar="TEXT", help="only the rows whose name contains TEXT")
    options = parser.parse_args()
    candidate = options.candidate
    if candidate is None:
        import tolva._tolva

        candidate = tolva._tolva.__file__
    print("\n".join(measure(candidate, options.reference, options.timeout, not options.no_peers, options.rows)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
