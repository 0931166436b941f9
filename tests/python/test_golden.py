"""Canonical strings, node orders and keys must stay what tests/golden recorded: a spread subset of
each corpus by default (seconds), every graph with TOLVA_GOLDEN_FULL=1. Change them only with
tests/golden/regenerate.py, never by editing the files."""

import json
import os
import sys

import pytest

import tolva
from conftest import ROOT

sys.path.insert(0, str(ROOT / "tests" / "golden"))

import golden_corpus as gc  # noqa: E402

FULL = os.environ.get("TOLVA_GOLDEN_FULL") == "1"
MANIFEST = json.loads(gc.MANIFEST.read_text(encoding="utf-8"))["corpora"]


@pytest.mark.parametrize("corpus", gc.CORPORA)
def test_golden_files_match_their_corpus_and_outputs(corpus):
    assert gc.corpus_path(corpus).exists(), f"test data missing: {gc.corpus_path(corpus)}"
    entry, graphs, golden = MANIFEST[corpus], list(gc.read_corpus(corpus)), gc.read_golden(corpus)
    assert entry["sha256"] == gc.file_sha256(gc.corpus_path(corpus)), (
        f"{corpus} changed since the golden files were made: regenerate them deliberately")
    assert [record["name"] for record in golden] == [graph["name"] for graph in graphs]
    assert entry["graphs"] == len(graphs)
    # Every mode of every graph is either recorded or listed as skipped, never silently absent.
    missing = {(r["name"], mode) for r in golden for mode in gc.MODES if mode not in r}
    assert missing == {(s["graph"], s["mode"]) for s in entry["skipped"]}
    assert missing == {(name, mode) for (c, name, mode) in gc.SKIPPED if c == corpus}
    differences, checked = [], 0
    for position, (graph, record) in enumerate(zip(graphs, golden)):
        if FULL or gc.in_fast_subset(corpus, position, graph):
            pygraph = gc.build_graph(tolva, graph)
            for mode in (mode for mode in gc.MODES if mode in record):
                checked += 1
                now, _ = gc.compute_mode(tolva, pygraph, mode)
                differences += [f"{graph['name']} {mode} {field}" for field in gc.FIELDS
                                if now[field] != record[mode][field]]
    assert checked > 0
    assert not differences, f"{len(differences)} differ from golden, first: {differences[:10]}"
