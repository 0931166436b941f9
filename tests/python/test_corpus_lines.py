"""The command line's native path for JSON Lines: chunks of whole lines (tolva._corpus_chunks)
and outputs_of_jsonl, which must make of every line exactly what the Python reader and writer
make of it, in order, and leave every other line to them."""

import gzip
import io
import json
import lzma

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from conftest import cgraph, run_cli, write_lines
from test_batch_faults import over_the_node_limit
from test_json_line import damaged_lines
from tolva import _batches, cli
from tolva._batches import Canonizer
from tolva._compression import open_decompressed
from tolva._corpus_chunks import ChunkSizes, corpus_chunks
from tolva._tolva import (canonical_node_order_py, graph_from_edges, graph_from_json_line, graph_key, outputs_of_jsonl,
                          outputs_of_jsonl_stream)
from tolva._writers import json_line, plain, plain_id

# Every character the plain and JSON outputs escape, and some they must leave alone.
TEXTS = st.text(alphabet=st.sampled_from(["a", "C", " ", "\\", "\t", "\n", "\r", "\x00", "\x08", "\x0c", "\x1f",
                                          "\x7f", "\x85", "\xa0", "\u2028", "\u2029", "é", "😀", '"']),
                max_size=4)
BLANK = st.sampled_from([b"", b"  ", b"\t\x0b\x0c\r"])


@st.composite
def graph_lines(draw):
    nodes = draw(st.lists(st.tuples(st.sampled_from("abc"), TEXTS), max_size=3))
    edges = draw(st.lists(st.tuples(st.sampled_from("abcd"), st.sampled_from("abcd"), TEXTS), max_size=4))
    record = {"name": draw(TEXTS), "nodes": [list(n) for n in nodes], "edges": [list(e) for e in edges]}
    return json.dumps(record, ensure_ascii=draw(st.booleans())).encode() + draw(st.sampled_from([b"", b"\r"]))


def python_path(line, product, options):
    """What Python's json, graph_from_edges and the command line's writer make of one line that
    the native reader took (so independently of that reader)."""
    record = json.loads(line)
    name = record["name"]
    graph = graph_from_edges([tuple(n) for n in record["nodes"]], [tuple(e) for e in record["edges"]])
    if product == "key":
        return name, graph_key(graph, options["compact"], options["allow_hashes"])
    order = canonical_node_order_py(graph, None, None, options["allow_hashes"], options["compact"])
    if product == "order":
        return f"{plain(name)}\t{' '.join(map(plain_id, order))}\n"
    if product == "json":
        return json_line({"name": name, "cgraph": cgraph(graph, **options)})
    if product == "json_order":
        return json_line({"name": name, "cgraph": cgraph(graph, **options), "order": order})
    return f"{plain(name)}\t{plain(cgraph(graph, **options))}\n"


@settings(max_examples=300, deadline=None)
@given(st.lists(graph_lines() | damaged_lines().map(lambda line: line.replace(b"\n", b" ")) | BLANK, max_size=8),
       st.sampled_from(["cgraph", "order", "json", "json_order", "key"]), st.booleans(), st.booleans(), st.booleans(),
       st.integers(1, 3))
def test_each_line_is_made_as_the_python_path_makes_it_or_left_to_it(lines, product, hashes, compress, compact,
                                                                     workers):
    options = {"allow_hashes": hashes, "compress": compress, "compact": compact}
    items = outputs_of_jsonl(b"\n".join(lines), product, None, None, hashes, compress, compact, workers)
    graph_indices = [i for i, line in enumerate(lines) if line.strip()]
    assert len(items) == len(graph_indices)
    for index, item in zip(graph_indices, items):
        if isinstance(item, str) or isinstance(item[0], str):
            assert item == python_path(lines[index], product, options)
        else:
            assert item == (index, lines[index].rstrip(b"\n"))
            assert graph_from_json_line(lines[index]) is None


