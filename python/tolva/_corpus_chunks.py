"""A JSON Lines corpus read as chunks of whole lines (bytes), for the native batch reader
that takes a chunk from bytes to output lines in one call.

    with open("corpus.jsonl", "rb") as stream:
        for chunk in corpus_chunks(stream, "corpus.jsonl"):
            print(chunk.first_line, chunk.data.count(b"\\n"))

Lines end at b"\\n" only, as when a binary file is iterated. The first chunk is small, so that
the first results come at once (`tolva big.jsonl | head`); a line longer than a chunk makes
a chunk of its own. When reading fails, the whole lines read before the failure still come
as a chunk, then the error is raised; reading takes one buffer at a time (read1), so that a
damaged compressed file loses no more lines than reading it line by line would.
"""

from __future__ import annotations

import io
from collections.abc import Iterator

TYPE_CHECKING = False  # typing is imported by type checkers only: it slows the command's start
if TYPE_CHECKING:
    from typing import IO

# Reads take at most this much, as a buffered line reader does.
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
    pending: list[bytes] = []
    pending_size = 0
    line = 1
    wanted = sizes.first

    def cut(final: bool) -> CorpusChunk | None:
        """The whole lines pending (all of them when `final`) as a chunk; the rest stays."""
        nonlocal pending, pending_size, line
        data = b"".join(pending)
        end = len(data) if final else data.rfind(b"\n") + 1
        pending = [data[end:]] if end < len(data) else []
        pending_size = len(data) - end
        if end == 0:
            return None
        chunk = CorpusChunk(path, line, data[:end])
        line += chunk.data.count(b"\n")
        return chunk

    while True:
        try:
            piece = stream.read1(PIECE) if hasattr(stream, "read1") else stream.read(PIECE)
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
