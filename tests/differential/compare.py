#!/usr/bin/env python3
"""Differential test: the current build against the frozen reference, output for output.

    scripts/build-reference                                  # build/reference/_tolva.abi3.so
    python tests/differential/compare.py --cases 3000        # against the installed tolva
    python tests/differential/compare.py --seed 7 --cases 1000000 --jobs 2 \\
        --candidate build/dev/_tolva.abi3.so

Each case is one generated graph (see CASES below: every benchmark family at sizes the
reference handles quickly, random multigraphs with self-loops and parallel edges, labels and
modalities from small alphabets so that many ties arise, relabelled copies, ids that look like
the ids the rewrite generates). Both builds compute, for the case's graph, the canonical
string under all eight combinations of allow_hashes, compress and compact and the node order
under all four of allow_hashes and compact; every `--trace-every`-th case also runs one string
and one order with TOLVA_TRACE=1 (and sometimes TOLVA_TRACE_MAGNET=1) and compares the trace
lines. When the candidate has the command line's native JSON Lines path (outputs_of_jsonl),
the case is also written as a JSON line under an awkward name and that path's plain string
lines, JSON lines and order lines must be the reference's strings and orders as the command
line's Python writer writes them. Outcomes compare exactly: the same text, the same list, or
the same exception type and message. The cases of each range also go through the batch
functions (to_cgraph_many, canonical_node_order_many) on one worker, whose calls share one
working storage one graph after another: each result must be the reference's single call's. The
case stream depends only on (seed, case number), so any difference can be replayed with --only N
(its batch then holds that case alone). Exit status 1 when anything differs.
"""

from __future__ import annotations

import argparse
import importlib.machinery
import importlib.util
import json
import multiprocessing
import os
import pathlib
import random
import sys
import tempfile
import time

REPO = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "bench"))

import families  # noqa: E402

FLAGS = (False, True)
# Largest size per family at which the reference still answers in milliseconds in every mode
# (the expanded mode grows exponentially with stacked cycles).
MAX_SIZE = {
    "path": 120, "star": 200, "cycle": 80, "grid_2d": 30, "ladder": 20, "wheel": 16,
    "complete": 7, "diamond_chain": 22, "random_3_regular": 24, "random_4_regular": 16,
    "barabasi_albert": 40, "gnm": 30, "random_tree": 200, "random_forest": 200,
    "caterpillar": 120, "matching": 100, "parallel_pair": 60, "parallel_bundle": 50, "molecule_like": 60,
    "multigraph": 14, "isolated": 100,
}
WEIGHTS = {name: 1 for name in MAX_SIZE} | {"multigraph": 8, "molecule_like": 6, "gnm": 3, "parallel_bundle": 3}
LABELS = [".", ".", "A", "AB", "AB", "ABC", "CNOS", "({:#*$", ""]
MODALITIES = ["1", "1", "12", "12", "1a", "xyz", ":)}", ""]
# Ids that the rewrite itself makes from templates, and other awkward ids.
AWKWARD_IDS = ["*v0", "*v1", "#m0_0", "#m0_1", "#m1_0", "a@#m0_0", "@x", "x@", "", " ", "e1", "b'"]


def load_module(path: str, package: str):
    """Loads an extension module file as `<package>._tolva` (two builds side by side)."""
    name = f"{package}._tolva"
    loader = importlib.machinery.ExtensionFileLoader(name, path)
    module_spec = importlib.util.spec_from_file_location(name, path, loader=loader)
    module = importlib.util.module_from_spec(module_spec)
    loader.exec_module(module)
    return module


def make_case(seed: int, number: int) -> dict:
    """The graph of one case, as node and edge lists, and how to build it."""
    rng = random.Random(f"{seed}:{number}")
    family = rng.choices(list(WEIGHTS), weights=list(WEIGHTS.values()))[0]
    top = MAX_SIZE[family]
    size = rng.randint(1, min(top, 12)) if rng.random() < 0.6 else rng.randint(1, top)
    edges = families.FAMILIES[family](size, rng)
    graph = families.dress(edges, rng, rng.choice(LABELS), rng.choice(MODALITIES),
                           isolated_nodes=rng.choice([0, 0, 0, 1, 3]))
    if rng.random() < 0.5:
        graph = families.shuffled(graph, rng, rename=rng.random() < 0.7)
    nodes, edge_list = graph
    if rng.random() < 0.15:  # awkward ids for some nodes
        ids = list(dict.fromkeys([n for n, _ in nodes]))
        rename = {old: new for old, new in zip(rng.sample(ids, min(len(ids), 3)), rng.sample(AWKWARD_IDS, 3))}
        rename = {old: new for old, new in rename.items() if new not in ids}
        nodes = [(rename.get(n, n), label) for n, label in nodes]
        edge_list = [(rename.get(a, a), rename.get(b, b), m) for a, b, m in edge_list]
    style = rng.random()
    if style < 0.1:
        nodes = []  # every node made by an edge, labelled "."
    elif style < 0.2:
        nodes = [(n, "") for n, _ in nodes[:2]] + nodes  # empty labels first: the first non-empty wins
    return {"family": family, "nodes": nodes, "edges": edge_list,
            "traced": None, "rule": "$degree" if rng.random() > 0.01 else "$degree "}


