"""The golden outputs of tolva: which graphs, which calls, and the files that hold them.

Per corpus of tests/data, one xz-compressed JSON Lines file in corpus order keeps
each graph's canonical string, node order and key in two modes, default and compact:

    {"name": "nci:3", "default": {"cgraph": "...", "order": ["a0", ...], "key": "tolva1:..."},
     "compact": {...}}

A key is a stored identity: one that changes here needs a new key prefix.

A mode in SKIPPED is left out of its graph's line (too slow); a call that raises is kept as
{"error": "ValueError: <message>"}. MANIFEST.json names the corpora with their SHA-256, counts
and skipped modes. regenerate.py writes the files, tests/python/test_golden.py checks them.
"""

from __future__ import annotations

import hashlib
import json
import lzma
import pathlib
import time
from collections.abc import Iterator

GOLDEN_DIR = pathlib.Path(__file__).resolve().parent
REPO_ROOT = GOLDEN_DIR.parents[1]
MANIFEST = GOLDEN_DIR / "MANIFEST.json"
CORPORA = ("small-graphs", "molecules", "structured")
MODES = ("default", "compact")
FIELDS = ("cgraph", "order", "key")

# (corpus, graph, mode) -> why that mode of that graph is not recorded. Times are for
# both calls of the mode together on a 2-core development machine; the budget is 5 s.
SKIPPED: dict[tuple[str, str, str], str] = {
    ("structured", "grid_10x10", "default"): "over 30 s (expanded mode grows exponentially on grids)",
    ("structured", "hypercube_6", "default"): "about 17 s",
    ("structured", "ladder_50", "default"): "about 8 s",
    ("structured", "diamond_chain_20", "default"): "over 30 s (2^20 expanded paths)",
    ("structured", "random_3_regular_1000_s1", "default"): "over 30 s",
    ("structured", "random_3_regular_1000_s1", "compact"): "over 30 s",
    ("structured", "barabasi_albert_1000_m2_s1", "default"): "about 20 s",
    ("structured", "path_100000", "default"): "over 30 s (about n candidate roots: quadratic)",
    ("structured", "path_100000", "compact"): "over 30 s (about n candidate roots: quadratic)",
}
TIME_BUDGET_S = 5.0


DATA_DIR = REPO_ROOT / "tests" / "data"


def corpus_path(corpus: str) -> pathlib.Path:
    return DATA_DIR / f"{corpus}.jsonl.xz"


def golden_path(corpus: str) -> pathlib.Path:
    return GOLDEN_DIR / f"{corpus}.jsonl.xz"


def file_sha256(path: pathlib.Path) -> str:
    """The SHA-256 of the decompressed content of an xz file."""
    digest = hashlib.sha256()
    with lzma.open(path) as content:
        while block := content.read(1 << 20):
            digest.update(block)
    return digest.hexdigest()


def read_corpus(corpus: str) -> Iterator[dict]:
    with lzma.open(corpus_path(corpus), "rt", encoding="utf-8") as lines:
        yield from (json.loads(line) for line in lines if line.strip())


def read_golden(corpus: str) -> list[dict]:
    with lzma.open(golden_path(corpus), "rt", encoding="utf-8") as lines:
        return [json.loads(line) for line in lines]


def write_golden(corpus: str, records: list[dict]) -> None:
    # Fixed compression settings, so equal records give equal bytes.
    with lzma.open(golden_path(corpus), "wt", encoding="utf-8", preset=9) as out:
        for record in records:
            out.write(json.dumps(record, ensure_ascii=False, separators=(",", ":")) + "\n")


def build_graph(tolva, graph: dict):
    return tolva.graph_from_edges([tuple(n) for n in graph["nodes"]], [tuple(e) for e in graph["edges"]])


def in_fast_subset(corpus: str, position: int, graph: dict) -> bool:
    """The graphs the default test run checks: a few seconds' worth spread over each corpus."""
    if corpus == "molecules":
        return position % 50 == 0
    if corpus == "structured":
        return len(graph["nodes"]) <= 80
    return True


def _outcome(call) -> object:
    try:
        return call()
    except ValueError as error:
        return {"error": f"ValueError: {error}"}


def compute_mode(tolva, pygraph, mode: str) -> tuple[dict, float]:
    """The golden entry of one mode of one graph, and the seconds it took."""
    compact = mode == "compact"
    start = time.perf_counter()
    cgraph = _outcome(lambda: str(tolva.to_cgraph_py(pygraph, None, None, None, None, compact)))
    order = _outcome(lambda: tolva.canonical_node_order_py(pygraph, compact=compact))
    key = _outcome(lambda: tolva.key(pygraph, compact=compact))
    return {"cgraph": cgraph, "order": order, "key": key}, time.perf_counter() - start


def compute_record(tolva, corpus: str, graph: dict) -> tuple[dict, float]:
    """The golden line of one graph (skipped modes left out) and the seconds it took."""
    pygraph = build_graph(tolva, graph)
    record: dict = {"name": graph["name"]}
    seconds = 0.0
    for mode in MODES:
        if (corpus, graph["name"], mode) not in SKIPPED:
            record[mode], spent = compute_mode(tolva, pygraph, mode)
            seconds = max(seconds, spent)
    return record, seconds
