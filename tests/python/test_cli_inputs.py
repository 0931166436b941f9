"""The command line's inputs: warnings about DOT lines the line reader skips or misreads, DOT
inputs without a graph, formats by name or --format, standard input, molecule files."""

import gzip
import json
import lzma
import os

import pytest

import tolva
from conftest import cgraph, graph, hidden_package, run_cli, write_lines

ETHANOL = {"name": "ethanol", "nodes": [["c1", "C"], ["c2", "C"], ["o", "O"]],
           "edges": [["c1", "c2", "1"], ["c2", "o", "1"]]}
ETHANOL_LINE = "ethanol\t(C:1, O:1)C"


def run_line_reader(*args, **kwargs):
    """The command line with the line-oriented DOT reader, the one that warns about lines."""
    return run_cli("--dot-reader", "line", *args, **kwargs)


def write_dot(tmp_path, text, name="g.dot"):
    path = tmp_path / name
    path.write_bytes(text.encode() if isinstance(text, str) else text)
    return path


@pytest.mark.parametrize("text, warnings", [
    # Each case: what a DOT user writes, and what the reader does with it, said on the line's number.
    ("graph { a -- b }\n", ["1: statements after '{' on the header line are skipped"]),
    ("graph G {\na -- b; b -- c;\nc -- d\n}\n",
     ["2: several statements, or a comment after ';', on one line: read as edge 'a' -- 'b;'"]),
    ("graph G {\na -- b -- c\n}\n", ["2: an edge chain: only its first edge is read, as edge 'a' -- 'b'"]),
    ("digraph G {\na -> b;\nb -> c [label=x];\n}\n",
     ["1: a digraph: this reader reads only undirected '--' edges",
      "3: '->' is not an edge for this reader: read as node 'b' labelled 'x'"]),
    ("graph G {\n// a -- b\nc -- d\n}\n", ["2: a comment read as a statement (edge '//' -- 'b')"]),
    ("graph G {\nnode [label=C];\na -- b\n}\n",
     ["2: 'node [...]' default attributes are not applied: read as a node named 'node'"]),
    ("graph G {\na -- b [label=2];\n}\n",
     ["2: the edge label '2' is not its modality (this reader takes it from weight=): read with modality '1'"]),
    ("graph G {\ra -- b;\r}\r", ["1: a carriage return without a line feed",
                                 "1: statements after '{' on the header line are skipped"]),
    ("\ufeffa -- b\n", ["1: a byte order mark (U+FEFF) starts the text"]),
    ("graph G {\na -- b\na [label=X]\n}\n", ["3: node 'a' already has the label '.' from line 2"]),
    ("graph G {\na;\nrankdir=LR;\nb [label=\"x,y\"]\n}\n",
     ["2: a node without attributes is not created", "3: line not read",
      "4: a comma inside quotes splits the attribute list: read 'label=\"x'"]),
])
def test_dot_lines_the_reader_skips_or_misreads_are_warned_about_with_their_line(tmp_path, text, warnings):
    path = write_dot(tmp_path, text)
    done = run_line_reader(path)
    found = [line.removeprefix(f"{path}:").replace(": warning: ", ": ", 1)
             for line in done.stderr.splitlines() if ": warning: " in line]
    assert len(found) == len(warnings) and all(map(str.startswith, found, warnings)), done.stderr
    # What the reader reads is unchanged: the output is what parse_dot gives, or no graph.
    read = tolva.parse_dot(str(path))
    if read.node_count:
        assert (done.returncode, done.stdout) == (0, f"{path}\t{cgraph(read)}\n")
    else:
        assert (done.returncode, done.stdout) == (1, "")
        assert done.stderr.endswith(f"{path}: no graph found\n")
    strict = run_line_reader("--strict", path)
    assert (strict.stdout, strict.returncode) == ("", 1)
    assert strict.stderr.replace(": error: ", ": warning: ") == done.stderr