def outcome(call):
    try:
        result = call()
    except Exception as error:  # noqa: BLE001 - every exception is an outcome to compare
        return ["error", type(error).__name__, str(error)]
    return ["ok", result if isinstance(result, list) else str(result)]


class TraceCapture:
    """Points fd 1 at a scratch file, so the trace lines the native code writes can be read."""

    def __init__(self):
        self.file = tempfile.TemporaryFile()
        os.dup2(self.file.fileno(), 1)

    def lines_of(self, call):
        os.ftruncate(1, 0)
        os.lseek(1, 0, os.SEEK_SET)
        result = outcome(call)
        size = os.fstat(1).st_size
        return result, os.pread(self.file.fileno(), size, 0).decode("utf-8", "backslashreplace")


# Names that the plain and JSON outputs must escape.
LINE_NAMES = ["g", "a\tb", "x\\y", "é\u2028", "n\x85", 'q"']


def lane_outcomes(module, case: dict, name: str) -> list:
    """The native JSON Lines path on the case as one corpus line, in run_case's option order:
    the plain and the JSON line of each string, then the line of each order."""
    line = json.dumps({"name": name, "nodes": [list(n) for n in case["nodes"]],
                       "edges": [list(e) for e in case["edges"]]}).encode()
    rule = case["rule"]

    def one(product, hashes, compress, compact):
        item = module.outputs_of_jsonl(line, product, rule, None, hashes, compress, compact, 1)[0]
        if isinstance(item, str):
            return ["ok", item]
        return ["unread"] if isinstance(item[0], int) else ["error", type(item[1]).__name__, str(item[1])]

    results = []
    for hashes in FLAGS:
        for compress in FLAGS:
            for compact in FLAGS:
                results += [one("cgraph", hashes, compress, compact), one("json", hashes, compress, compact)]
    for hashes in FLAGS:
        for compact in FLAGS:
            results.append(one("order", hashes, None, compact))
    return results


def written_outcomes(outcomes: list, name: str) -> list:
    """run_case's string and order outcomes as the command line's Python writer writes them."""
    from tolva._writers import json_line, plain, plain_id

    def written(outcome, form):
        return outcome if outcome[0] == "error" else ["ok", form(outcome[1])]

    results = []
    for outcome in outcomes[:8]:
        results += [written(outcome, lambda s: f"{plain(name)}\t{plain(s)}\n"),
                    written(outcome, lambda s: json_line({"name": name, "cgraph": s}))]
    for outcome in outcomes[8:12]:
        results.append(written(outcome, lambda order: f"{plain(name)}\t{' '.join(map(plain_id, order))}\n"))
    return results


def run_case(module, case: dict, capture: TraceCapture | None, traced: tuple | None) -> list:
    graph = module.graph_from_edges([tuple(n) for n in case["nodes"]], [tuple(e) for e in case["edges"]])
    rule = case["rule"]
    results = []
    for hashes in FLAGS:
        for compress in FLAGS:
            for compact in FLAGS:
                results.append(outcome(lambda: module.to_cgraph_py(graph, rule, None, hashes, compress, compact)))
    for hashes in FLAGS:
        for compact in FLAGS:
            results.append(outcome(lambda: module.canonical_node_order_py(graph, rule, None, hashes, compact)))
    if traced and capture:
        (hashes, compress, compact, magnet) = traced
        os.environ["TOLVA_TRACE"] = "1"
        if magnet:
            os.environ["TOLVA_TRACE_MAGNET"] = "1"
        try:
            results.append(capture.lines_of(lambda: module.to_cgraph_py(graph, rule, None, hashes, compress, compact)))
            results.append(capture.lines_of(lambda: module.canonical_node_order_py(graph, rule, None, hashes, compact)))
        finally:
            os.environ.pop("TOLVA_TRACE", None)
            os.environ.pop("TOLVA_TRACE_MAGNET", None)
    return results


def batch_outcome(item, index: int) -> list:
    """A batch result as outcome() gives a single call's, the batch's "graph <i>: " taken off."""
    if isinstance(item, BaseException):
        return ["error", type(item).__name__, str(item).removeprefix(f"graph {index}: ")]
    return ["ok", item if isinstance(item, list) else str(item)]


