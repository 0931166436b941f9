#!/usr/bin/env python3
"""Regenerates tolva's golden outputs (see golden_corpus.py for what they hold).

    scripts/dev-build build/mine
    PYTHONPATH=build/mine/pkg python tests/golden/regenerate.py [--dry-run] [--force]

Regenerating is a deliberate act: the script recomputes every recorded call with the tolva
it imports, compares the results with the reference outputs in <data>/expected (every graph
present there: canonical string and node order, default and compact mode) and refuses to
write when they disagree (--force writes anyway). It then prints, per corpus, which graphs
changed against the files it replaces; review that list before committing. A call over the
time budget stops the run: add that mode to SKIPPED in golden_corpus.py.
"""

from __future__ import annotations

import argparse
import json
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))

import golden_corpus as gc  # noqa: E402

# Reference file of each corpus and the keys of its records for our two modes.
EXPECTED_FILES = {
    "small-graphs": "small-graphs.expected.jsonl",
    "molecules": "molecules-3000.expected.jsonl",
    "structured": "structured.expected.jsonl",
}
EXPECTED_KEYS = {
    "default": ("ah=1 cp=1 ct=0", "ah=1 ct=0"),
    "compact": ("ah=1 cp=1 ct=1", "ah=1 ct=1"),
}


def compute_corpus(tolva, corpus: str) -> tuple[list[dict], list[str]]:
    records, slow = [], []
    for graph in gc.read_corpus(corpus):
        record, seconds = gc.compute_record(tolva, corpus, graph)
        records.append(record)
        if seconds > gc.TIME_BUDGET_S:
            slow.append(f"{graph['name']} ({seconds:.1f} s)")
    return records, slow


def expected_mismatches(corpus: str, records: list[dict], expected_dir: pathlib.Path) -> list[str]:
    path = expected_dir / EXPECTED_FILES[corpus]
    if not path.exists():
        print(f"  {corpus}: no reference file {path}, not compared")
        return []
    by_name = {record["name"]: record for record in records}
    problems, compared = [], 0
    with path.open(encoding="utf-8") as lines:
        for line in lines:
            reference = json.loads(line)
            record = by_name.get(reference["name"])
            if record is None:
                problems.append(f"{reference['name']}: not in the corpus")
                continue
            for mode, (cgraph_key, order_key) in EXPECTED_KEYS.items():
                if mode not in record:
                    print(f"  {corpus}: {reference['name']} {mode} skipped here, not compared")
                    continue
                compared += 1
                if record[mode]["cgraph"] != reference["cgraph"][cgraph_key]:
                    problems.append(f"{reference['name']} {mode}: canonical string differs")
                if record[mode]["order"] != reference["order"][order_key]:
                    problems.append(f"{reference['name']} {mode}: node order differs")
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
        for mode in gc.MODES:
            for field in ("cgraph", "order"):
                if before.get(mode, {}).get(field) != record.get(mode, {}).get(field):
                    changes.append(f"{record['name']} {mode} {field}")
    return changes


def manifest_entry(corpus: str, records: list[dict]) -> dict:
    return {
        "source": gc.corpus_path(corpus).name,
        "sha256": gc.file_sha256(gc.corpus_path(corpus)),
        "graphs": len(records),
        "skipped": [
            {"graph": name, "mode": mode, "why": why}
            for (skipped_corpus, name, mode), why in gc.SKIPPED.items()
            if skipped_corpus == corpus
        ],
    }


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--dry-run", action="store_true", help="compute and report, write nothing")
    parser.add_argument("--force", action="store_true", help="write even if the reference disagrees")
    parser.add_argument("--expected", type=pathlib.Path, default=gc.data_dir() / "expected")
    args = parser.parse_args()

    import tolva

    print(f"tolva from {pathlib.Path(tolva.__file__).parent}")
    computed, all_problems = {}, []
    for corpus in gc.CORPORA:
        print(f"{corpus}: computing ...", flush=True)
        records, slow = compute_corpus(tolva, corpus)
        if slow:
            print(f"over the {gc.TIME_BUDGET_S:.0f} s budget, add to SKIPPED: {', '.join(slow)}")
            return 1
        computed[corpus] = records
        all_problems += [f"{corpus} {p}" for p in expected_mismatches(corpus, records, args.expected)]
    for problem in all_problems[:40]:
        print(f"  DIFFERS {problem}")
    if all_problems and not args.force:
        print(f"{len(all_problems)} disagreements with the reference: nothing written")
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
