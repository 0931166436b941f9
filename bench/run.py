#!/usr/bin/env python3
"""Benchmarks of tolva: molecule throughput, peers on the same molecules, scaling curves.

    pip install -r bench/requirements.txt                   # the peers and matplotlib
    scripts/dev-build build/mine
    PYTHONPATH=build/mine/pkg python bench/run.py            # full run: bench/RESULTS.md, bench/scaling.png
    PYTHONPATH=build/mine/pkg python bench/run.py --quick    # under five minutes: *-quick.md/.png
    PYTHONPATH=build/mine/pkg python bench/run.py --cli-threads-only   # that section of RESULTS.md only
    PYTHONPATH=build/mine/pkg python bench/run.py --dot-only # the DOT readers alone, printed

It checks first that tolva, the peers and the data are there, and says what to install when
they are not. The molecules are the test corpus tests/data/molecules.jsonl.xz. What is measured:

- throughput (graphs/s) of to_cgraph_py over molecules.jsonl with the defaults and with each
  option changed alone, of canonical_node_order_py, and of to_cgraph_many; graphs are built
  before the clock starts;
- the command line on the molecules, `tolva -q -j 1` against `-j N` (N the processors this
  process may use), several runs each, interleaved; medians of the wall times, and a check
  that the outputs are the same bytes;
- the peers a user would pick instead, on the same molecules, timing only their canonical
  form: RDKit canonical SMILES, networkx's Weisfeiler-Lehman hash, pynauty's certificate;
- DOT reading (MB/s) of read_dot and parse_dot on a generated edge list of about 100 MB and
  of read_dot on a generated file of about 20 MB that uses subgraphs, defaults, chains, node
  lists, ports, quoted and HTML ids and comments; the files are written before the clock
  starts, each reading is one call;
- quality (bench/quality.py): how many graphs get a text that depends on the input order, and
  how many pairs of non-isomorphic graphs share one, for keys and strings;
- scale-out (bench/scaleout.py): tolva.dask on a LocalCluster of 2 processes against `tolva
  dedup` in one process, on the same input;
- scaling curves: for each family a size of 10 nodes, doubled until one call takes longer
  than the time budget, each size in its own subprocess under a memory cap and a timeout (a
  killed, failed or timed-out size ends the curve); time of one to_cgraph_py call and peak
  resident memory of the child; the growth exponent fitted by least squares on log-log.
"""

from __future__ import annotations

import argparse
import datetime
import json
import lzma
import math
import os
import pathlib
import platform
import re
import resource
import selectors
import statistics
import subprocess
import sys
import time

BENCH_DIR = pathlib.Path(__file__).resolve().parent
REPO_ROOT = BENCH_DIR.parent
MOLECULES = REPO_ROOT / "tests" / "data" / "molecules.jsonl.xz"
# The peers, the plot, and the scale-out section's Dask (tolva[dask]).
PEERS = ("rdkit", "networkx", "pynauty", "matplotlib", "dask", "distributed", "pandas", "pyarrow")
CLI_SECTION = "## Command line threads"

# (family, compact) pairs of the scaling curves, in report order.
CURVES = [
    ("path", False),
    ("star", False),
    ("cycle", False),
    ("grid_2d", True),
    ("random_3_regular", False),
    ("random_3_regular", True),
    ("barabasi_albert", False),
    ("barabasi_albert", True),
    ("diamond_chain", False),
    ("diamond_chain", True),
]
FIRST_SIZE = 10
BUILD_TIMEOUT_S = 300


# ---------------------------------------------------------------- graph families

