"""Keys and deduplication of corpora too large for one machine, on Dask (`pip install
'tolva[dask]'`). Imported only when used: `import tolva.dask`.

    import dask.bag as db
    import tolva.dask
    lines = db.read_text("corpus-*.jsonl")                     # JSON Lines, SMILES or PyGraph items
    rows = tolva.dask.keys(lines).compute()                    # [{"name", "key", "digest", "error"}, ...]
    result = tolva.dask.dedup(lines, path="out", verify=True)  # groups and failures as Parquet

Each partition is computed by tolva's batch functions on `workers_per_task` native threads
(default 1, so Dask's own workers and threads are not oversubscribed). Groups are found with
a Dask shuffle on the digest (SHA-256 of the key): every graph of a group lands in the same
partition, where the names are collected in input order; with `verify` the graphs of each
group are checked with the exact isomorphism test and split where they differ. A graph that
cannot be read or computed becomes a row (name, error) and the job goes on.
"""

# Dask's own functions are not all annotated; calling them is what this module is for.
# mypy: disallow-untyped-calls=False

from __future__ import annotations

import json
import pickle
from collections.abc import Callable, Iterable, Sequence
from typing import Any, NamedTuple

import dask
import dask.bag
import dask.dataframe as dd
import pandas as pd
from dask.base import compute
from dask.delayed import delayed

from tolva import _tolva
from tolva._api import digest_of_key
from tolva._dedup import DedupReport
from tolva._tolva import PyGraph
from tolva.jsonl import JsonlError, graph_of_line

# Graph positions: partition index in the high bits, row within the partition in the low.
POSITION_BITS = 40

RECORD_COLUMNS = {"position": "int64", "name": object, "key": object, "digest": object, "error": object,
                  "source": object}
GROUP_COLUMNS = {"digest": object, "key": object, "first": "int64", "size": "int64", "names": object}


class DedupResult(NamedTuple):
    """The lazy outcome of dedup: every group of equal keys (one row per group, singletons
    included: `size` 1) and every graph that failed (name, error)."""

    groups: dd.DataFrame
    failures: dd.DataFrame


def _named_graph(item: Any, position: int) -> tuple[str, PyGraph, Any]:
    """(name, graph, source) of one input item: a PyGraph, a (name, graph) pair, a JSON Lines
    text, or a SMILES text. `source` rebuilds the graph for verification."""
    if isinstance(item, PyGraph):
        return str(position), item, pickle.dumps(item)
    if isinstance(item, tuple) and len(item) == 2 and isinstance(item[1], PyGraph):
        return str(item[0]), item[1], pickle.dumps(item[1])
    if isinstance(item, tuple) and len(item) == 2:
        name, text = item
        return str(name), _graph_of_text(str(text), str(name)), text
    if isinstance(item, str):
        graph = _graph_of_text(item, str(position))
        name = json.loads(item)["name"] if item.lstrip().startswith("{") else item.strip()
        return name, graph, item
    raise TypeError(f"cannot read a graph from a {type(item).__name__}")


def _graph_of_text(text: str, name: str) -> PyGraph:
    if text.lstrip().startswith("{"):
        return graph_of_line(text.encode("utf-8"), name, 0)[1]
    from rdkit import Chem

    from tolva.adapters import from_rdkit

    molecule = Chem.MolFromSmiles(text.strip())
    if molecule is None:
        raise ValueError(f"not a valid SMILES: {text.strip()!r}")
    return from_rdkit(molecule)


def _graph_of_source(source: Any) -> PyGraph:
    if isinstance(source, bytes):
        graph: PyGraph = pickle.loads(source)
        return graph
    return _graph_of_text(source, "")


def key_records(items: Iterable[Any], partition: int = 0, *, compact: bool = False,
                allow_hashes: bool = True, workers: int = 1, keep_source: bool = False) -> pd.DataFrame:
    """The records of one partition as a DataFrame (see key_rows)."""
    rows = key_rows(items, partition, compact=compact, allow_hashes=allow_hashes, workers=workers,
                    keep_source=keep_source)
    return pd.DataFrame(rows, columns=list(RECORD_COLUMNS)).astype(RECORD_COLUMNS)


