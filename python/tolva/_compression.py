"""Files read through the decompressor their name asks for: ".gz" (gzip), ".xz" (xz), ".zst"
(Zstandard, with the zstandard package); any other name is read as it is.

    with open_decompressed("corpus.jsonl.gz") as data:   # binary, decompressed on the fly
        first = data.readline()
    uncompressed_name("corpus.jsonl.gz")                 # "corpus.jsonl": what tells the format

A damaged compressed file raises, while it is read, OSError or one of decompression_errors().
"""

from __future__ import annotations

import importlib
import io
import os
import sys

TYPE_CHECKING = False  # typing is imported by type checkers only: it slows the command's start
if TYPE_CHECKING:
    from typing import IO, Any

ZSTD_MISSING = "reading .zst files needs the zstandard package (pip install zstandard)"

# The decompressors are imported when a file needs one: most inputs are not compressed, and
# the imports slow every start of the command line (zstandard alone by several milliseconds).
# Each module's error class names the attribute raised for a damaged stream.
ERROR_OF_MODULE = {"zlib": "error", "lzma": "LZMAError", "zstandard": "ZstdError"}


def optional_module(name: str) -> Any:
    """The module, or None when it is not installed."""
    try:
        return importlib.import_module(name)
    except ImportError:
        return None


def decompression_errors() -> tuple[type[Exception], ...]:
    """What a truncated or corrupt stream raises besides OSError (gzip.BadGzipFile is one).
    Meant for an except clause, which evaluates it when an exception arrives: an error of a
    decompressor can only have been raised once its module was imported, so the modules not
    imported yet are left out without missing one."""
    errors: list[type[Exception]] = [EOFError]
    for name, attribute in ERROR_OF_MODULE.items():
        module = sys.modules.get(name)
        if module is not None:
            errors.append(getattr(module, attribute))
    return tuple(errors)


def compression_of(path: str | os.PathLike[str]) -> str | None:
    """"gz", "xz" or "zst" when the name ends with that suffix (any case), else None."""
    suffix = os.fspath(path).lower().rpartition(".")[2]
    return suffix if suffix in ("gz", "xz", "zst") else None


def uncompressed_name(path: str | os.PathLike[str]) -> str:
    """The name without its compression suffix."""
    name = os.fspath(path)
    kind = compression_of(name)
    return name[: -len(kind) - 1] if kind else name


def open_decompressed(path: str | os.PathLike[str]) -> IO[bytes]:
    """The file opened for binary reading, decompressed as its name says. Raises OSError when it
    cannot be opened, ModuleNotFoundError for ".zst" without the zstandard package."""
    kind = compression_of(path)
    if kind == "gz":
        import gzip  # here: most inputs are not compressed, and the import slows every start

        stream: IO[bytes] = gzip.open(path, "rb")  # type: ignore[assignment]
        return stream
    if kind == "xz":
        import lzma

        return lzma.open(path, "rb")
    if kind == "zst":
        zstandard = optional_module("zstandard")
        if zstandard is None:
            raise ModuleNotFoundError(ZSTD_MISSING, name="zstandard")
        return io.BufferedReader(ZstdFrames(open(path, "rb"), zstandard))
    return open(path, "rb")


class ZstdFrames(io.RawIOBase):
    """The decompressed content of every Zstandard frame of a file, one after the other. A file
    that ends inside a frame raises EOFError, as gzip and xz do (zstandard's own reader ends
    quietly there, so a truncated file would look complete)."""

    CHUNK = 1 << 16

    def __init__(self, raw: IO[bytes], zstandard: Any) -> None:
        self.raw = raw
        self.zstandard = zstandard
        self.frame = zstandard.ZstdDecompressor().decompressobj()
        self.pending = b""
        self.offset = 0  # of the first byte of `pending` not yet handed out
        self.started = False  # some bytes of the current frame were read

    def readable(self) -> bool:
        return True

    def readinto(self, buffer: Any) -> int:
        while self.offset == len(self.pending):
            self.pending, self.offset = b"", 0
            if not self.decompress_more():
                return 0
        size = min(len(buffer), len(self.pending) - self.offset)
        buffer[:size] = memoryview(self.pending)[self.offset:self.offset + size]
        self.offset += size
        return size

    def decompress_more(self) -> bool:
        """Decompresses the next chunk into `pending`; False at the end of the file."""
        chunk = self.raw.read(self.CHUNK)
        if not chunk:
            if self.started:
                raise EOFError("compressed file ended before the end-of-stream marker was reached")
            return False
        while chunk:
            self.started = True
            self.pending += self.frame.decompress(chunk)
            if not self.frame.eof:
                break
            chunk = self.frame.unused_data
            self.frame = self.zstandard.ZstdDecompressor().decompressobj()
            self.started = False
        return True

    def close(self) -> None:
        self.raw.close()
        super().close()