def test_well_formed_dot_gives_no_warning_and_a_file_without_nodes_fails(tmp_path):
    clean = "strict graph G {\n  a [label=A];  // atom\n\n  a -- b [weight=2];\n  b -- c;\n}\n"
    done = run_line_reader("--strict", write_dot(tmp_path, clean))
    assert (done.returncode, done.stderr) == (0, "")
    not_dot = write_dot(tmp_path, "root:$y$j9T$abc:19000:0:99999:7:::\nbin:*:19000:0:99999:7:::\n", "shadow")
    done = run_line_reader(not_dot, "-", stdin="")
    assert done.returncode == 1 and done.stdout == ""
    assert done.stderr.splitlines()[-2:] == [f"{not_dot}: no graph found", "-: no graph found"]
    flood = write_dot(tmp_path, "".join(f"n{i};\n" for i in range(30)) + "a -- b\n", "flood.dot")
    lines = run_line_reader(flood).stderr.splitlines()
    assert len(lines) == 11 and lines[-1] == f"{flood}: 20 more warnings not shown"


@pytest.mark.parametrize("name, pack", [
    ("c.jsonl", bytes), ("c.ndjson", bytes), ("c.jsonl.gz", gzip.compress), ("c.NDJSON.xz", lzma.compress),
])
def test_corpora_are_read_by_their_name(tmp_path, name, pack):
    corpus = tmp_path / name
    corpus.write_bytes(pack((json.dumps(ETHANOL) + "\n{bad\n").encode()))
    done = run_cli(corpus)
    assert done.stdout == ETHANOL_LINE + "\n"
    assert done.stderr == f"{corpus}:2: invalid JSON: Expecting property name enclosed in double quotes (column 2)\n"


def test_zstandard_corpora_need_the_zstandard_package(tmp_path):
    corpus = tmp_path / "c.jsonl.zst"
    corpus.write_bytes(b"\x28\xb5\x2f\xfd")
    done = run_cli(corpus, hide=hidden_package(tmp_path, "zstandard"))
    assert done.returncode == 1
    assert done.stderr == f"{corpus}: cannot read: reading .zst files needs the zstandard package " \
                          "(pip install zstandard)\n"
    zstandard = pytest.importorskip("zstandard")
    corpus.write_bytes(zstandard.ZstdCompressor().compress(json.dumps(ETHANOL).encode()))
    assert run_cli(corpus).stdout == ETHANOL_LINE + "\n"