def key_rows(items: Iterable[Any], partition: int = 0, *, compact: bool = False, allow_hashes: bool = True,
             workers: int = 1, keep_source: bool = False) -> list[dict[str, Any]]:
    """The records of one partition: position, name, key, digest, error (and source) per item,
    in item order. Items are as keys() takes them, or _Failure rows from a reader."""
    rows: list[dict[str, Any]] = []
    graphs: list[PyGraph] = []
    waiting: list[dict[str, Any]] = []
    for row_number, item in enumerate(items):
        position = (partition << POSITION_BITS) + row_number
        row: dict[str, Any] = {"position": position, "name": str(position), "key": None, "digest": None,
                               "error": None, "source": None}
        try:
            if isinstance(item, _Failure):
                row["name"], row["error"] = item.name, item.error
            else:
                row["name"], graph, source = _named_graph(item, position)
                row["source"] = source if keep_source else None
                graphs.append(graph)
                waiting.append(row)
        except (ValueError, TypeError, KeyError) as error:
            row["error"] = str(error.reason if isinstance(error, JsonlError) else error)
        rows.append(row)
    results = _tolva.graph_key_many(graphs, compact, allow_hashes, None, workers, "return")
    for row, result in zip(waiting, results):
        if isinstance(result, Exception):
            row["error"] = str(result).split(": ", 1)[1]
        else:
            row["key"], row["digest"] = result, digest_of_key(result)
    return rows


class _Failure(NamedTuple):
    name: str
    error: str


def keys(collection: Any, *, workers_per_task: int = 1, compact: bool = False, allow_hashes: bool = True) -> Any:
    """The key and digest of every graph of a Dask Bag (items: PyGraph, (name, PyGraph), JSON Lines
    or SMILES text) as a Bag of {"name", "key", "digest", "error"} dicts, or of a Dask Series of
    texts as a DataFrame with columns key, digest, error on the Series' index. Failed graphs are
    rows with `error` set and no key."""
    if isinstance(collection, dask.bag.Bag):
        def partition_rows(items: Iterable[Any]) -> list[dict[str, Any]]:
            rows = key_rows(items, compact=compact, allow_hashes=allow_hashes, workers=workers_per_task)
            return [{k: row[k] for k in ("name", "key", "digest", "error")} for row in rows]
        return collection.map_partitions(partition_rows)
    if isinstance(collection, dd.Series):
        def partition_frame(series: pd.Series) -> pd.DataFrame:
            items = list(zip(series.index.astype(str), series.astype(str)))
            frame = key_records(items, compact=compact, allow_hashes=allow_hashes, workers=workers_per_task)
            return frame[["key", "digest", "error"]].set_axis(series.index)
        meta = pd.DataFrame({c: pd.Series(dtype=object) for c in ("key", "digest", "error")})
        return collection.map_partitions(partition_frame, meta=meta)
    raise TypeError(f"keys takes a dask Bag or Series, not {type(collection).__name__}")


def _grouped(records: pd.DataFrame, verify: bool) -> pd.DataFrame:
    """Groups of one shuffled partition: all graphs of a digest are here."""
    rows: list[dict[str, Any]] = []
    for digest, members in records.sort_values("position").groupby("digest", sort=False):
        names, positions = list(members["name"]), list(members["position"])
        classes = [list(range(len(names)))]
        if verify and len(names) > 1:
            from tolva._isomorphism import isomorphism_classes

            classes = isomorphism_classes([_graph_of_source(s) for s in members["source"]])
        for members_of_class in classes:
            rows.append({"digest": digest, "key": members["key"].iloc[0], "first": positions[members_of_class[0]],
                         "size": len(members_of_class), "names": [names[i] for i in members_of_class]})
    return pd.DataFrame(rows, columns=list(GROUP_COLUMNS)).astype(GROUP_COLUMNS)


def dedup_partitions(partitions: Sequence[Any], *, verify: bool = False, compact: bool = False,
                     allow_hashes: bool = True, workers_per_task: int = 1) -> DedupResult:
    """dedup over delayed partitions, each a list of items (or _Failure rows)."""
    # Names, keys and sources stay Python objects: sources may be bytes, names lists.
    with dask.config.set({"dataframe.convert-string": False}):
        return _dedup_partitions(partitions, verify, compact, allow_hashes, workers_per_task)


def _dedup_partitions(partitions: Sequence[Any], verify: bool, compact: bool, allow_hashes: bool,
                      workers_per_task: int) -> DedupResult:
    records = dd.from_delayed(
        [delayed(key_records)(part, index, compact=compact, allow_hashes=allow_hashes,
                                   workers=workers_per_task, keep_source=verify)
         for index, part in enumerate(partitions)],
        meta=pd.DataFrame({c: pd.Series(dtype=t) for c, t in RECORD_COLUMNS.items()}), verify_meta=False)
    failed = records["error"].notnull()
    failures = records[failed][["position", "name", "error"]]
    computed = records[~failed]
    meta = pd.DataFrame({c: pd.Series(dtype=t) for c, t in GROUP_COLUMNS.items()})
    groups = computed.shuffle("digest").map_partitions(_grouped, verify, meta=meta)
    return DedupResult(groups, failures)