def family_edges(family: str, n: int) -> list[tuple[str, str]]:
    """The edges of a family member with about n nodes (ids are decimal strings)."""
    if family == "path":
        return [(str(i), str(i + 1)) for i in range(n - 1)]
    if family == "star":
        return [("0", str(i)) for i in range(1, n)]
    if family == "cycle":
        return [(str(i), str((i + 1) % n)) for i in range(n)]
    if family == "grid_2d":
        side = max(2, round(math.sqrt(n)))
        edges = []
        for r in range(side):
            for c in range(side):
                if c + 1 < side:
                    edges.append((f"{r},{c}", f"{r},{c + 1}"))
                if r + 1 < side:
                    edges.append((f"{r},{c}", f"{r + 1},{c}"))
        return edges
    if family == "diamond_chain":
        # k 4-cycles glued at opposite corners: cut nodes c0..ck, sides t1..tk and b1..bk.
        edges = []
        for i in range(1, max(1, (n - 1) // 3) + 1):
            for side in ("t", "b"):
                edges += [(f"c{i - 1}", f"{side}{i}"), (f"{side}{i}", f"c{i}")]
        return edges
    import networkx as nx

    if family == "random_3_regular":
        graph = nx.random_regular_graph(3, n + n % 2, seed=1)
    elif family == "barabasi_albert":
        graph = nx.barabasi_albert_graph(n, 2, seed=1)
    else:
        raise ValueError(f"unknown family {family}")
    return [(str(a), str(b)) for a, b in graph.edges()]


def peak_resident_kb() -> int:
    """This process's own peak resident size. ru_maxrss would also count the parent's size at
    the fork, which Linux carries over an exec; VmHWM belongs to the new image alone."""
    for line in pathlib.Path("/proc/self/status").read_text().splitlines():
        if line.startswith("VmHWM:"):
            return int(line.split()[1])
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss


def run_child(family: str, compact: bool, n: int) -> None:
    """Subprocess side of one curve point: build, say so, time the call, report as JSON."""
    import tolva

    edges = family_edges(family, n)
    graph = tolva.graph_from_edges([], [(a, b, "1") for a, b in edges])
    rss_before = peak_resident_kb()
    print("built", flush=True)
    try:
        start = time.perf_counter()
        tolva.to_cgraph_py(graph, None, None, None, None, compact)
        times = [time.perf_counter() - start]
        # Fast calls are repeated so that the median means something.
        while sum(times) < 0.25 and len(times) < 2000:
            start = time.perf_counter()
            tolva.to_cgraph_py(graph, None, None, None, None, compact)
            times.append(time.perf_counter() - start)
    except MemoryError:
        print(json.dumps({"error": "MemoryError"}), flush=True)
        return
    except ValueError as error:  # the node or repair limit: the curve ends there, said so
        print(json.dumps({"error": f"ValueError: {error}"}), flush=True)
        return
    print(json.dumps({
        "nodes": graph.node_count,
        "seconds": statistics.median(times),
        "calls": len(times),
        "rss_before_kb": rss_before,
        "rss_peak_kb": peak_resident_kb(),
    }), flush=True)


# ---------------------------------------------------------------- scaling curves

class ChildLines:
    """Lines of a child's unbuffered stdout, each awaited until a deadline."""

    def __init__(self, process: subprocess.Popen):
        self.fd = process.stdout.fileno()
        self.pending = b""
        self.ended = False

    def next(self, deadline: float) -> str | None:
        """The next line, or None at the deadline or at the end of the output."""
        with selectors.DefaultSelector() as selector:
            selector.register(self.fd, selectors.EVENT_READ)
            while b"\n" not in self.pending:
                left = deadline - time.monotonic()
                if left <= 0 or not selector.select(timeout=left):
                    return None
                chunk = os.read(self.fd, 65536)
                if not chunk:
                    self.ended = True
                    return None
                self.pending += chunk
        line, self.pending = self.pending.split(b"\n", 1)
        return line.decode()


def measure_point(family: str, compact: bool, n: int, budget: float, memory_cap: int) -> dict:
    def cap_memory():
        resource.setrlimit(resource.RLIMIT_AS, (memory_cap, memory_cap))

    command = [sys.executable, str(pathlib.Path(__file__).resolve()), "--child",
               family, "compact" if compact else "default", str(n)]
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                               bufsize=0, preexec_fn=cap_memory)
    lines = ChildLines(process)
    try:
        if lines.next(time.monotonic() + BUILD_TIMEOUT_S) is None:
            return {"n": n, "status": "failed while building"}
        # Twice the budget tells that the call exceeds it; waiting longer would add nothing.
        timeout = 2 * budget
        line = lines.next(time.monotonic() + timeout)
        if line is None and not lines.ended:
            return {"n": n, "status": f"timed out (> {timeout:g} s)"}
        if line is None:
            return {"n": n, "status": f"killed (exit {process.wait()})"}
        result = json.loads(line)
        if result.get("error") == "MemoryError":
            return {"n": n, "status": f"MemoryError (cap {memory_cap >> 30} GiB)"}
        if "error" in result:
            return {"n": n, "status": result["error"]}
        return {"n": result["nodes"], "status": "ok", **result}
    finally:
        if process.poll() is None:
            process.kill()
        process.wait()


def scaling_curve(family: str, compact: bool, budget: float, max_nodes: int, memory_cap: int) -> list[dict]:
    points, n = [], FIRST_SIZE
    while n <= max_nodes:
        point = measure_point(family, compact, n, budget, memory_cap)
        points.append(point)
        shown = f"{point['seconds']:.4f} s" if point["status"] == "ok" else point["status"]
        print(f"  {family} {'compact' if compact else 'default'} n={point['n']}: {shown}", flush=True)
        if point["status"] != "ok" or point["seconds"] > budget:
            break
        n *= 2
    return points


def growth_exponent(points: list[dict]) -> float | None:
    """Least-squares slope of log(time) on log(nodes), over the points of at least 1 ms."""
    ok = [p for p in points if p["status"] == "ok"]
    used = [p for p in ok if p["seconds"] >= 1e-3]
    if len(used) < 2:
        used = ok
    if len(used) < 2:
        return None
    xs = [math.log(p["nodes"]) for p in used]
    ys = [math.log(p["seconds"]) for p in used]
    mx, my = statistics.fmean(xs), statistics.fmean(ys)
    sxx = sum((x - mx) ** 2 for x in xs)
    return sum((x - mx) * (y - my) for x, y in zip(xs, ys)) / sxx if sxx else None


# ---------------------------------------------------------------- molecules and peers

def available_cores() -> int:
    try:
        return len(os.sched_getaffinity(0))
    except (AttributeError, OSError):
        return os.cpu_count() or 1


def missing_requirements(peers: bool) -> list[str]:
    """What keeps the benchmark from running, each with what to do about it."""
    import importlib.util

    problems = []
    if importlib.util.find_spec("tolva") is None:
        problems.append("tolva: `pip install .`, or `scripts/dev-build build/mine` and "
                        "PYTHONPATH=build/mine/pkg")
    missing = [name for name in PEERS if peers and importlib.util.find_spec(name) is None]
    if missing:
        problems.append(f"{', '.join(missing)}: `pip install -r bench/requirements.txt`")
    if not MOLECULES.exists():
        problems.append(f"{MOLECULES.relative_to(REPO_ROOT)}: part of the repository; restore it with git")
    return problems


def load_molecules(limit: int | None) -> list[dict]:
    with lzma.open(MOLECULES, "rt", encoding="utf-8") as lines:
        return [json.loads(line) for line, _ in zip(lines, range(limit or 10**9))]


def cli_threads(runs: int) -> dict:
    """Wall times of `tolva -q -j 1` and `-j N` on the molecules (plain JSON Lines, as a user
    has them), runs interleaved so that both see the same machine."""
    import tempfile

    import compileall
    import tolva

    jobs = [1, max(2, available_cores())]
    # An installed package has its bytecode compiled (pip does it); a build used through
    # PYTHONPATH may not, and with PYTHONDONTWRITEBYTECODE every run would compile the
    # modules again, a serial cost users do not pay.
    compileall.compile_dir(pathlib.Path(tolva.__file__).parent, quiet=1)
    load_before = " ".join(pathlib.Path("/proc/loadavg").read_text().split()[:3])
    times: dict[int, list[float]] = {j: [] for j in jobs}
    with tempfile.TemporaryDirectory() as folder:
        python = clean_interpreter(pathlib.Path(folder) / "venv", pathlib.Path(tolva.__file__).parent.parent)
        corpus = pathlib.Path(folder) / "molecules.jsonl"
        with lzma.open(MOLECULES) as packed:
            corpus.write_bytes(packed.read())
        outputs = {}
        for _ in range(runs):
            for j in jobs:
                out = pathlib.Path(folder) / f"out-{j}.txt"
                start = time.perf_counter()
                subprocess.run([python, "-m", "tolva", "-q", "-j", str(j), "-o", str(out), str(corpus)], check=True)
                times[j].append(time.perf_counter() - start)
                outputs[j] = out.read_bytes()
        identical = len(set(outputs.values())) == 1
    medians = {j: statistics.median(t) for j, t in times.items()}
    result = {"jobs": jobs, "load_before": load_before, "times": times, "medians": medians, "identical": identical,
              # Each run of -j 1 beside the -j N run after it: the median of those ratios holds
              # still while the shared machine's speed drifts.
              "speedup": statistics.median(one / many for one, many in zip(times[jobs[0]], times[jobs[1]])),
              "graphs": outputs[jobs[0]].count(b"\n")}
    print(f"  -j {jobs[0]}: {medians[jobs[0]]:.2f} s, -j {jobs[1]}: {medians[jobs[1]]:.2f} s, "
          f"speedup {result['speedup']:.2f}, same output: {identical}", flush=True)
    return result


def clean_interpreter(folder: pathlib.Path, packages: pathlib.Path) -> str:
    """The interpreter of a new virtual environment in `folder` that imports tolva from
    `packages` and nothing else: the command's start is then what a user's installation
    costs, not the start-up hooks (.pth files) of the packages this interpreter has."""
    import venv

    venv.create(folder, with_pip=False)
    python = folder / "bin" / "python"
    site = subprocess.run([python, "-c", "import sysconfig; print(sysconfig.get_paths()['purelib'])"],
                          check=True, capture_output=True, text=True).stdout.strip()
    (pathlib.Path(site) / "tolva-under-test.pth").write_text(f"{packages}\n")
    return str(python)


def cli_section(result: dict) -> list[str]:
    one, many = result["jobs"]
    lines = [
        f"{CLI_SECTION} (`tolva -j`)",
        "",
        f"`tolva -q -j N -o FILE molecules.jsonl` ({result['graphs']:,} graphs, the corpus decompressed), "
        f"{len(result['times'][one])} runs of each N, interleaved; wall time of the whole command",
        "(start, reading, computing, writing), run by a new virtual environment's interpreter that has",
        "tolva and nothing else. The outputs of every N are compared byte for byte.",
        f"tolva {tolva_revision()}; load average {result['load_before']} before the runs, "
        f"{' '.join(pathlib.Path('/proc/loadavg').read_text().split()[:3])} after.",
        "",
        "| -j | median s | runs s |",
        "|---:|---:|---|",
    ]
    for j in result["jobs"]:
        lines.append(f"| {j} | {result['medians'][j]:.2f} | {', '.join(f'{t:.2f}' for t in result['times'][j])} |")
    lines += ["", f"Speed-up of -j {many} over -j {one} (median of the ratios of the runs in pairs): "
              f"**{result['speedup']:.2f}x**; "
              f"outputs identical: {'yes' if result['identical'] else 'NO'}."]
    return lines


def replace_section(text: str, heading: str, section: list[str]) -> str:
    """`text` with the section starting at `heading` (up to the next "## ") replaced; a text
    without it gets it where a full run puts it, before "## Scaling"."""
    lines = text.rstrip("\n").split("\n")
    start = next((i for i, line in enumerate(lines) if line.startswith(heading)), None)
    if start is None:
        start = next((i for i, line in enumerate(lines) if line.startswith("## Scaling")), len(lines))
        end = start
        section = ([""] if start == len(lines) else []) + section
    else:
        end = next((i for i in range(start + 1, len(lines)) if lines[i].startswith("## ")), len(lines))
    return "\n".join(lines[:start] + section + ([""] if end < len(lines) else []) + lines[end:]) + "\n"


def rate(count: int, call) -> dict:
    cpu_start, start = time.process_time(), time.perf_counter()
    call()
    seconds = time.perf_counter() - start
    cpu = time.process_time() - cpu_start
    return {"graphs": count, "seconds": seconds, "per_s": count / seconds, "cpu_s": cpu}


def tolva_throughput(molecules: list[dict]) -> dict[str, dict]:
    import tolva

    graphs = [tolva.graph_from_edges([tuple(n) for n in g["nodes"]], [tuple(e) for e in g["edges"]])
              for g in molecules]
    cgraph = tolva.to_cgraph_py
    runs = {
        "to_cgraph_py, defaults": lambda: [cgraph(g, None, None, None, None, None) for g in graphs],
        "to_cgraph_py, allow_hashes=False": lambda: [cgraph(g, None, None, False, None, None) for g in graphs],
        "to_cgraph_py, compress=False": lambda: [cgraph(g, None, None, None, False, None) for g in graphs],
        "to_cgraph_py, compact=True": lambda: [cgraph(g, None, None, None, None, True) for g in graphs],
        "canonical_node_order_py, defaults": lambda: [tolva.canonical_node_order_py(g) for g in graphs],
        "to_cgraph_many, defaults, workers=1": lambda: tolva.to_cgraph_many(graphs, workers=1),
        f"to_cgraph_many, defaults, workers={available_cores()} (all cores)":
            lambda: tolva.to_cgraph_many(graphs),
    }
    results = {}
    for name, call in runs.items():
        results[name] = rate(len(graphs), call)
        print(f"  {name}: {results[name]['per_s']:.0f} graphs/s", flush=True)
    return results


# ---------------------------------------------------------------- DOT readers

EDGE_LIST_NODES = 1_000_000
EDGE_LIST_BYTES = 100_000_000
FEATURE_FILE_BYTES = 20_000_000


def write_edge_list(path: pathlib.Path) -> None:
    """`nU -- nV;` lines between random nodes of a million, up to about 100 MB."""
    import random

    rng = random.Random(1)
    with path.open("w", encoding="utf-8") as out:
        out.write("graph edges {\n")
        while out.tell() < EDGE_LIST_BYTES:
            out.write("".join(f"n{rng.randrange(EDGE_LIST_NODES)} -- n{rng.randrange(EDGE_LIST_NODES)};\n"
                              for _ in range(10_000)))
        out.write("}\n")


def write_feature_file(path: pathlib.Path) -> None:
    """Clusters with defaults, chains, node lists, subgraph ends, ports, quoted and HTML ids
    and comments, up to about 20 MB."""
    with path.open("w", encoding="utf-8") as out:
        out.write("// generated\nstrict graph \"features\" {\n  node [shape=circle, label=\"\\N\"]\n")
        block = 0
        while out.tell() < FEATURE_FILE_BYTES:
            i = block
            out.write(
                f"  subgraph cluster_{i} {{\n"
                f"    label = \"block {i}\"; node [label=\"L{i % 7}\"]; edge [weight=2]\n"
                f"    \"a{i}\" -- b{i} -- {{ c{i} d{i} }} [weight=ar]; // a chain into a subgraph\n"
                f"    e{i}:p1:n, f{i} -- <h{i}> /* ports, a node list, an HTML id */\n"
                f"    b{i} [label=\"B\" + \"{i % 3}\", color=red]\n"
                f"  }} -- a{i + 1}\n")
            block += 1
        out.write("}\n")


def read_rate(path: pathlib.Path, call, runs: int = 3) -> dict:
    """The median of `runs` calls by wall time (a shared machine's memory speed drifts)."""
    size = path.stat().st_size
    timings = []
    for _ in range(runs):
        cpu_start, start = time.process_time(), time.perf_counter()
        graph = call()
        timings.append((time.perf_counter() - start, time.process_time() - cpu_start))
        nodes, edges = graph.node_count, graph.edge_count
        del graph
    seconds, cpu = sorted(timings)[len(timings) // 2]
    return {"mb": size / 1e6, "seconds": seconds, "cpu_s": cpu, "mb_per_s": size / 1e6 / seconds,
            "mb_per_cpu_s": size / 1e6 / cpu, "nodes": nodes, "edges": edges}


def dot_throughput() -> dict[str, dict]:
    import tempfile

    import tolva

    results = {}
    with tempfile.TemporaryDirectory() as directory:
        edge_list = pathlib.Path(directory) / "edges.dot"
        features = pathlib.Path(directory) / "features.gv"
        write_edge_list(edge_list)
        write_feature_file(features)
        runs = {
            "read_dot, edge list": (edge_list, lambda: tolva.read_dot(edge_list)),
            "parse_dot (line reader), edge list": (edge_list, lambda: tolva.parse_dot(str(edge_list))),
            "read_dot, feature-rich file": (features, lambda: tolva.read_dot(features)),
        }
        for name, (path, call) in runs.items():
            results[name] = read_rate(path, call)
            print(f"  {name}: {results[name]['mb_per_s']:.1f} MB/s", flush=True)
    return results


def dot_report(results: dict[str, dict]) -> list[str]:
    lines = [
        "## DOT readers",
        "",
        f"Each row reads a generated file: an edge list (`nU -- nV;`, random pairs among "
        f"{EDGE_LIST_NODES:,} nodes) and a strict graph of clusters using defaults, chains, node lists, "
        "subgraph ends, ports, quoted and HTML ids and comments. The time includes reading the file and "
        "building the graph store; CPU s is the process's CPU time; each row is the median of three calls.",
        "",
        "| reader, file | MB | nodes | edges | wall s | MB/s | CPU s | MB/CPU s |",
        "|---|---:|---:|---:|---:|---:|---:|---:|",
    ]
    lines += [f"| {name} | {r['mb']:.0f} | {r['nodes']:,} | {r['edges']:,} | {r['seconds']:.2f} | "
              f"{r['mb_per_s']:.1f} | {r['cpu_s']:.2f} | {r['mb_per_cpu_s']:.1f} |" for name, r in results.items()]
    return lines + [""]


CHARGED_LABEL = re.compile(r"([A-Z][a-z]?)([+-]\d*)?")


def rdkit_mol(graph: dict):
    """A bare RDKit molecule: element and charge from the label, bond order from the modality."""
    from rdkit import Chem

    bond_types = {"1": Chem.BondType.SINGLE, "2": Chem.BondType.DOUBLE,
                  "3": Chem.BondType.TRIPLE, "ar": Chem.BondType.AROMATIC}
    mol = Chem.RWMol()
    index = {}
    for node_id, label in graph["nodes"]:
        symbol, charge = CHARGED_LABEL.fullmatch(label).groups()
        atom = Chem.Atom(symbol)
        if charge:
            atom.SetFormalCharge((1 if charge[0] == "+" else -1) * int(charge[1:] or 1))
        atom.SetNoImplicit(True)
        index[node_id] = mol.AddAtom(atom)
    for a, b, modality in graph["edges"]:
        bond = mol.GetBondWithIdx(mol.AddBond(index[a], index[b], bond_types[modality]) - 1)
        if modality == "ar":
            bond.SetIsAromatic(True)
            bond.GetBeginAtom().SetIsAromatic(True)
            bond.GetEndAtom().SetIsAromatic(True)
    mol = mol.GetMol()
    mol.UpdatePropertyCache(strict=False)
    return mol


def networkx_graph(graph: dict):
    import networkx as nx

    g = nx.Graph()
    g.add_nodes_from((node_id, {"label": label}) for node_id, label in graph["nodes"])
    g.add_edges_from((a, b, {"modality": modality}) for a, b, modality in graph["edges"])
    return g


def pynauty_graph(graph: dict):
    """Nodes coloured by label; each edge subdivided by a node coloured by its modality."""
    import pynauty

    ids = [node_id for node_id, _ in graph["nodes"]]
    position = {node_id: i for i, node_id in enumerate(ids)}
    colour = {i: "n:" + label for i, (_, label) in enumerate(graph["nodes"])}
    adjacency = {i: [] for i in range(len(ids) + len(graph["edges"]))}
    for k, (a, b, modality) in enumerate(graph["edges"]):
        middle = len(ids) + k
        colour[middle] = "e:" + modality
        adjacency[middle] = [position[a], position[b]]
    classes: dict[str, set[int]] = {}
    for vertex, name in colour.items():
        classes.setdefault(name, set()).add(vertex)
    return pynauty.Graph(len(adjacency), adjacency_dict=adjacency,
                         vertex_coloring=[classes[name] for name in sorted(classes)])


def peer_throughput(molecules: list[dict]) -> dict[str, dict]:
    from rdkit import Chem
    import networkx as nx
    import pynauty

    mols = [rdkit_mol(g) for g in molecules]
    nx_graphs = [networkx_graph(g) for g in molecules]
    nauty_graphs = [pynauty_graph(g) for g in molecules]
    runs = {
        "RDKit canonical SMILES": (len(mols), lambda: [Chem.MolToSmiles(m) for m in mols]),
        "networkx weisfeiler_lehman_graph_hash": (len(nx_graphs), lambda: [
            nx.weisfeiler_lehman_graph_hash(g, edge_attr="modality", node_attr="label")
            for g in nx_graphs]),
        "pynauty certificate (edge labels by subdivision)": (len(nauty_graphs), lambda: [
            pynauty.certificate(g) for g in nauty_graphs]),
    }
    results = {}
    for name, (count, call) in runs.items():
        results[name] = rate(count, call)
        print(f"  {name}: {results[name]['per_s']:.0f} graphs/s", flush=True)
    return results


# ---------------------------------------------------------------- report

def machine_note() -> list[str]:
    cpu, cores = "unknown CPU", 0
    for line in pathlib.Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name") and cpu == "unknown CPU":
            cpu = line.split(":", 1)[1].strip()
        if line.startswith("processor"):
            cores += 1
    memory = "?"
    for line in pathlib.Path("/proc/meminfo").read_text().splitlines():
        if line.startswith("MemTotal"):
            memory = f"{int(line.split()[1]) / 2**20:.1f} GiB"
    load = " ".join(pathlib.Path("/proc/loadavg").read_text().split()[:3])
    return [f"{cpu}, {cores} logical CPUs, {memory} memory",
            f"Linux {platform.release()}, Python {platform.python_version()}",
            f"load average at the end {load} (other work shares the machine)"]


def versions() -> str:
    from importlib.metadata import PackageNotFoundError, version

    shown = []
    for name in ("rdkit", "networkx", "pynauty", "matplotlib"):
        try:
            shown.append(f"{name} {version(name)}")
        except PackageNotFoundError:
            shown.append(f"{name} (not installed)")
    return ", ".join(shown)


def tolva_revision() -> str:
    try:
        head = subprocess.run(["git", "rev-parse", "--short", "HEAD"], cwd=REPO_ROOT, text=True,
                              capture_output=True, check=True).stdout.strip()
        dirty = subprocess.run(["git", "status", "--porcelain", "--", "src"], cwd=REPO_ROOT,
                               text=True, capture_output=True, check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return "unknown revision"
    return head + (" with uncommitted changes under src/" if dirty else "")


def plot(curves: dict[str, list[dict]], path: pathlib.Path, budget: float) -> None:
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    fig, ax = plt.subplots(figsize=(9, 6))
    for (family, mode), points in curves.items():
        ok = [p for p in points if p["status"] == "ok"]
        if ok:
            ax.plot([p["nodes"] for p in ok], [p["seconds"] for p in ok], marker="o",
                    label=f"{family} ({mode})")
    ax.axhline(budget, color="grey", linestyle=":", label=f"time budget ({budget:g} s)")
    ax.set_xscale("log")
    ax.set_yscale("log")
    ax.set_xlabel("nodes")
    ax.set_ylabel("seconds per to_cgraph_py call")
    ax.set_title("tolva: time against graph size")
    ax.grid(True, which="both", alpha=0.3)
    ax.legend(fontsize=8)
    fig.tight_layout()
    fig.savefig(path, dpi=110)
    plt.close(fig)


# Measurements made apart from this script (one-off comparisons) follow this line in the
# results file; a new run keeps them.
KEPT_MARKER = "<!-- Written by hand below this line; bench/run.py keeps it. -->"


def kept_sections(path: pathlib.Path) -> str:
    old = path.read_text(encoding="utf-8") if path.exists() else ""
    at = old.find(KEPT_MARKER)
    return "" if at < 0 else "\n" + old[at:]


def report(args, throughput, peers, cli, curves, plot_name: str, dot: dict[str, dict]) -> str:
    lines = [
        "# tolva benchmark results",
        "",
        f"Made by `python bench/run.py{' --quick' if args.quick else ''}` on "
        f"{datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d %H:%M} UTC, tolva "
        f"{args.revision or tolva_revision()}.",
        "",
        "Machine: " + "; ".join(machine_note()) + ". Peers: " + versions() + ".",
        "Timings are wall-clock; on a busy machine read them as rough, and the multi-thread row",
        "as a lower bound on what the extra cores give.",
        "",
        f"## Throughput on molecules.jsonl ({next(iter(throughput.values()))['graphs']} graphs)",
        "",
        "Graphs are built before the clock starts; each row is one pass over all of them. CPU s",
        "is the process's CPU time in the pass: above the wall time, threads ran side by side.",
        "",
        "| call | graphs/s | wall s | CPU s |",
        "|---|---:|---:|---:|",
    ]
    lines += [f"| {name} | {r['per_s']:,.0f} | {r['seconds']:.2f} | {r['cpu_s']:.2f} |"
              for name, r in throughput.items()]
    base = throughput["to_cgraph_py, defaults"]["per_s"]
    lines += [
        "",
        "## Peers on the same molecules",
        "",
        "Only the canonical form is timed (molecules and graphs are built first). The ratio is",
        "tolva's `to_cgraph_py` with defaults, one thread, divided by the peer: below 1, the peer",
        "is faster. RDKit writes canonical SMILES of a bare molecule built from the graph (element",
        "and charge from the label, bond order 1/2/3/aromatic, no implicit hydrogens); networkx",
        "hashes with labels and modalities as attributes (3 iterations, invariant but not",
        "complete); pynauty colours nodes by label and handles edge labels by subdividing each",
        "edge with a node coloured by its modality.",
        "",
        "| peer | graphs/s | tolva / peer |",
        "|---|---:|---:|",
    ]
    lines += [f"| {name} | {r['per_s']:,.0f} | {base / r['per_s']:.2f} |" for name, r in peers.items()]
    lines += [""] + cli_section(cli)
    lines += ["", *dot_report(dot)]
    lines += [
        "## Scaling",
        "",
        f"One `to_cgraph_py` call per size, defaults except `compact`; sizes from {FIRST_SIZE} nodes,",
        f"doubled until a call takes more than {args.budget:g} s (or {args.max_nodes:,} nodes); each",
        f"size in its own process under a {args.memory_gib:g} GiB address-space cap, which is",
        "stopped at twice the budget. Time is the median of repeated calls for calls under",
        "0.25 s. Memory is the child's own peak resident size (VmHWM: its ru_maxrss would also",
        "count the parent's size at the fork), including Python and the graph; growth is the",
        "part added by the call. Labels are \".\" and modalities \"1\";",
        "random graphs use seed 1 (networkx generators). The exponent is the least-squares",
        "slope of log time on log nodes over the completed sizes of at least 1 ms; for a",
        "family that grows exponentially it only summarises the few sizes measured.",
        "",
        f"![time against size]({plot_name})",
        "",
        "| family | mode | exponent | largest completed | its time s | ended by |",
        "|---|---|---:|---:|---:|---|",
    ]
    for (family, mode), points in curves.items():
        ok = [p for p in points if p["status"] == "ok"]
        exponent = growth_exponent(points)
        shown_exponent = "" if exponent is None else f"{exponent:.2f}"
        last = points[-1]
        ended = (last["status"] if last["status"] != "ok" else
                 "time budget" if last["seconds"] > args.budget else "size limit")
        if ok:
            lines.append(f"| {family} | {mode} | {shown_exponent} | {ok[-1]['nodes']:,} | "
                         f"{ok[-1]['seconds']:.3g} | {ended} |")
        else:
            lines.append(f"| {family} | {mode} | | - | - | {ended} |")
    lines += ["", "### Points", "", "| family | mode | nodes | seconds | peak MB | growth MB |",
              "|---|---|---:|---:|---:|---:|"]
    for (family, mode), points in curves.items():
        for p in points:
            if p["status"] == "ok":
                lines.append(f"| {family} | {mode} | {p['nodes']:,} | {p['seconds']:.4g} | "
                             f"{p['rss_peak_kb'] / 1024:.0f} | {(p['rss_peak_kb'] - p['rss_before_kb']) / 1024:.0f} |")
            else:
                lines.append(f"| {family} | {mode} | ~{p['n']:,} | {p['status']} | | |")
    return "\n".join(lines) + "\n"


def main() -> int:
    if len(sys.argv) == 5 and sys.argv[1] == "--child":
        run_child(sys.argv[2], sys.argv[3] == "compact", int(sys.argv[4]))
        return 0
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--quick", action="store_true", help="smaller run, under five minutes")
    parser.add_argument("--budget", type=float, help="seconds per call that end a curve")
    parser.add_argument("--max-nodes", type=int, help="largest size tried")
    parser.add_argument("--memory-gib", type=float, default=4.0, help="address-space cap per size")
    parser.add_argument("--revision", help="what tolva build is measured (default: git HEAD)")
    parser.add_argument("--molecules", type=int, help="how many molecules (default: all; 1500 quick)")
    parser.add_argument("--cli-runs", type=int, default=5, help="runs of each -j (default 5)")
    parser.add_argument("--cli-threads-only", action="store_true",
                        help="measure only the command line's threads and replace that section of RESULTS.md")
    parser.add_argument("--dot-only", action="store_true", help="only the DOT readers, printed as Markdown")
    args = parser.parse_args()
    problems = missing_requirements(peers=not (args.cli_threads_only or args.dot_only))
    if problems:
        print("bench/run.py cannot run yet; it needs:\n" + "\n".join(f"  - {p}" for p in problems), file=sys.stderr)
        return 2
    if args.cli_threads_only:
        print("command line threads", flush=True)
        section = cli_section(cli_threads(args.cli_runs))
        results_path = BENCH_DIR / "RESULTS.md"
        old = results_path.read_text(encoding="utf-8") if results_path.exists() else ""
        results_path.write_text(replace_section(old, CLI_SECTION, section), encoding="utf-8")
        print(f"wrote that section of {results_path}")
        return 0
    if args.dot_only:
        print("\n".join(dot_report(dot_throughput())))
        return 0
    args.budget = args.budget or (1.0 if args.quick else 10.0)
    args.max_nodes = args.max_nodes or (200_000 if args.quick else 1_500_000)
    args.molecules = args.molecules or (1500 if args.quick else None)
    suffix = "-quick" if args.quick else ""
    started = time.monotonic()

    import tolva

    print(f"tolva from {pathlib.Path(tolva.__file__).parent}", flush=True)
    print("scaling", flush=True)
    curves = {}
    for family, compact in CURVES:
        curves[family, "compact" if compact else "default"] = scaling_curve(
            family, compact, args.budget, args.max_nodes, int(args.memory_gib * 2**30))
    molecules = load_molecules(args.molecules)
    print(f"throughput on {len(molecules)} molecules", flush=True)
    throughput = tolva_throughput(molecules)
    print("command line threads", flush=True)
    cli = cli_threads(2 if args.quick else args.cli_runs)
    print("peers", flush=True)
    peers = peer_throughput(molecules)
    print("DOT readers", flush=True)
    dot = dot_throughput()
    print("quality", flush=True)
    sys.path.insert(0, str(BENCH_DIR))
    from quality import quality_section

    quality = quality_section(2 if args.quick else 5, args.molecules)
    print("scale-out", flush=True)
    from scaleout import scale_out_section

    quality += "\n" + scale_out_section()
    plot_path = BENCH_DIR / f"scaling{suffix}.png"
    plot(curves, plot_path, args.budget)
    results_path = BENCH_DIR / f"RESULTS{suffix}.md"
    text = (report(args, throughput, peers, cli, curves, plot_path.name, dot) + "\n" + quality
            + kept_sections(results_path))
    results_path.write_text(text, encoding="utf-8")
    print(f"wrote {results_path} and {plot_path} in {time.monotonic() - started:.0f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
