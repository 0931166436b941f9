#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets.

    make_seeds.py OUT_DIR [DATA_DIR]

OUT_DIR/dot gets DOT texts (the examples, edge cases of the reader, small
graphs written as DOT); OUT_DIR/pipeline gets small graphs in the byte format
of fuzz_graph.h (the small graphs, small molecules, a few structured graphs,
the examples). DATA_DIR holds the JSON Lines corpora (default ../shared/data
from the repository root); missing files are skipped.
"""
import hashlib
import json
import re
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
MAX_NODES = 16  # kMaxFuzzNodes
MAX_EDGES = 28  # kMaxFuzzEdges
PLAIN_LABELS = [".", "C", "N", "O", "", "A", "x y", "é"]  # kFuzzLabels[:8]
MODALITIES = {"1": 0, "2": 1, "ar": 2, "": 3, "x": 4}  # kFuzzModalities
MOLECULE_SEEDS = 300

DOT_EDGE_CASES = [
    "",
    "graph G {\n}\n",
    "graph G {\n a [label=A];\n a -- b [weight=2];\n}\n",
    "a -- b\n",
    "a -- b;\r\n",
    "a -- b\na [label=X]\n",
    "a [label=x=y]\n",
    "a [label='x,y']\n",
    "a -- b -- c\n",
    "a--b--c\n",
    '"p q" [label=Z]\n',
    "a [label=p--q]\n",
    "a;\n",
    "x\ny\n-- b\n",
    "[x] -- b\n",
    "strict graph {\n\u00a0a\u2028--\u3000b [weight=\"w\"]\n}\n",
    "node [shape=box]\nedge [weight=3]\na -> b\n",
]


def write(directory, data):
    directory.mkdir(parents=True, exist_ok=True)
    (directory / hashlib.sha1(data).hexdigest()).write_bytes(data)


def read_jsonl(path):
    if not path.exists():
        return []
    with path.open(encoding="utf-8") as lines:
        return [json.loads(line) for line in lines]


def read_dot_example(path):
    """Nodes and edges of a simple example file (one statement per line)."""
    nodes, edges = [], []
    for line in path.read_text(encoding="utf-8").splitlines():
        label = re.search(r"label\s*=\s*\"?([^\",\]]*)", line)
        weight = re.search(r"weight\s*=\s*\"?([^\",\]]*)", line)
        if "--" in line:
            a, b = (part.strip().split()[0].rstrip(";") for part in line.split("--", 1))
            edges.append([a, b, weight.group(1) if weight else "1"])
        elif "[" in line:
            nodes.append([line.strip().split("[")[0].split()[0], label.group(1) if label else "."])
    return {"name": path.stem, "nodes": nodes, "edges": edges}


def encode(graph, style):
    """The graph in the pipeline input format, or None when it is too big."""
    ids = []
    for node_id, _ in graph["nodes"]:
        ids.append(node_id)
    for a, b, _ in graph["edges"]:
        for node_id in (a, b):
            if node_id not in ids:
                ids.append(node_id)
    if not ids or len(ids) > MAX_NODES or len(graph["edges"]) > MAX_EDGES:
        return None
    labels = dict((node_id, label) for node_id, label in reversed(graph["nodes"]))
    label_index = {}
    out = bytearray([len(ids) - 1, style])
    for node_id in ids:
        label = labels.get(node_id, ".")
        if label not in label_index:
            known = PLAIN_LABELS.index(label) if label in PLAIN_LABELS else None
            label_index[label] = known if known is not None else 1 + len(label_index) % 7
        out.append(label_index[label])
    for a, b, modality in graph["edges"]:
        out += bytes([ids.index(a), ids.index(b), MODALITIES.get(modality, 4)])
    return bytes(out)


def as_dot(graph):
    lines = ["graph G {"]
    lines += [f'  {node_id} [label="{label}"];' for node_id, label in graph["nodes"]]
    lines += [f"  {a} -- {b} [weight={m}];" for a, b, m in graph["edges"]]
    return "\n".join(lines + ["}"]) + "\n"


def generated_graphs():
    """Shapes that stress the rewrite: diamond chains, grids, loops, parallel edges."""
    def graph(edges):
        return {"nodes": [], "edges": [[str(a), str(b), "1"] for a, b in edges]}

    yield graph([(0, 1), (1, 2), (2, 0)])
    yield graph([(0, 1), (1, 2), (2, 3), (3, 0)])
    yield graph([(0, 0), (0, 1)])
    yield graph([(0, 1), (0, 1), (1, 2)])
    for k in (2, 3, 4, 5):
        edges = []
        for i in range(k):
            c, t, b, d = 3 * i, 3 * i + 1, 3 * i + 2, 3 * i + 3
            edges += [(c, t), (c, b), (t, d), (b, d)]
        yield graph(edges)
    for n in (3, 4):
        edges = [(r * n + c, r * n + c + 1) for r in range(n) for c in range(n - 1)]
        edges += [(r * n + c, (r + 1) * n + c) for r in range(n - 1) for c in range(n)]
        yield graph(edges)


def main():
    out = Path(sys.argv[1])
    data = Path(sys.argv[2]) if len(sys.argv) > 2 else ROOT.parent / "shared" / "data"
    examples = [read_dot_example(p) for p in sorted((ROOT / "examples").glob("*.dot"))]
    small = read_jsonl(data / "small-graphs.jsonl")
    structured = read_jsonl(data / "structured.jsonl")
    molecules = [g for g in read_jsonl(data / "molecules.jsonl")
                 if len(g["nodes"]) <= MAX_NODES and len(g["edges"]) <= MAX_EDGES][:MOLECULE_SEEDS]

    for path in sorted((ROOT / "examples").glob("*.dot")):
        write(out / "dot", path.read_bytes())
    for text in DOT_EDGE_CASES:
        write(out / "dot", text.encode("utf-8"))
    for graph in small[::7] + molecules[:20]:
        write(out / "dot", as_dot(graph).encode("utf-8"))

    sources = examples + small + molecules + structured + list(generated_graphs())
    for number, graph in enumerate(sources):
        encoded = encode(graph, number % 4)
        if encoded is not None:
            write(out / "pipeline", encoded)
    for kind in ("dot", "pipeline"):
        print(f"{kind}: {len(list((out / kind).iterdir()))} seeds")


if __name__ == "__main__":
    main()
