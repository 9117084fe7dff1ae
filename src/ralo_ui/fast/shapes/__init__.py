"""Native rounded-rectangle rasterisers; see the extension module ``fast_shapes``."""


def _refuse_foreign_build():
    """Fails the import, naming both interpreters, when the extension here was built only for others.

    Without this, such an install ends in a bare "cannot import name 'fast_shapes'".
    """
    import importlib.machinery
    import os
    import re
    import sys
    import sysconfig

    found = []
    for folder in __path__:
        try:
            found += [n for n in os.listdir(folder) if n.startswith("fast_shapes.")]
        except OSError:
            continue
    if any(n[len("fast_shapes"):] in importlib.machinery.EXTENSION_SUFFIXES for n in found):
        return
    builds = sorted(n for n in found if n.endswith((".so", ".pyd")))
    if not builds:
        return  # nothing built at all: the ordinary import error says so

    def interpreter(tag):
        m = re.match(r"cp(?:ython-)?3(\d+)(t?)", tag)
        if m is None:
            return f"another interpreter ({tag})"
        return f"CPython 3.{m[1]}" + (" (free-threaded)" if m[2] else "")

    built_for = sorted({interpreter(n.split(".")[1]) for n in builds})
    running = f"CPython {sys.version_info[0]}.{sys.version_info[1]}"
    if sysconfig.get_config_var("Py_GIL_DISABLED"):
        running += " (free-threaded)"
    raise ImportError(
        f"ralo_ui.fast.shapes.fast_shapes was built for {' and '.join(built_for)} "
        f"({', '.join(builds)}), but this is {running} ({sys.executable}): install ralo-ui with this "
        f"interpreter (its own wheel, or pip install from the checkout), or run it with the one it was built for"
    )


_refuse_foreign_build()
del _refuse_foreign_build