def dedup(collection: Any, *, path: str | None = None, format: str = "parquet", verify: bool = False,
          compact: bool = False, allow_hashes: bool = True, workers_per_task: int = 1) -> DedupResult:
    """Groups the graphs of a Dask Bag (items as for keys) or of a Dask DataFrame with columns
    "name" and "graph" (JSON Lines or SMILES texts) by equal keys. With `path`, writes the groups
    of two or more to PATH/groups and the failures to PATH/failures, as Parquet or JSON Lines
    (`format="jsonl"`), and returns the lazy result all the same."""
    if isinstance(collection, dd.DataFrame):
        collection = collection[["name", "graph"]].to_bag(index=False)
    if not isinstance(collection, dask.bag.Bag):
        raise TypeError(f"dedup takes a dask Bag or DataFrame, not {type(collection).__name__}")
    result = dedup_partitions(collection.to_delayed(), verify=verify, compact=compact,
                              allow_hashes=allow_hashes, workers_per_task=workers_per_task)
    if path is not None:
        duplicates = result.groups[result.groups["size"] > 1]
        if format == "parquet":
            import pyarrow as pa

            text = pa.string()
            group_schema = pa.schema([("digest", text), ("key", text), ("first", pa.int64()), ("size", pa.int64()),
                                      ("names", pa.list_(text))])
            failure_schema = pa.schema([("position", pa.int64()), ("name", text), ("error", text)])
            writes = [duplicates.to_parquet(f"{path}/groups", schema=group_schema, write_index=False, compute=False),
                      result.failures.to_parquet(f"{path}/failures", schema=failure_schema, write_index=False,
                                                 compute=False)]
        elif format == "jsonl":
            writes = [frame.to_json(f"{path}/{name}/*.jsonl", orient="records", lines=True, compute=False)
                      for name, frame in (("groups", duplicates), ("failures", result.failures))]
        else:
            raise ValueError(f"format must be 'parquet' or 'jsonl', not {format!r}")
        compute(*writes)
    return result


# ---------------------------------------------------------------- the command line's corpora

def corpus_chunks(paths: Iterable[str], lines_per_chunk: int = 20_000) -> list[tuple[str, int, int, int]]:
    """(path, first byte, end byte, first line number) pieces of JSON Lines files, cut at line
    ends, so workers read their piece and name bad lines PATH:LINENO as `tolva dedup` does."""
    chunks = []
    for path in paths:
        start, line, offset, first_line = 0, 0, 0, 1
        with open(path, "rb") as lines:
            for raw in lines:
                line += 1
                offset += len(raw)
                if line - first_line + 1 >= lines_per_chunk:
                    chunks.append((path, start, offset, first_line))
                    start, first_line = offset, line + 1
        if offset > start:
            chunks.append((path, start, offset, first_line))
    return chunks


def read_chunk(chunk: tuple[str, int, int, int]) -> list[Any]:
    """The items of one piece: (name, PyGraph) pairs and _Failure rows, in file order."""
    path, start, end, first_line = chunk
    items: list[Any] = []
    with open(path, "rb") as lines:
        lines.seek(start)
        data = lines.read(end - start)
    for number, raw in enumerate(data.splitlines(), start=first_line):
        if not raw.strip():
            continue
        try:
            items.append(graph_of_line(raw, path, number))
        except JsonlError as error:
            items.append(_Failure(f"{error.path}:{error.line}", error.reason))
    return items


def dedup_corpora(paths: Sequence[str], *, verify: bool = False, compact: bool = False,
                  allow_hashes: bool = True, report_failure: Callable[[str], None] = print) -> DedupReport:
    """What `tolva dedup --dask` prints, computed on the current Dask client: the same groups,
    in the same order, as the single-machine dedup."""
    partitions = [delayed(read_chunk)(chunk) for chunk in corpus_chunks(paths)]
    result = dedup_partitions(partitions, verify=verify, compact=compact, allow_hashes=allow_hashes)
    with dask.config.set({"dataframe.convert-string": False}):
        groups, failures = compute(result.groups, result.failures)
    for name, error in failures.sort_values("position")[["name", "error"]].itertuples(index=False):
        report_failure(f"{name}: {error}")
    ordered = groups.sort_values("first")
    duplicates = [(key, list(names)) for key, names, size in
                  ordered[["key", "names", "size"]].itertuples(index=False) if size > 1]
    split = len(groups) - groups["digest"].nunique()
    return DedupReport(duplicates, int(groups["size"].sum()), len(groups), split)


def client_for(address: str) -> Any:
    """A Dask client: "local" or "local:N" starts a LocalCluster of N worker processes (default:
    the processors), anything else is a scheduler address."""
    import logging

    from dask.distributed import Client, LocalCluster

    if address == "local" or address.startswith("local:"):
        count = int(address.partition(":")[2] or 0) or None
        return Client(LocalCluster(n_workers=count, threads_per_worker=1, processes=True,
                                   silence_logs=logging.ERROR, dashboard_address=None))
    return Client(address)
