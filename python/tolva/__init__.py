"""tolva: canonical strings and canonical node orders for labelled multigraphs."""

from tolva._tolva import *  # noqa: F401,F403
from tolva._tolva import __all__ as _module_all
from tolva._tolva import InternalError

__all__ = [*_module_all, "InternalError"]
