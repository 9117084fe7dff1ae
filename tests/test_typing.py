"""The type stub next to the extension agrees with the functions the module publishes."""
import ast
import inspect
from pathlib import Path

import pytest

from models.published import BINDINGS, PUBLISHED
from ralo_ui.fast.shapes import fast_shapes as fs

SHAPES = Path(fs.__file__).parent
STUB = ast.parse((SHAPES / "fast_shapes.pyi").read_text(), "fast_shapes.pyi")
STUB_FUNCTIONS = {node.name: node for node in STUB.body if isinstance(node, ast.FunctionDef)}


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


def is_lru_cached(node):
    return any(isinstance(d, ast.Call) and isinstance(d.func, ast.Name) and d.func.id == "lru_cache"
               and [(k.arg, ast.literal_eval(k.value)) for k in d.keywords] == [("maxsize", 256)]
               for d in node.decorator_list)


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
    assert is_lru_cached(node) == hasattr(real, "cache_info")
    assert node.returns is not None


@pytest.mark.parametrize("name", PUBLISHED)
def test_help_renders(name, capsys):
    help(getattr(fs, name))
    text = capsys.readouterr().out
    assert text.startswith("Help on ") and f"{name}(" in text
    # Long signatures are wrapped one parameter to a line.
    flat = "".join(text.split())
    assert name + "".join(str(inspect.signature(getattr(fs, name))).split()) in flat
