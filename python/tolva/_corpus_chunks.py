"""A JSON Lines corpus read as chunks of whole lines (bytes), for the native batch reader
that takes a chunk from bytes to output lines in one call.

    with open("corpus.jsonl", "rb") as stream:
        for chunk in corpus_chunks(stream, "corpus.jsonl"):
            print(chunk.first_line, chunk.data.count(b"\\n"))

Lines end at b"\\n" only, as when a binary file is iterated. The first chunk is small, so that
the first results come at once (`tolva big.jsonl | head`); a line longer than a chunk makes
a chunk of its own. When reading fails, the whole lines read before the failure still come
as a chunk, then the error is raised. Each read is one read1 call: a buffered file reads up to
a chunk from the system at once; any other stream (a decompressor) one buffer at a time, so that
a damaged compressed file loses no more lines than reading it line by line would.
"""

from __future__ import annotations

import io
from collections.abc import Iterator

from tolva._tolva import line_end_count

TYPE_CHECKING = False  # typing is imported by type checkers only: it slows the command's start
if TYPE_CHECKING:
    from typing import IO

# Reads of a decompressing stream take at most this much, as a buffered line reader does: what
# one read decompressed is lost with it when the stream turns out damaged.
PIECE = io.DEFAULT_BUFFER_SIZE


class ChunkSizes:
    # About 40 molecules, then about 1,400: each chunk costs a native call and a write.
    __slots__ = ("first", "later")

    def __init__(self, first: int = 1 << 15, later: int = 1 << 20) -> None:
        self.first = first
        self.later = later


class CorpusChunk:
    """Whole lines of the corpus `path`, the first of them line `first_line` (from 1)."""

    __slots__ = ("path", "first_line", "data")

    def __init__(self, path: str, first_line: int, data: bytes) -> None:
        self.path = path
        self.first_line = first_line
        self.data = data


def corpus_chunks(stream: IO[bytes], path: str, sizes: ChunkSizes = ChunkSizes()) -> Iterator[CorpusChunk]:
    # A buffered reader hands over what one system read gives, so its reads can be large.
    largest = sizes.later if isinstance(stream, io.BufferedReader) else PIECE
    read = stream.read1 if hasattr(stream, "read1") else stream.read
    pending: list[bytes] = []
    pending_size = 0
    line = 1
    wanted = sizes.first

    def cut(final: bool) -> CorpusChunk | None:
        """The whole lines pending (all of them when `final`) as a chunk; the rest stays."""
        nonlocal pending, pending_size, line
        last = len(pending) - 1
        end = len(pending[last]) if final and pending else 0
        while not final and last >= 0:
            end = pending[last].rfind(b"\n") + 1
            if end:
                break
            last -= 1
        if last < 0:
            return None
        # The chunk's bytes are copied once: fresh memory is costly at this size.
        piece = pending[last]
        rest = pending[last + 1:]
        if end < len(piece):
            rest.insert(0, piece[end:])
        if last:
            data = b"".join(pending[:last] + [memoryview(piece)[:end]])
        else:
            data = piece if end == len(piece) else piece[:end]
        pending = rest
        pending_size = sum(map(len, rest))
        chunk = CorpusChunk(path, line, data)
        line += line_end_count(data)
        return chunk

    while True:
        try:
            piece = read(min(largest, max(wanted - pending_size, PIECE)))
        except Exception:
            chunk = cut(final=False)
            if chunk is not None:
                yield chunk
            raise
        if not piece:
            break
        pending.append(piece)
        pending_size += len(piece)
        if pending_size >= wanted and b"\n" in piece:
            chunk = cut(final=False)
            if chunk is not None:
                yield chunk
            wanted = sizes.later
    chunk = cut(final=True)
    if chunk is not None:
        yield chunk
