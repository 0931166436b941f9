"""Golden outputs: canonical strings and node orders must stay what tests/golden recorded.

The default run checks a spread subset of each corpus (a few seconds); TOLVA_GOLDEN_FULL=1
checks every recorded graph. A deliberate change of output is made with
tests/golden/regenerate.py, never by editing the files.
"""

import json
import os
import pathlib
import sys

import pytest

import tolva

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "golden"))

import golden_corpus as gc  # noqa: E402

FULL = os.environ.get("TOLVA_GOLDEN_FULL") == "1"


def require_corpus(corpus):
    if not gc.corpus_path(corpus).exists():
        pytest.skip(f"corpus not found at {gc.corpus_path(corpus)} (set TOLVA_DATA)")


@pytest.fixture(scope="module")
def manifest():
    return json.loads(gc.MANIFEST.read_text(encoding="utf-8"))["corpora"]


@pytest.mark.parametrize("corpus", gc.CORPORA)
def test_golden_files_match_their_corpus(corpus, manifest):
    require_corpus(corpus)
    entry = manifest[corpus]
    assert entry["sha256"] == gc.file_sha256(gc.corpus_path(corpus)), (
        f"{corpus} changed since the golden files were made: regenerate them deliberately"
    )
    names = [graph["name"] for graph in gc.read_corpus(corpus)]
    golden = gc.read_golden(corpus)
    assert [record["name"] for record in golden] == names
    assert entry["graphs"] == len(names)
    # Every mode of every graph is either recorded or listed as skipped, never silently absent.
    missing = {(r["name"], mode) for r in golden for mode in gc.MODES if mode not in r}
    assert missing == {(s["graph"], s["mode"]) for s in entry["skipped"]}
    assert missing == {(name, mode) for (c, name, mode) in gc.SKIPPED if c == corpus}


@pytest.mark.parametrize("corpus", gc.CORPORA)
def test_outputs_equal_golden(corpus):
    require_corpus(corpus)
    golden = gc.read_golden(corpus)
    differences, checked = [], 0
    for position, (graph, record) in enumerate(zip(gc.read_corpus(corpus), golden)):
        if not (FULL or gc.in_fast_subset(corpus, position, graph)):
            continue
        pygraph = gc.build_graph(tolva, graph)
        for mode in gc.MODES:
            if mode not in record:
                continue
            checked += 1
            now, _ = gc.compute_mode(tolva, pygraph, mode)
            for field in ("cgraph", "order"):
                if now[field] != record[mode][field]:
                    differences.append(f"{graph['name']} {mode} {field}")
    assert checked > 0
    assert not differences, f"{len(differences)} differ from golden, first: {differences[:10]}"