def test_a_failed_graph_keeps_its_name_and_the_error_of_to_cgraph():
    edges = [list(edge) for edge in over_the_node_limit().edges()]
    huge = json.dumps({"name": "huge", "nodes": [], "edges": [edge[1:] for edge in edges]}).encode()
    items = outputs_of_jsonl(b'{"name":"x","nodes":[],"edges":[]}\n' + huge, workers=2)
    assert items[0] == "x\t\n"
    name, error = items[1]
    assert name == "huge" and isinstance(error, ValueError)
    assert str(error) == "unsupported: dag rewrite node limit exceeded"


def comparable(items):
    """Items with each failed graph's exception as (type, text): exceptions compare by identity."""
    if items is None:
        return None
    return [(item[0], type(item[1]), str(item[1])) if isinstance(item, tuple) and isinstance(item[1], BaseException)
            else item for item in items]


def streamed(chunks, workers=2, product="cgraph"):
    handed = []
    outputs_of_jsonl_stream(chunks, lambda tag, items: handed.append((tag, comparable(items))), product,
                            workers=workers)
    return handed


@settings(max_examples=100, deadline=None)
@given(st.lists(st.none() | st.lists(graph_lines() | damaged_lines().map(lambda line: line.replace(b"\n", b" "))
                                     | BLANK, max_size=6).map(b"\n".join), max_size=6),
       st.sampled_from(["cgraph", "order", "json", "json_order", "key"]), st.integers(1, 3))
def test_a_stream_of_chunks_hands_on_each_chunks_outputs_in_order(chunks, product, workers):
    expected = [(i, None if chunk is None else comparable(outputs_of_jsonl(chunk, product, workers=1)))
                for i, chunk in enumerate(chunks)]
    assert streamed(enumerate(chunks), workers, product) == expected


def failing_after(chunks, error):
    yield from chunks
    raise error


def test_a_failed_read_comes_after_the_chunks_before_it_and_ctrl_c_at_once():
    chunks = [("a", b'{"name":"x","nodes":[],"edges":[]}\n'), ("b", None), ("c", b"\n")]
    handed = []
    with pytest.raises(OSError, match="disk"):
        outputs_of_jsonl_stream(failing_after(chunks, OSError("disk")), lambda tag, items: handed.append(tag))
    assert handed == ["a", "b", "c"]
    # A cycle with one node labelled apart takes seconds (every other node a tied root): Ctrl-C
    # while it runs does not wait for it.
    n = 5000
    cycle = json.dumps({"name": "c", "nodes": [["0", "X"]],
                        "edges": [[str(i), str((i + 1) % n), "1"] for i in range(n)]})
    handed.clear()
    with pytest.raises(KeyboardInterrupt):
        outputs_of_jsonl_stream(failing_after([chunks[0], ("slow", cycle.encode())], KeyboardInterrupt()),
                                lambda tag, items: handed.append(tag))
    assert handed == ["a"]


def test_a_failing_handler_stops_the_stream_and_its_error_comes_out():
    pulled = []

    def chunks():
        for i in range(100):
            pulled.append(i)
            yield i, b'{"name":"x","nodes":[["a","C"]],"edges":[]}\n' * 50

    def handle(tag, items):
        raise BrokenPipeError(tag)

    with pytest.raises(BrokenPipeError, match="0"):
        outputs_of_jsonl_stream(chunks(), handle, workers=2)
    assert len(pulled) <= 3


@pytest.mark.parametrize("chunks", [[b"{}"], [("a", "text")], [("a",)], 5])
def test_a_stream_takes_only_pairs_of_a_tag_and_bytes_or_none(chunks):
    with pytest.raises(TypeError):
        outputs_of_jsonl_stream(chunks, lambda tag, items: None)


class FailingStream(io.RawIOBase):
    """A file whose reading fails once `good` bytes have been read (never when `good` is None)."""

    def __init__(self, data, good):
        self.data, self.good, self.at = data, good, 0

    def readable(self):
        return True

    def readinto(self, buffer):
        if self.good is None and self.at == len(self.data):
            return 0
        if self.good is not None and self.at >= self.good:
            raise OSError("damaged")
        size = min(len(buffer), (self.good if self.good is not None else len(self.data)) - self.at)
        buffer[:size] = self.data[self.at:self.at + size]
        self.at += size
        return size