def batch_differences(candidate, cases: list[tuple[int, dict, list]]) -> list[dict]:
    """The cases (number, case, the reference's outcomes) through the candidate's batch functions
    on one worker, one batch per candidate rule and option combination, against the reference's
    single calls (run_case's first twelve outcomes)."""
    differences = []
    rules = sorted({case["rule"] for _, case, _ in cases})
    for rule in rules:
        chosen = [(number, case, expected) for number, case, expected in cases if case["rule"] == rule]
        graphs = [candidate.graph_from_edges([tuple(n) for n in case["nodes"]], [tuple(e) for e in case["edges"]])
                  for _, case, _ in chosen]
        calls = []
        for hashes in FLAGS:
            for compress in FLAGS:
                for compact in FLAGS:
                    calls.append(lambda h=hashes, p=compress, c=compact:
                                 candidate.to_cgraph_many(graphs, rule, None, h, p, c, 1, "return"))
        for hashes in FLAGS:
            for compact in FLAGS:
                calls.append(lambda h=hashes, c=compact:
                             candidate.canonical_node_order_many(graphs, rule, None, h, c, 1, "return"))
        for slot, call in enumerate(calls):
            for index, item in enumerate(call()):
                number, case, expected = chosen[index]
                actual = batch_outcome(item, index)
                if actual != expected[slot]:
                    differences.append({"case": number, "family": case["family"], "call": f"batch {slot}",
                                        "expected": expected[slot], "actual": actual,
                                        "graph": {"nodes": case["nodes"], "edges": case["edges"]}})
    return differences


def compare_range(args: tuple) -> dict:
    seed, start, stop, reference_path, candidate_path, trace_every = args
    reference = load_module(reference_path, "tolva_reference")
    candidate = load_module(candidate_path, "tolva_candidate")
    capture = TraceCapture() if trace_every else None
    differences, families_seen, batched = [], {}, []
    for number in range(start, stop):
        case = make_case(seed, number)
        traced = None
        if trace_every and number % trace_every == 0:
            rng = random.Random(f"trace:{seed}:{number}")
            traced = (rng.random() < 0.5, rng.random() < 0.5, rng.random() < 0.5, rng.random() < 0.5)
        expected = run_case(reference, case, capture, traced)
        actual = run_case(candidate, case, capture, traced)
        batched.append((number, case, expected[:12]))
        if hasattr(candidate, "outputs_of_jsonl"):
            name = LINE_NAMES[number % len(LINE_NAMES)]
            expected += written_outcomes(expected, name)
            actual += lane_outcomes(candidate, case, name)
        families_seen[case["family"]] = families_seen.get(case["family"], 0) + 1
        if expected != actual:
            first = next(i for i, (e, a) in enumerate(zip(expected, actual)) if e != a)
            differences.append({"case": number, "family": case["family"], "call": first,
                                "expected": expected[first], "actual": actual[first],
                                "graph": {"nodes": case["nodes"], "edges": case["edges"]}})
    if hasattr(candidate, "to_cgraph_many"):
        differences += batch_differences(candidate, batched)
    return {"differences": differences, "families": families_seen, "cases": stop - start}


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--cases", type=int, default=3000)
    parser.add_argument("--only", type=int, help="run this one case number")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--trace-every", type=int, default=20, help="0: never trace")
    parser.add_argument("--reference", default=str(REPO / "build" / "reference" / "_tolva.abi3.so"))
    parser.add_argument("--candidate", help="extension file to test (default: the importable tolva._tolva)")
    parser.add_argument("--report", help="write the differences as JSON here")
    options = parser.parse_args(argv)
    if not pathlib.Path(options.reference).exists():
        print(f"no reference build at {options.reference}: run scripts/build-reference", file=sys.stderr)
        return 2
    candidate = options.candidate
    if candidate is None:
        found = importlib.util.find_spec("tolva._tolva")
        if found is None or found.origin is None:
            print("tolva is not importable; give --candidate", file=sys.stderr)
            return 2
        candidate = found.origin

    start, stop = (options.only, options.only + 1) if options.only is not None else (0, options.cases)
    chunk = max(1, min(2000, (stop - start) // max(1, options.jobs * 4) or 1))
    work = [(options.seed, s, min(s + chunk, stop), options.reference, candidate, options.trace_every)
            for s in range(start, stop, chunk)]
    began = time.monotonic()
    differences, families_seen, done = [], {}, 0
    with multiprocessing.get_context("fork").Pool(options.jobs) as pool:
        for result in pool.imap_unordered(compare_range, work):
            differences += result["differences"]
            done += result["cases"]
            for family, count in result["families"].items():
                families_seen[family] = families_seen.get(family, 0) + count
            if len(work) > 10:
                print(f"\r{done}/{stop - start} cases, {len(differences)} differences", end="", file=sys.stderr)
    seconds = time.monotonic() - began
    print(file=sys.stderr)
    calls = 12 + (2 if options.trace_every else 0) / max(options.trace_every, 1)  # besides 20 native, 12 batched
    print(f"seed {options.seed}: {done} cases ({done * calls:.0f} calls per build) in {seconds:.0f} s, "
          f"{len(differences)} differences")
    print("families: " + ", ".join(f"{k} {v}" for k, v in sorted(families_seen.items())))
    if options.report:
        pathlib.Path(options.report).write_text(json.dumps(differences, indent=1))
    for difference in sorted(differences, key=lambda d: d["case"])[:5]:
        print(json.dumps(difference)[:2000])
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
