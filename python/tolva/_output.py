"""Where the command line writes its own lines: standard output or a file (-o), as UTF-8, and
where the library's trace lines go.

    with Output.open(None) as out:          # standard output; Output.open("x.txt") for a file
        out.write("name\\tstring\\n")
        out.flush()

A write that fails raises OutputError with the system's reason, except a closed pipe, which
raises BrokenPipeError: the reader has gone (`tolva ... | head`), a quiet end. After either,
`abandon()` drops what is still buffered so that nothing fails again at exit.

The library writes trace lines straight to file descriptor 1. `trace_to_stderr()` points that
descriptor at standard error for a while and hands back the real standard output, so that
JSON output stays JSON while the trace is on.
"""

from __future__ import annotations

import contextlib
import io
import os
import sys
from collections.abc import Iterator

STDOUT_FD = 1
STDERR_FD = 2


class OutputError(Exception):
    """The output cannot be written; str() is the reason."""


class Output:
    def __init__(self, stream: io.TextIOWrapper) -> None:
        self.stream = stream

    @classmethod
    @contextlib.contextmanager
    def open(cls, path: str | None, fd: int = STDOUT_FD) -> Iterator[Output]:
        """The file at `path`, or the descriptor `fd` (left open) when `path` is None."""
        try:
            if path is None:
                os.fstat(fd)
                raw = open(fd, "wb", closefd=False)
            else:
                raw = open(path, "wb")
        except OSError as error:
            reason = "standard output is closed" if path is None else f"{path}: {error.strerror or error}"
            raise OutputError(reason) from None
        # Lines reach a terminal as they are written, a pipe or file in blocks.
        stream = io.TextIOWrapper(raw, encoding="utf-8", errors="backslashreplace", newline="\n",
                                  line_buffering=raw.isatty())
        output = cls(stream)
        try:
            yield output
        finally:
            with contextlib.suppress(OSError):
                stream.close()

    def isatty(self) -> bool:
        return self.stream.isatty()

    def write(self, text: str) -> None:
        try:
            self.stream.write(text)
        except BrokenPipeError:
            raise
        except OSError as error:
            raise OutputError(error.strerror or str(error)) from None

    def flush(self) -> None:
        try:
            self.stream.flush()
        except BrokenPipeError:
            raise
        except OSError as error:
            raise OutputError(error.strerror or str(error)) from None

    def abandon(self) -> None:
        """Sends the rest to /dev/null: the buffered lines that failed are dropped quietly."""
        devnull = os.open(os.devnull, os.O_WRONLY)
        try:
            os.dup2(devnull, self.stream.fileno())
        finally:
            os.close(devnull)


def ensure_stdout_fd() -> bool:
    """True when file descriptor 1 is open. When it is closed, it is pointed at /dev/null, so
    that no file opened later takes its place and receives trace lines."""
    try:
        os.fstat(STDOUT_FD)
        return True
    except OSError:
        devnull = os.open(os.devnull, os.O_WRONLY)
        if devnull != STDOUT_FD:
            os.dup2(devnull, STDOUT_FD)
            os.close(devnull)
        return False


@contextlib.contextmanager
def trace_to_stderr() -> Iterator[int]:
    """Points descriptor 1 at standard error while the block runs; yields a descriptor of the
    real standard output, and puts it back on 1 at the end."""
    if sys.stdout is not None:
        sys.stdout.flush()
    saved = os.dup(STDOUT_FD)
    os.dup2(STDERR_FD, STDOUT_FD)
    try:
        yield saved
    finally:
        os.dup2(saved, STDOUT_FD)
        os.close(saved)