def chunk_stream(text, good, buffered):
    """The text as a buffered file (read a chunk at a time) or as a stream of another kind
    (read a buffer at a time), failing after `good` bytes."""
    raw = FailingStream(text, good)
    return io.BufferedReader(raw, buffer_size=16) if buffered else io.BufferedRWPair(raw, io.BytesIO())


@settings(max_examples=200, deadline=None)
@given(st.lists(st.binary(max_size=30).map(lambda b: b.replace(b"\n", b"")), max_size=30), st.booleans(),
       st.integers(1, 64), st.integers(1, 64), st.booleans(), st.data())
def test_chunks_are_whole_lines_numbered_from_one_and_nothing_read_is_lost(lines, final_newline, first, later,
                                                                           buffered, data):
    text = b"\n".join(lines) + (b"\n" if final_newline and lines else b"")
    sizes = ChunkSizes(first, later)
    chunks = list(corpus_chunks(chunk_stream(text, None, buffered), "c.jsonl", sizes))
    assert b"".join(chunk.data for chunk in chunks) == text
    assert all(chunk.data.endswith(b"\n") for chunk in chunks[:-1])
    assert [chunk.first_line for chunk in chunks] == [
        1 + text[:sum(len(c.data) for c in chunks[:i])].count(b"\n") for i in range(len(chunks))]
    good = data.draw(st.integers(0, len(text)))
    read = []
    with pytest.raises(OSError):
        for chunk in corpus_chunks(chunk_stream(text, good, buffered), "c.jsonl", sizes):
            read.append(chunk.data)
    # The whole lines before the failure come out; no more.
    assert b"".join(read) == text[:text.rfind(b"\n", 0, good) + 1]


@pytest.mark.parametrize(("suffix", "compress"), [("gz", gzip.compress), ("xz", lzma.compress)])
def test_a_damaged_compressed_corpus_loses_no_line_that_reading_line_by_line_keeps(tmp_path, suffix, compress):
    text = b"".join(b'{"name": "g%d", "nodes": [["a", "C"]], "edges": []}\n' % i for i in range(20_000))
    path = tmp_path / f"c.jsonl.{suffix}"
    path.write_bytes(compress(text)[:-5_000])
    kept, read = [], []
    with pytest.raises(EOFError), open_decompressed(path) as lines:
        kept.extend(lines)
    with pytest.raises(EOFError), open_decompressed(path) as stream:
        read.extend(chunk.data for chunk in corpus_chunks(stream, str(path)))
    assert len(kept) > 1000 and b"".join(read) == b"".join(kept)


@pytest.mark.parametrize("workers", ["1", "2"])
@pytest.mark.parametrize("mode", [[], ["--order"], ["--json"], ["--json", "--order"], ["dedup"]])
def test_without_memory_for_a_whole_chunk_every_line_takes_the_python_path_to_the_same_output(
        tmp_path, monkeypatch, capsys, mode, workers):
    records = [{"name": f"g{i}", "nodes": [["a", "C"]], "edges": [["a", f"b{i % 3}", "1"]]} for i in range(6)]
    corpus = write_lines(tmp_path / "c.jsonl", records[:2] + ['{"broken\n', "\n"] + records[2:])
    expected = run_cli(*mode, "-q", corpus)
    assert expected.stdout and expected.stderr

    def no_memory(self, chunk, product):
        raise MemoryError

    def stream_without_memory(chunks, handle, *options):
        # As the native stream hands on a chunk whose items find no memory.
        for tag, _ in chunks:
            handle(tag, None)

    monkeypatch.setattr(Canonizer, "native_outputs", no_memory)
    monkeypatch.setattr(_batches, "outputs_of_jsonl_stream", stream_without_memory)
    out = tmp_path / "out.txt"
    assert cli.main([*mode, "-q", "-j", workers, "-o", str(out), str(corpus)]) == expected.returncode == 1
    assert out.read_text() == expected.stdout
    assert capsys.readouterr().err == expected.stderr
