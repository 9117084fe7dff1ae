"""The modules' published functions as their own namespaces and signatures give them, and the
files their code objects and traceback entries name."""
import inspect

from ralo_ui.fast.shapes import draw
from ralo_ui.fast.shapes import fast_shapes as fs

# What fast_shapes imports into its namespace besides its functions.
BINDINGS = {"md", "np", "lru_cache"}
# fast_shapes' published functions' names, in namespace order.
PUBLISHED = [name for name, value in vars(fs).items() if callable(value) and name not in BINDINGS
             and not name.startswith("__")]
FILE = "src/ralo_ui/fast/shapes/fast_shapes"

# The same for draw.
DRAW_BINDINGS = {"md", "lru_cache"}
DRAW_PUBLISHED = [name for name, value in vars(draw).items() if callable(value) and name not in DRAW_BINDINGS
                  and not name.startswith("__")]
DRAW_FILE = "src/ralo_ui/fast/shapes/draw"

# Every published function of both modules (their names do not clash), and its module.
MODULE_OF = {**{name: fs for name in PUBLISHED}, **{name: draw for name in DRAW_PUBLISHED}}


def function(name):
    """A published function of either module by name."""
    return getattr(MODULE_OF[name], name)


def counts(name):
    """(parameter count, required count) of a published function, read from its signature."""
    params = inspect.signature(function(name)).parameters.values()
    return len(params), sum(p.default is inspect.Parameter.empty for p in params)
