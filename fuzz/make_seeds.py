#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets.

    make_seeds.py OUT_DIR [DATA_DIR]

OUT_DIR/dot gets DOT texts: the examples and edge cases of the line reader.
OUT_DIR/dot-grammar gets DOT texts for the complete reader: the examples, the line reader's
cases, a sample of the DOT grammar, and Graphviz's example graphs when graphviz-doc is installed.
OUT_DIR/pipeline gets small graphs in the byte format of fuzz_graph.h. DATA_DIR holds the JSON
Lines corpora (default ../shared/data from the repository root); missing files are skipped.
"""
import hashlib
import json
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
MAX_NODES, MAX_EDGES = 16, 28  # kMaxFuzzNodes, kMaxFuzzEdges
PLAIN_LABELS = [".", "C", "N", "O", "", "A", "x y", "é"]  # kFuzzLabels[:kPlainLabelCount]
MODALITIES = {"1": 0, "2": 1, "ar": 2, "": 3, "x": 4}  # kFuzzModalities

DOT_EDGE_CASES = [
    "",
    "graph G {\n}\n",
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


DOT_GRAMMAR_CASES = [
    "graph { a -- b -- c; {d e} -- subgraph s { f } [weight=2] }",
    "strict graph G { node [label=X]; edge [weight=w]; a -- b; b -- a; a:p:n -- a }",
    'digraph { "a\\"b" + "c" -> <x<b>y</b>> -> -1.5 -> .5 }',
    "graph {\r\n/* c */ a, b -- c // d\r\n#line\r\n subgraph s { x } subgraph s { y } -- z\r\n}",
    "\ufeffgraph { rankdir=LR; graph [label=\"t\"] a [label=\"l\\\nm\"; color=red][label=q] }",
    "graph { a -- { b -- { c -- { d } } } -- e }",
]
GRAPHVIZ_EXAMPLES = Path("/usr/share/doc/graphviz")


def write(directory, data):
    directory.mkdir(parents=True, exist_ok=True)
    (directory / hashlib.sha1(data).hexdigest()).write_bytes(data)


def read_jsonl(path):
    if not path.exists():
        return []
    with path.open(encoding="utf-8") as lines:
        return [json.loads(line) for line in lines]


def fits(graph):
    return len(graph["nodes"]) <= MAX_NODES and len(graph["edges"]) <= MAX_EDGES


def encode(graph, style):
    """The graph in the pipeline input format, or None when it is too big. Labels outside
    the plain ones map to plain labels 1..7, so that different labels stay different."""
    ids = [node_id for node_id, _ in graph["nodes"]]
    ids += [node_id for a, b, _ in graph["edges"] for node_id in (a, b)]
    ids = list(dict.fromkeys(ids))  # each id once, where it first appears
    if not ids or len(ids) > MAX_NODES or len(graph["edges"]) > MAX_EDGES:
        return None
    labels = dict(reversed(graph["nodes"]))  # the first label of a node wins
    label_index = {}
    out = bytearray([len(ids) - 1, style])
    for node_id in ids:
        label = labels.get(node_id, ".")
        if label not in label_index:
            plain = label in PLAIN_LABELS
            label_index[label] = PLAIN_LABELS.index(label) if plain else 1 + len(label_index) % 7
        out.append(label_index[label])
    for a, b, modality in graph["edges"]:
        out += bytes([ids.index(a), ids.index(b), MODALITIES.get(modality, 4)])
    return bytes(out)


def rewrite_shapes():
    """Shapes that stress the rewrite: a loop, parallel edges, diamond chains, grids."""
    shapes = [[(0, 0), (0, 1)], [(0, 1), (0, 1), (1, 2)]]
    for k in (2, 3, 4, 5):
        chain = []
        for top in range(0, 3 * k, 3):  # a diamond: its top, two sides, and the next top
            chain += [(top, top + 1), (top, top + 2), (top + 1, top + 3), (top + 2, top + 3)]
        shapes.append(chain)
    for n in (3, 4):
        right = [(r * n + c, r * n + c + 1) for r in range(n) for c in range(n - 1)]
        down = [(r * n + c, (r + 1) * n + c) for r in range(n - 1) for c in range(n)]
        shapes.append(right + down)
    return [{"nodes": [], "edges": [[str(a), str(b), "1"] for a, b in edges]} for edges in shapes]


def main():
    out = Path(sys.argv[1])
    data = Path(sys.argv[2]) if len(sys.argv) > 2 else ROOT.parent / "shared" / "data"
    small = read_jsonl(data / "small-graphs.jsonl")
    molecules = [g for g in read_jsonl(data / "molecules.jsonl") if fits(g)][:300]
    structured = [g for g in read_jsonl(data / "structured.jsonl") if fits(g)]

    for path in sorted((ROOT / "examples").glob("*.dot")):
        write(out / "dot", path.read_bytes())
    for text in DOT_EDGE_CASES:
        write(out / "dot", text.encode("utf-8"))
    for text in DOT_EDGE_CASES + DOT_GRAMMAR_CASES:
        write(out / "dot-grammar", text.encode("utf-8"))
    for path in sorted((ROOT / "examples").glob("*.dot")) + sorted(GRAPHVIZ_EXAMPLES.rglob("*.gv")):
        data = path.read_bytes()
        if len(data) <= 4096:
            write(out / "dot-grammar", data)
    for number, graph in enumerate(small + molecules + structured + rewrite_shapes()):
        encoded = encode(graph, number % 4)
        if encoded is not None:
            write(out / "pipeline", encoded)
    for kind in ("dot", "dot-grammar", "pipeline"):
        print(f"{kind}: {len(list((out / kind).iterdir()))} seeds")


if __name__ == "__main__":
    main()
