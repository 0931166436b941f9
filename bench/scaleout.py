#!/usr/bin/env python3
"""Scale-out: `tolva dedup` in one process against tolva.dask on a LocalCluster of 2 worker
processes, on the same input (molecules.jsonl and 10^5 generated small graphs).

    PYTHONPATH=build/mine/pkg python bench/scaleout.py
"""

from __future__ import annotations

import lzma
import pathlib
import subprocess
import sys
import tempfile
import time

from families import write_small_graph_corpus

BENCH_DIR = pathlib.Path(__file__).resolve().parent
MOLECULES = BENCH_DIR.parent / "tests" / "data" / "molecules.jsonl.xz"


def timed(command: list[str]) -> float:
    started = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - started


def scale_out_section() -> str:
    import tolva.dask
    from dask.distributed import Client, LocalCluster

    with tempfile.TemporaryDirectory() as tmp:
        molecules = pathlib.Path(tmp) / "molecules.jsonl"  # --dask reads plain .jsonl files
        with lzma.open(MOLECULES) as packed:
            molecules.write_bytes(packed.read())
        inputs = [str(molecules), str(write_small_graph_corpus(pathlib.Path(tmp) / "generated.jsonl"))]
        graphs = sum(1 for path in inputs for line in open(path) if line.strip())
        cli = [sys.executable, "-m", "tolva", "dedup", "-q"]
        single = timed(cli + inputs)
        whole = timed(cli + ["--dask", "local:2"] + inputs)
        with LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None) as cluster, Client(cluster):
            started = time.perf_counter()
            tolva.dask.dedup_corpora(inputs)
            running = time.perf_counter() - started
    rows = [("single-process `tolva dedup`", single), ("`tolva dedup --dask local:2` (cluster start included)", whole),
            ("`tolva.dask.dedup_corpora` on a running LocalCluster(2)", running)]
    lines = ["## Scale-out: Dask LocalCluster against one process", "",
             f"The same input, {graphs:,} graphs (molecules.jsonl and 10^5 generated graphs of 1 to 8 nodes),",
             "grouped by key; 2 worker processes of 1 thread each on the 2-core machine.", "",
             "| run | wall s | graphs/s |", "|---|---:|---:|"]
    lines += [f"| {name} | {seconds:.1f} | {graphs / seconds:,.0f} |" for name, seconds in rows]
    return "\n".join(lines) + "\n"


if __name__ == "__main__":
    print(scale_out_section())
