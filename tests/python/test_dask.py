"""tolva.dask on a LocalCluster of two worker processes (real pickling, real shuffle): the same
groups as the single-machine dedup, failures kept as rows, keys of bags and series."""

import json
import lzma
import sys

import pytest

pytest.importorskip("dask.distributed", reason="Dask is not installed (pip install 'tolva[dask]')")

import dask.bag as db  # noqa: E402
import dask.dataframe as dd  # noqa: E402
import pandas as pd  # noqa: E402
from dask.distributed import Client, LocalCluster  # noqa: E402

import tolva  # noqa: E402
import tolva.dask  # noqa: E402
from conftest import ROOT, data_file, run_cli  # noqa: E402

sys.path.insert(0, str(ROOT / "bench"))
import families  # noqa: E402


@pytest.fixture(scope="module")
def client():
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster:
        with Client(cluster) as connected:
            yield connected


def test_cluster_dedup_equals_the_single_machine_dedup(tmp_path, client):
    molecules = tmp_path / "molecules.jsonl"  # the cluster reads plain JSON Lines
    with lzma.open(data_file("molecules")) as packed:
        molecules.write_bytes(packed.read())
    generated = families.write_small_graph_corpus(tmp_path / "generated.jsonl")
    bad = tmp_path / "bad.jsonl"
    bad.write_text('{"name": "x"}\nnot json\n')
    inputs = [molecules, generated, bad]
    single = run_cli("dedup", "-q", "--json", *inputs)
    failures = []
    report = tolva.dask.dedup_corpora([str(p) for p in inputs], report_failure=failures.append)
    lines = [json.loads(line) for line in single.stdout.splitlines()]
    assert [(g["key"], g["names"]) for g in lines[:-1]] == report.groups
    assert lines[-1] == {"graphs": report.graphs, "distinct": report.distinct, "groups": len(report.groups),
                         "grouped": sum(len(names) for _, names in report.groups)}
    assert report.graphs == 11_021 + 100_000 and len(report.groups) > 10_000
    assert failures == single.stderr.splitlines() == [f"{bad}:1: missing field 'nodes'",
                                                      f"{bad}:2: invalid JSON: Expecting value (column 1)"]


def test_verified_dedup_from_a_bag_writes_groups_and_failure_rows(tmp_path, client):
    wheel = [("0", "3", "1"), ("0", "4", "1"), ("0", "5", "1"), ("1", "3", "1"), ("1", "5", "1"),
             ("2", "4", "1"), ("2", "5", "1"), ("3", "5", "1"), ("4", "5", "1")]
    other = [("0", "2", "1")] + wheel[1:]  # same key as `wheel`, not isomorphic
    items = [("first", tolva.graph([], wheel)), ("second", tolva.graph([], other)),
             ("again", tolva.graph([], list(reversed(wheel)))), "CCO", "OCC", "C1CC", 42]
    bag = db.from_sequence(items, npartitions=3)
    plain = tolva.dask.dedup(bag).groups.compute()
    assert sorted(map(list, plain[plain["size"] > 1]["names"])) == [["CCO", "OCC"], ["first", "second", "again"]]
    result = tolva.dask.dedup(bag, path=str(tmp_path / "out"), verify=True)
    written = pd.read_parquet(tmp_path / "out" / "groups")
    assert sorted(map(list, written["names"])) == [["CCO", "OCC"], ["first", "again"]]
    failures = pd.read_parquet(tmp_path / "out" / "failures")
    assert sorted(failures["error"]) == ["cannot read a graph from a int", "not a valid SMILES: 'C1CC'"]
    assert len(result.groups.compute()) == 3  # wheel, other, ethanol; nothing for the failures
    tolva.dask.dedup(bag, path=str(tmp_path / "json"), format="jsonl")
    rows = [json.loads(line) for part in sorted((tmp_path / "json" / "groups").glob("*.jsonl"))
            for line in part.read_text().splitlines() if line.strip()]
    assert sorted(row["size"] for row in rows) == [2, 3]


def test_keys_of_bags_and_series_match_the_single_calls(client):
    lines = [json.dumps({"name": f"m{i}", "nodes": [], "edges": [["a", "b", str(i % 3)]]}) for i in range(20)]
    rows = tolva.dask.keys(db.from_sequence(lines + ["{broken"], npartitions=4), workers_per_task=2).compute()
    assert [row["key"] for row in rows[:-1]] == [tolva.key(tolva.graph([], [("a", "b", str(i % 3))])) for i in range(20)]
    assert rows[-1]["key"] is None and rows[-1]["error"].startswith("invalid JSON")
    series = dd.from_pandas(pd.Series(["CCO", "c1ccccc1", "X"], index=["ethanol", "benzene", "bad"]), npartitions=2,
                            sort=False)
    frame = tolva.dask.keys(series).compute()
    assert list(frame.index) == ["ethanol", "benzene", "bad"]
    assert frame.loc["ethanol", "digest"] == tolva.digest_of_key(frame.loc["ethanol", "key"])
    assert frame.loc["bad", "error"].startswith("not a valid SMILES")