@pytest.mark.parametrize("name, reason", [
    ("c.jsonl.xz", "Corrupt input data"), ("c.jsonl.zst", "zstd decompressor error: Restored data doesn't match"),
    ("g.dot.gz", "CRC check failed"), ("g.dot.xz", "Corrupt input data"),
])
def test_a_damaged_compressed_input_fails_alone(tmp_path, name, reason):
    # The command line imports a decompressor only for a file that needs it: its errors must
    # still be reported as the input's failure, not escape as a traceback.
    suffix = name.rpartition(".")[2]
    pack = {"gz": gzip.compress, "xz": lzma.compress}.get(suffix) or pytest.importorskip(
        "zstandard").ZstdCompressor(write_checksum=True).compress
    text = "".join(json.dumps({**ETHANOL, "name": f"g{i}"}) + "\n" for i in range(3000)) if ".jsonl" in name \
        else "graph {\na -- b\n}\n"
    data = bytearray(pack(text.encode()))
    data[len(data) // 2:len(data) // 2 + 8] = b"\xff" * 8
    damaged = write_dot(tmp_path, bytes(data), name)
    done = run_cli("-q", damaged, write_lines(tmp_path / "good.jsonl", [ETHANOL]))
    assert done.returncode == 1
    assert done.stderr.startswith(f"{damaged}: cannot read: {reason}") and done.stderr.count("\n") == 1
    assert done.stdout.endswith(ETHANOL_LINE + "\n")


def test_standard_input_is_json_lines_when_it_starts_with_a_brace_else_dot():
    corpus = "\n  " + json.dumps(ETHANOL) + "\n" + json.dumps({**ETHANOL, "name": "again"}) + "\n"
    done = run_cli("-", stdin=corpus)
    assert (done.returncode, done.stdout) == (0, f"{ETHANOL_LINE}\nagain\t(C:1, O:1)C\n")
    dot = "\n\ngraph G {\n -- b\n}\n"  # line numbers count the blank start
    assert run_line_reader("-", stdin=dot).stderr == "-: parse error: line 4: empty node id\n"
    as_dot = run_line_reader("--format", "dot", "-", stdin=corpus)
    assert as_dot.stdout.startswith("-\t") and "-:2: warning: " in as_dot.stderr
    assert run_cli("-", "-", stdin=corpus).stdout == done.stdout  # the second read finds the end


def test_a_lone_surrogate_in_a_corpus_is_one_bad_line_and_the_run_goes_on(tmp_path):
    corpus = write_lines(tmp_path / "c.jsonl", [
        '{bad\n', '{"name":"x","nodes":[["a","\\ud800"]],"edges":[]}\n', ETHANOL])
    done = run_cli(corpus)
    assert (done.returncode, done.stdout) == (1, ETHANOL_LINE + "\n")
    assert done.stderr.splitlines()[1] == (
        f"{corpus}:2: 'nodes' item 0 holds a lone surrogate ('\\ud800'), which is not valid Unicode")


def test_smiles_and_sdf_files_are_read_through_rdkit(tmp_path):
    chem = pytest.importorskip("rdkit.Chem")
    smiles = tmp_path / "m.smi"
    smiles.write_text("# SMILES NAME\nCCO ethanol\n\nOCC\tethanol, written again\nC1CC ring\nc1ccccc1\n")
    done = run_cli(smiles)
    ethanol = cgraph(graph([("a0", "CH3"), ("a1", "CH2"), ("a2", "OH")], [("a0", "a1", "1"), ("a1", "a2", "1")]))
    assert done.stdout.splitlines()[:2] == [f"ethanol\t{ethanol}", f"ethanol, written again\t{ethanol}"]
    assert done.stdout.splitlines()[2].startswith(f"{smiles}:6\t")
    assert (done.returncode, done.stderr) == (1, f"{smiles}:5: not a valid SMILES string: 'C1CC'\n")
    sdf = tmp_path / "m.sdf"
    with chem.SDWriter(str(sdf)) as writer:
        for text, name in [("CCO", "ethanol"), ("[NH4+]", "")]:
            molecule = chem.MolFromSmiles(text)
            molecule.SetProp("_Name", name)
            writer.write(molecule)
    with open(sdf, "a") as more:
        more.write("not a mol block\n$$$$\n")
    done = run_cli(sdf, "--format", "sdf")
    assert done.stdout == f"ethanol\t{ethanol}\n{sdf}#2\t()NH4+\n"
    assert done.stderr == f"{sdf}#3: not a readable molecule record\n"
    from_stdin = run_cli("--format", "smiles", "-", stdin="CCO ethanol\n")
    assert from_stdin.stdout == f"ethanol\t{ethanol}\n"


def test_molecule_files_without_rdkit_say_what_to_install(tmp_path):
    smiles = write_dot(tmp_path, "CCO ethanol\n", "m.smi")
    done = run_cli(smiles, tmp_path / "m.sdf", "examples/ethanol.dot", hide=hidden_package(tmp_path, "rdkit"))
    assert done.returncode == 1 and done.stdout.startswith("examples/ethanol.dot\t")
    assert done.stderr.splitlines() == [f"{smiles}: reading SMILES needs RDKit (pip install rdkit)",
                                        f"{tmp_path / 'm.sdf'}: reading SDF needs RDKit (pip install rdkit)"]


@pytest.mark.skipif(not os.path.exists("/proc/self/status"), reason="needs Linux")
def test_running_out_of_memory_while_reading_fails_that_input_only():
    # /dev/zero never ends: reading it exhausts the capped address space.
    done = run_cli("-q", "/dev/zero", "examples/benzene.dot", memory_limit=3_000_000_000)
    assert done.stderr == "/dev/zero: out of memory\n"
    assert done.stdout.startswith("examples/benzene.dot\t") and done.returncode == 1
