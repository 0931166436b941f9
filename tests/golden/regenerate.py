#!/usr/bin/env python3
"""Regenerates tolva's golden outputs (see golden_corpus.py for what they hold).

    PYTHONPATH=build/mine/pkg python tests/golden/regenerate.py [--dry-run] [--force]

Recomputes every recorded call with the tolva it imports and refuses to write when a result
disagrees with the reference outputs in tests/data/expected (--force writes anyway). It prints
which graphs changed against the files it replaces: review that before committing. A call over
the time budget stops the run: add that mode to SKIPPED in golden_corpus.py.
"""

from __future__ import annotations

import argparse
import json
import lzma
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))

import golden_corpus as gc  # noqa: E402

EXPECTED_FILES = {
    "small-graphs": "small-graphs.expected.jsonl.xz",
    "molecules": "molecules-3000.expected.jsonl.xz",
    "structured": "structured.expected.jsonl.xz",
}
# The reference outputs hold strings and orders; keys are this project's own.
REFERENCE_FIELDS = ("cgraph", "order")


def reference_problems(corpus: str, records: list[dict], expected_dir: pathlib.Path) -> list[str]:
    """Graph modes whose string or order differs from the reference file of the corpus."""
    path = expected_dir / EXPECTED_FILES[corpus]
    if not path.exists():
        print(f"  {corpus}: no reference file {path}, not compared")
        return []
    by_name = {record["name"]: record for record in records}
    problems, compared = [], 0
    with lzma.open(path, "rt", encoding="utf-8") as lines:
        for reference in map(json.loads, lines):
            record = by_name.get(reference["name"])
            if record is None:
                problems.append(f"{reference['name']}: not in the corpus")
                continue
            # The golden modes are the reference's allow_hashes=1, compress=1 outputs.
            for mode in (mode for mode in gc.MODES if mode in record):
                compared += 1
                ct = int(mode == "compact")
                wanted = {"cgraph": reference["cgraph"][f"ah=1 cp=1 ct={ct}"],
                          "order": reference["order"][f"ah=1 ct={ct}"]}
                problems += [f"{reference['name']} {mode}: {field} differs"
                             for field in REFERENCE_FIELDS if record[mode][field] != wanted[field]]
    print(f"  {corpus}: {compared} graph modes compared with {path.name}, {len(problems)} differ")
    return problems


def changes_against_old(corpus: str, records: list[dict]) -> list[str]:
    if not gc.golden_path(corpus).exists():
        return [f"new file ({len(records)} graphs)"]
    old = {record["name"]: record for record in gc.read_golden(corpus)}
    new_names = {record["name"] for record in records}
    changes = [f"{name}: removed" for name in old if name not in new_names]
    for record in records:
        before = old.get(record["name"])
        if before is None:
            changes.append(f"{record['name']}: added")
            continue
        changes += [f"{record['name']} {mode} {field}" for mode in gc.MODES for field in gc.FIELDS
                    if before.get(mode, {}).get(field) != record.get(mode, {}).get(field)]
    return changes


def manifest_entry(corpus: str, records: list[dict]) -> dict:
    skipped = [{"graph": name, "mode": mode, "why": why}
               for (skipped_corpus, name, mode), why in gc.SKIPPED.items() if skipped_corpus == corpus]
    path = gc.corpus_path(corpus)
    return {"source": path.name.removesuffix(".xz"), "sha256": gc.file_sha256(path), "graphs": len(records), "skipped": skipped}


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--dry-run", action="store_true", help="compute and report, write nothing")
    parser.add_argument("--force", action="store_true", help="write even if the reference disagrees")
    parser.add_argument("--expected", type=pathlib.Path, default=gc.DATA_DIR / "expected")
    args = parser.parse_args()

    import tolva

    print(f"tolva from {pathlib.Path(tolva.__file__).parent}")
    computed, problems = {}, []
    for corpus in gc.CORPORA:
        print(f"{corpus}: computing ...", flush=True)
        computed[corpus], slow = [], []
        for graph in gc.read_corpus(corpus):
            record, seconds = gc.compute_record(tolva, corpus, graph)
            computed[corpus].append(record)
            if seconds > gc.TIME_BUDGET_S:
                slow.append(f"{graph['name']} ({seconds:.1f} s)")
        if slow:
            print(f"over the {gc.TIME_BUDGET_S:.0f} s budget, add to SKIPPED: {', '.join(slow)}")
            return 1
        problems += [f"{corpus} {p}" for p in reference_problems(corpus, computed[corpus], args.expected)]
    for problem in problems[:40]:
        print(f"  DIFFERS {problem}")
    if problems and not args.force:
        print(f"{len(problems)} disagreements with the reference: nothing written")
        return 1

    manifest = {"corpora": {}}
    for corpus, records in computed.items():
        changes = changes_against_old(corpus, records)
        print(f"{corpus}: {len(changes)} changes" + "".join(f"\n  {c}" for c in changes[:30]))
        manifest["corpora"][corpus] = manifest_entry(corpus, records)
        if not args.dry_run:
            gc.write_golden(corpus, records)
    if not args.dry_run:
        gc.MANIFEST.write_text(json.dumps(manifest, indent=2) + "\n", encoding="utf-8")
        print(f"written to {gc.GOLDEN_DIR}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
