#!/usr/bin/env python3
"""Peak memory of the DOT readers on a large edge list, against the frozen reference build.

    python bench/reader_memory.py --reference build/reference/_tolva.abi3.so
    python bench/reader_memory.py --edges 1000000          # a smaller file, for a quick look

The file holds `nU -- nV [weight=W];` lines between random nodes of a million (7 million lines
make about 220 MB; --nodes sets how many node ids there are). Each row runs one reader call in a child process of its own and reports
the child's peak resident memory (VmHWM, which includes the interpreter and, for
parse_dot_string, the text as a Python string) and that peak divided by the file's size.
"""

from __future__ import annotations

import argparse
import json
import pathlib
import random
import subprocess
import sys
import tempfile

NODES = 1_000_000
READERS = {
    "parse_dot_string": "m.parse_dot_string(open(path, encoding='utf-8').read())",
    "parse_dot": "m.parse_dot(path)",
    "read_dot": "m.read_dot_file(path, False, 'label', ['weight', 'label'])",
}
CHILD = """
import importlib.machinery, importlib.util, json, sys, time
so, path = sys.argv[1], sys.argv[2]
loader = importlib.machinery.ExtensionFileLoader("tolva._tolva", so)
module_spec = importlib.util.spec_from_file_location("tolva._tolva", so, loader=loader)
m = importlib.util.module_from_spec(module_spec)
loader.exec_module(m)
start = time.process_time()
g = {call}
cpu = time.process_time() - start
peak = next(int(line.split()[1]) for line in open("/proc/self/status") if line.startswith("VmHWM"))
print(json.dumps({{"cpu_s": cpu, "peak_mb": peak / 1024, "nodes": g.node_count, "edges": g.edge_count}}))
"""


def write_edge_list(path: pathlib.Path, edges: int, nodes: int) -> None:
    rng = random.Random(7)
    with path.open("w", encoding="utf-8") as out:
        out.write("graph edges {\n")
        for start in range(0, edges, 10_000):
            out.write("".join(f"n{rng.randrange(nodes)} -- n{rng.randrange(nodes)} [weight={rng.randrange(1, 4)}];\n"
                              for _ in range(min(10_000, edges - start))))
        out.write("}\n")


def measure(so: str, reader: str, path: pathlib.Path) -> dict | None:
    code = CHILD.format(call=READERS[reader])
    done = subprocess.run([sys.executable, "-c", code, so, str(path)], capture_output=True, text=True)
    if done.returncode != 0:
        last = (done.stderr.strip().splitlines() or ["?"])[-1]
        return {"error": last}
    return json.loads(done.stdout)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--candidate", help="extension module file (default: the importable tolva)")
    parser.add_argument("--reference", help="the frozen reference build's extension module file")
    parser.add_argument("--edges", type=int, default=7_000_000)
    parser.add_argument("--nodes", type=int, default=NODES)
    args = parser.parse_args()
    if args.candidate is None:
        import tolva._tolva

        args.candidate = tolva._tolva.__file__
    builds = [("tolva", args.candidate)] + ([("reference", args.reference)] if args.reference else [])
    with tempfile.TemporaryDirectory() as directory:
        path = pathlib.Path(directory) / "edges.dot"
        write_edge_list(path, args.edges, args.nodes)
        mb = path.stat().st_size / 1e6
        print(f"{args.edges:,} edge lines between {args.nodes:,} node ids, {mb:.0f} MB\n")
        print("| build | reader | CPU s | peak MB | peak / file size |")
        print("|---|---|---:|---:|---:|")
        for build, so in builds:
            for reader in READERS:
                if build == "reference" and reader == "read_dot":
                    continue  # the reference has only the line reader
                result = measure(so, reader, path)
                if "error" in result:
                    print(f"| {build} | {reader} | failed: {result['error']} | | |")
                else:
                    print(f"| {build} | {reader} | {result['cpu_s']:.1f} | {result['peak_mb']:,.0f} | "
                          f"{result['peak_mb'] / mb:.1f}x |", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
