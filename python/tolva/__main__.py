"""`python -m tolva`: the same command line as `tolva`."""

import sys

from tolva.cli import main

if __name__ == "__main__":
    sys.exit(main())
