"""Large generated graphs (long paths, forests, stars, matchings, isolated nodes, parallel
edges, cycles, grids, regular graphs, diamond chains) give exactly what the frozen reference
build recorded in tests/golden/large.jsonl.xz: the structures where the canonisation takes its
shortcuts. Regenerate only with tests/golden/large_graphs.py --regenerate <reference build>."""

import sys

import pytest

import tolva._tolva as m
from conftest import ROOT

sys.path.insert(0, str(ROOT / "tests" / "golden"))

import large_graphs  # noqa: E402

RECORDS = large_graphs.read_golden()


def test_every_graph_is_recorded():
    assert [r["name"] for r in RECORDS] == list(large_graphs.GRAPHS)


@pytest.mark.parametrize("record", RECORDS, ids=[r["name"] for r in RECORDS])
def test_large_graph_outputs_equal_the_reference(record):
    graph = large_graphs.build(record["name"])
    assert large_graphs.graph_hash(graph) == record["graph_sha256"], "the generator changed"
    assert large_graphs.compute(m, record["name"]) == record
