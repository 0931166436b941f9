#!/usr/bin/env python3
"""Golden outputs of large generated graphs: the structures where the fast paths of the
canonisation take shortcuts (long paths, forests, stars, matchings, isolated nodes, parallel
edges, cycles, grids, regular graphs, diamond chains), recorded once with the frozen reference
build, which needs minutes for some of them.

    python tests/golden/large_graphs.py --regenerate build/reference/_tolva.abi3.so
    python tests/golden/large_graphs.py --check           # with the importable tolva

The graphs come from bench/families.py with fixed seeds, so only their SHA-256 is stored
(a change to a generator shows up as a changed hash, not as a silently different test). Each
graph is run with the options listed for it; large.jsonl.xz keeps the canonical string and
the node order (or the error) of every run.
"""

from __future__ import annotations

import argparse
import hashlib
import json
import lzma
import multiprocessing
import pathlib
import random
import sys
import time

GOLDEN_DIR = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(GOLDEN_DIR.parents[1] / "bench"))

import families  # noqa: E402

GOLDEN_FILE = GOLDEN_DIR / "large.jsonl.xz"
DEFAULT, COMPACT = (True, True, False), (True, True, True)  # (allow_hashes, compress, compact)
PLAIN, PLAIN_COMPACT = (False, False, False), (False, False, True)
BOTH = (DEFAULT, COMPACT)

# name: (family, size, seed, labels, modalities, runs)
GRAPHS: dict[str, tuple] = {
    "path_10000": ("path", 10_000, 1, ".", "1", BOTH),
    "path_labelled_3000": ("path", 3_000, 2, "AB", "12", BOTH + (PLAIN,)),
    "random_tree_20000": ("random_tree", 20_000, 3, "ABC", "1", BOTH),
    "random_forest_5000": ("random_forest", 5_000, 4, "AB", "12", BOTH),
    "caterpillar_5000": ("caterpillar", 5_000, 5, ".", "1", BOTH),
    "star_20000": ("star", 20_000, 6, "AB", "1", BOTH),
    "matching_4000": ("matching", 4_000, 7, "AB", "1", BOTH),
    "isolated_3000": ("isolated", 3_000, 8, "ABC", "1", BOTH),
    "parallel_pair_20000": ("parallel_pair", 20_000, 9, "AB", "1", (DEFAULT, PLAIN)),
    "parallel_pair_1000": ("parallel_pair", 1_000, 26, "AB", "12", BOTH),
    "cycle_2000": ("cycle", 2_000, 10, ".", "1", BOTH),
    "cycle_2001": ("cycle", 2_001, 11, ".", "1", BOTH),
    "cycle_labelled_1000": ("cycle", 1_000, 12, "AB", "1", BOTH + (PLAIN_COMPACT,)),
    "grid_25x25": ("grid_2d", 625, 13, ".", "1", (COMPACT,)),
    "grid_8x8": ("grid_2d", 64, 14, ".", "1", BOTH + (PLAIN_COMPACT,)),
    "ladder_40": ("ladder", 80, 15, ".", "1", BOTH),
    "wheel_300": ("wheel", 300, 16, ".", "1", BOTH),
    "diamond_chain_16": ("diamond_chain", 49, 17, ".", "1", BOTH),
    "diamond_chain_40": ("diamond_chain", 121, 18, ".", "1", (COMPACT,)),
    "random_4_regular_200": ("random_4_regular", 200, 19, ".", "1", BOTH),
    "random_3_regular_300": ("random_3_regular", 300, 20, "AB", "1", (COMPACT,)),
    "random_3_regular_30000": ("random_3_regular", 30_000, 21, ".", "1", (COMPACT,)),
    "gnm_400": ("gnm", 400, 22, "ABC", "12", (COMPACT,)),
    "barabasi_albert_500": ("barabasi_albert", 500, 23, ".", "1", BOTH),
    "molecule_like_300": ("molecule_like", 300, 24, "CNO", "12", BOTH + (PLAIN,)),
    "multigraph_300": ("multigraph", 300, 25, "AB", "xy", BOTH),
}


def build(name: str) -> tuple[list, list]:
    family, size, seed, labels, modalities, _ = GRAPHS[name]
    rng = random.Random(seed)
    alone = size if family == "isolated" else 0
    return families.dress(families.FAMILIES[family](size, rng), rng, labels, modalities, isolated_nodes=alone)


def graph_hash(graph: tuple[list, list]) -> str:
    return hashlib.sha256(json.dumps(graph, separators=(",", ":")).encode()).hexdigest()


def run_key(run: tuple) -> str:
    allow_hashes, compress, compact = run
    return f"ah={int(allow_hashes)} cp={int(compress)} ct={int(compact)}"


def outcome(call):
    try:
        return call()
    except ValueError as error:
        return {"error": f"ValueError: {error}"}


def compute(module, name: str) -> dict:
    graph = build(name)
    pygraph = module.graph_from_edges([tuple(n) for n in graph[0]], [tuple(e) for e in graph[1]])
    runs = {}
    for run in GRAPHS[name][5]:
        allow_hashes, compress, compact = run
        runs[run_key(run)] = {
            "cgraph": outcome(lambda: str(module.to_cgraph_py(pygraph, None, None, allow_hashes, compress, compact))),
            "order": outcome(lambda: module.canonical_node_order_py(pygraph, None, None, allow_hashes, compact)),
        }
    return {"name": name, "graph_sha256": graph_hash(graph), "runs": runs}


def load_extension(path: str):
    import importlib.machinery
    import importlib.util

    loader = importlib.machinery.ExtensionFileLoader("tolva_golden._tolva", path)
    module_spec = importlib.util.spec_from_file_location("tolva_golden._tolva", path, loader=loader)
    module = importlib.util.module_from_spec(module_spec)
    loader.exec_module(module)
    return module


def _regenerate_one(args: tuple[str, str]) -> dict:
    path, name = args
    start = time.perf_counter()
    record = compute(load_extension(path), name)
    print(f"  {name}: {time.perf_counter() - start:.1f} s", file=sys.stderr, flush=True)
    return record


def regenerate(path: str, jobs: int, only: list[str] | None) -> None:
    records = {r["name"]: r for r in read_golden()} if only and GOLDEN_FILE.exists() else {}
    with multiprocessing.Pool(jobs) as pool:
        names = only or list(GRAPHS)
        records |= {r["name"]: r for r in pool.imap_unordered(_regenerate_one, [(path, n) for n in names])}
    with lzma.open(GOLDEN_FILE, "wt", encoding="utf-8", preset=9) as out:
        for name in GRAPHS:
            out.write(json.dumps(records[name], ensure_ascii=False, separators=(",", ":")) + "\n")


def read_golden() -> list[dict]:
    with lzma.open(GOLDEN_FILE, "rt", encoding="utf-8") as lines:
        return [json.loads(line) for line in lines]


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--regenerate", metavar="EXTENSION", help="record with this extension module file")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--only", nargs="+", choices=list(GRAPHS), help="regenerate these graphs only")
    options = parser.parse_args()
    if options.regenerate:
        regenerate(options.regenerate, options.jobs, options.only)
        return 0
    import tolva._tolva as module

    bad = [r["name"] for r in read_golden() if compute(module, r["name"]) != r]
    print("differ:", bad or "none")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
