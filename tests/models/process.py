"""Python code run in a fresh interpreter, for what one process cannot show twice."""
import os
import subprocess
import sys
import textwrap


def run_python(code, *, path=None, env=None, args=(), timeout=120):
    """Runs `code` (dedented; None: the interpreter with `args` alone) in this interpreter's
    executable, with `args` before -c.  env adds to the environment (None removes a name);
    path, if given, becomes PYTHONPATH.  The completed process, its output as text."""
    environ = dict(os.environ, **(env or {}))
    environ = {k: v for k, v in environ.items() if v is not None}
    if path is not None:
        environ["PYTHONPATH"] = str(path)
    command = [sys.executable, *args] + (["-c", textwrap.dedent(code)] if code is not None else [])
    return subprocess.run(command, capture_output=True, text=True, timeout=timeout, env=environ)
