#!/usr/bin/env python3
"""How well tolva's texts identify graphs: order dependence and false merges.

    PYTHONPATH=build/mine/pkg python bench/quality.py [--copies 5] [--molecules N]

For each corpus every graph is relabelled `copies` times (nodes and edges shuffled, edge
ends swapped, ids renamed; labels and modalities kept), and each form of text is computed
for the graph and its copies. Two counts per form:

- order-dependent graphs: graphs whose copies do not all get the graph's own text, so a
  deduplication by that text misses duplicates;
- false merges: pairs of non-isomorphic graphs that share a text (among all graphs and
  copies), checked with networkx's isomorphism test matching labels and modalities; the
  graphs of a corpus are split into isomorphism classes first, so isomorphic graphs of a
  corpus never count.

Corpora: molecules.jsonl, and every graph of up to 7 nodes (networkx's atlas, 1,253 graphs,
unlabelled) plus three random labellings of each with labels A/B and modalities 1/2.
"""

from __future__ import annotations

import argparse
import json
import lzma
import pathlib
import random
import sys
import time
from collections import defaultdict

BENCH_DIR = pathlib.Path(__file__).resolve().parent
MOLECULES = BENCH_DIR.parent / "tests" / "data" / "molecules.jsonl.xz"

# (name, how it is computed from a list of PyGraph), in report order.
FORMS = [
    ("key ($n tokens, the default)", lambda t, gs: t._tolva.graph_key_many(gs)),
    ("key, brace contents whole", lambda t, gs: t._tolva.graph_key_many(gs, whole_braces=True)),
    ("key, compact=True", lambda t, gs: t._tolva.graph_key_many(gs, compact=True)),
    ("string, defaults", lambda t, gs: [str(c) for c in t.to_cgraph_many(gs)]),
    ("string, compress=False", lambda t, gs: [str(c) for c in t.to_cgraph_many(gs, compress=False)]),
    ("string, compact=True", lambda t, gs: [str(c) for c in t.to_cgraph_many(gs, compact=True)]),
]


def relabelled(graph: dict, rng: random.Random) -> dict:
    ids = [node for node, _ in graph["nodes"]]
    fresh = [f"v{k}" for k in range(len(ids))]
    rng.shuffle(fresh)
    new = dict(zip(ids, fresh))
    nodes = [[new[node], label] for node, label in graph["nodes"]]
    rng.shuffle(nodes)
    edges = [[new[b], new[a], m] if rng.random() < 0.5 else [new[a], new[b], m] for a, b, m in graph["edges"]]
    rng.shuffle(edges)
    return {"name": graph["name"], "nodes": nodes, "edges": edges}


def molecules(limit: int | None) -> list[dict]:
    with lzma.open(MOLECULES, "rt", encoding="utf-8") as lines:
        return [json.loads(line) for line, _ in zip(lines, range(limit or 10**9))]


def small_graphs(labellings: int = 3) -> list[dict]:
    import networkx as nx

    rng = random.Random(7)
    graphs = []
    for index, atlas_graph in enumerate(nx.graph_atlas_g()):
        nodes = [str(n) for n in atlas_graph.nodes()]
        edges = [(str(a), str(b)) for a, b in atlas_graph.edges()]
        graphs.append({"name": f"atlas{index}", "nodes": [[n, "."] for n in nodes],
                       "edges": [[a, b, "1"] for a, b in edges]})
        for k in range(labellings if nodes else 0):
            graphs.append({"name": f"atlas{index}/{k}", "nodes": [[n, rng.choice("AB")] for n in nodes],
                           "edges": [[a, b, rng.choice("12")] for a, b in edges]})
    return graphs


def build(tolva, graph: dict):
    return tolva.graph_from_edges([tuple(n) for n in graph["nodes"]], [tuple(e) for e in graph["edges"]])


def measure(tolva, graphs: list[dict], copies: int) -> dict[str, dict]:
    from tolva._isomorphism import isomorphism_classes

    rng = random.Random(20240607)
    built = [[build(tolva, g)] + [build(tolva, relabelled(g, rng)) for _ in range(copies)] for g in graphs]
    flat = [variant for variants in built for variant in variants]
    per_graph = copies + 1
    results = {}
    for name, form in FORMS:
        started = time.perf_counter()
        texts = form(tolva, flat)
        seconds = time.perf_counter() - started
        dependent = sum(len(set(texts[i * per_graph:(i + 1) * per_graph])) > 1 for i in range(len(graphs)))
        sharing: dict[str, set[int]] = defaultdict(set)
        for position, text in enumerate(texts):
            sharing[text].add(position // per_graph)
        merged_pairs, merged_graphs = false_merges(sharing, built, isomorphism_classes)
        results[name] = {"graphs": len(graphs), "dependent": dependent, "false_pairs": merged_pairs,
                         "false_graphs": merged_graphs, "seconds": seconds, "texts": len(flat)}
        print(f"  {name}: {dependent} order-dependent, {merged_pairs} false pairs", flush=True)
    return results


def false_merges(sharing, built, isomorphism_classes) -> tuple[int, int]:
    """Pairs of non-isomorphic graphs that share a text, and how many graphs are in such a
    pair; the graphs sharing each text are split into isomorphism classes."""
    pairs: set[tuple[int, int]] = set()
    for members in sharing.values():
        if len(members) < 2:
            continue
        ordered = sorted(members)
        classes = isomorphism_classes([built[i][0] for i in ordered])
        label = {}
        for number, cls in enumerate(classes):
            for i in cls:
                label[ordered[i]] = number
        for x in range(len(ordered)):
            for y in range(x + 1, len(ordered)):
                if label[ordered[x]] != label[ordered[y]]:
                    pairs.add((ordered[x], ordered[y]))
    return len(pairs), len({i for pair in pairs for i in pair})


def table(title: str, results: dict[str, dict], copies: int) -> list[str]:
    first = next(iter(results.values()))
    lines = [f"### {title}: {first['graphs']:,} graphs, {copies} relabelled copies each", "",
             "| form | order-dependent graphs | false merges (pairs) | graphs in a false merge |",
             "|---|---:|---:|---:|"]
    for name, r in results.items():
        share = 100 * r["dependent"] / r["graphs"]
        lines.append(f"| {name} | {r['dependent']:,} ({share:.1f} %) | {r['false_pairs']:,} | "
                     f"{r['false_graphs']:,} |")
    return lines + [""]


def quality_section(copies: int, molecule_limit: int | None) -> str:
    import tolva

    print("quality: molecules", flush=True)
    mol = measure(tolva, molecules(molecule_limit), copies)
    print("quality: graphs of up to 7 nodes", flush=True)
    small = measure(tolva, small_graphs(), copies)
    lines = ["## Quality: order dependence and false merges", "",
             "Each graph is relabelled (nodes and edges shuffled, edge ends swapped, ids renamed).",
             "*Order-dependent*: the copies of a graph do not all get the graph's own text, so",
             "deduplicating by it misses duplicates. *False merge*: two non-isomorphic graphs",
             "(networkx isomorphism with labels and modalities matched) share a text. `bench/quality.py`",
             "measures it; `python bench/run.py` includes it.", ""]
    lines += table("molecules.jsonl", mol, copies)
    lines += table("All graphs of up to 7 nodes (atlas) and 3 labellings each (labels A/B, "
                   "modalities 1/2)", small, copies)
    return "\n".join(lines)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--copies", type=int, default=5)
    parser.add_argument("--molecules", type=int, help="only the first N molecules")
    args = parser.parse_args()
    print(quality_section(args.copies, args.molecules))
    return 0


if __name__ == "__main__":
    sys.exit(main())
