"""The module's published functions as its own namespace and signatures give them, and the file
their code objects and traceback entries name."""
import inspect

from ralo_ui.fast.shapes import fast_shapes as fs

# What the module imports into its namespace besides its functions.
BINDINGS = {"md", "np", "lru_cache"}
# The published functions' names, in namespace order.
PUBLISHED = [name for name, value in vars(fs).items() if callable(value) and name not in BINDINGS
             and not name.startswith("__")]
FILE = "src/ralo_ui/fast/shapes/fast_shapes"


def counts(name):
    """(parameter count, required count) of a published function, read from its signature."""
    params = inspect.signature(getattr(fs, name)).parameters.values()
    return len(params), sum(p.default is inspect.Parameter.empty for p in params)
