"""Initialisation: namespace, re-import, re-initialisation, interpreters, function objects."""
import ctypes
import functools
import importlib
import inspect
import subprocess
import sys
import textwrap
import types
import warnings

import numpy
import pygame
import pytest

import ralo_ui.core.modules
from ralo_ui.fast.shapes import fast_shapes as fs

NAME = "ralo_ui.fast.shapes.fast_shapes"
FILE = "src/ralo_ui/fast/shapes/fast_shapes"

SIGNATURES = {
    "_create_outlined_rounded_rect_sdf": "(size, radius, width, color)",
    "_create_rounded_rect_surface_optimized": "(size, radii_input, color)",
    "transform_into_outlined_rounded_rect": "(surf, radii_input, stroke_width, color, background_color=None)",
    "transform_into_rounded_rect": "(surf, radii_input, color=None)",
    "_get_cached_rounded_rect_surface": "(size, radii, color)",
    "create_rounded_rect_surface": "(size, radii_input, color)",
    "_get_cached_outlined_rounded_rect_sdf": "(size, radius, width, color)",
    "create_outlined_rounded_rect_sdf": "(size, radius, width, color)",
}
CACHED = {"_get_cached_rounded_rect_surface", "_get_cached_outlined_rounded_rect_sdf"}


def test_namespace_in_order():
    out = run_python(f"""
        import {NAME} as fs
        print(*[k for k in vars(fs) if not (k.startswith("__") and k.endswith("__")) or k == "__test__"])
    """)
    assert out.stdout.split() == ["md", "np", "lru_cache", *SIGNATURES, "__test__"], out.stderr
    assert fs.md is ralo_ui.core.modules and fs.md.pygame is sys.modules["pygame"]
    assert fs.np is numpy and fs.lru_cache is functools.lru_cache
    assert fs.__test__ == {} and fs.__builtins__ is __import__("builtins")
    assert fs.__name__ == NAME and fs.__package__ == "ralo_ui.fast.shapes" and fs.__doc__ is None


@pytest.mark.parametrize("name", SIGNATURES)
def test_function_objects(name):
    f = getattr(fs, name)
    assert str(inspect.signature(f)) == SIGNATURES[name]
    if name in CACHED:
        assert f.cache_info().maxsize == 256
        f = f.__wrapped__
    assert (f.__name__, f.__qualname__, f.__module__, f.__doc__) == (name, name, NAME, None)
    assert f.__globals__ is vars(fs)
    code = f.__code__
    assert isinstance(code, types.CodeType) and code.co_filename == FILE
    assert code.co_varnames == tuple(inspect.signature(f).parameters)
    assert code.co_posonlyargcount == code.co_kwonlyargcount == 0
    assert f.__defaults__ == ((None,) if "=None" in SIGNATURES[name] else None)
    assert repr(f).startswith(f"<function {name} at ")


def test_caches_are_distinct_and_front_ends_plain():
    a, b = fs._get_cached_rounded_rect_surface, fs._get_cached_outlined_rounded_rect_sdf
    assert a is not b and isinstance(a, functools._lru_cache_wrapper)
    assert not hasattr(fs.create_rounded_rect_surface, "cache_info")
    assert not hasattr(fs.create_outlined_rounded_rect_sdf, "cache_info")


def test_assigning_defaults_warns_and_changes_no_call():
    f = fs.transform_into_rounded_rect
    with pytest.warns(RuntimeWarning, match="__defaults__"):
        f.__defaults__ = (5,)
    try:
        with pytest.raises(TypeError, match=r"at least 2 positional arguments \(1 given\)"):
            f(None)
    finally:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            f.__defaults__ = (None,)
    assert f.__defaults__ == (None,)


def test_reimport_yields_the_same_module_and_keeps_its_caches():
    marker = object()
    fs.__test__["marker"] = marker
    try:
        del sys.modules[NAME]
        again = importlib.import_module(NAME)
        assert again is fs and again.__test__["marker"] is marker
        assert sys.modules[NAME] is fs
    finally:
        sys.modules[NAME] = fs
        fs.__test__.clear()


def test_exec_on_another_module_object_is_refused():
    api = ctypes.pythonapi
    api.PyModule_GetDef.restype = ctypes.c_void_p
    api.PyModule_GetDef.argtypes = [ctypes.py_object]
    api.PyModule_ExecDef.argtypes = [ctypes.py_object, ctypes.c_void_p]
    definition = api.PyModule_GetDef(fs)
    assert api.PyModule_ExecDef(fs, definition) == 0  # the same module: nothing happens
    with pytest.raises(RuntimeError, match="^Module 'fast_shapes' has already been imported. "
                                           "Re-initialisation is not supported.$"):
        api.PyModule_ExecDef(types.ModuleType("other"), definition)


def run_python(code):
    return subprocess.run([sys.executable, "-c", textwrap.dedent(code)], capture_output=True, text=True,
                          timeout=120)


def test_second_interpreter_is_refused():
    out = run_python(f"""
        import {NAME}
        try:
            import _interpreters
        except ImportError:  # 3.12 names the module differently and raises instead of returning
            import _xxsubinterpreters as interpreters
            try:
                interpreters.run_string(interpreters.create(isolated=False), 'import {NAME}')
            except interpreters.RunFailedError as err:
                print(str(err).replace("<class 'ImportError'>:", "ImportError"))
        else:
            interp = _interpreters.create(_interpreters.new_config('legacy'))
            err = _interpreters.exec(interp, 'import {NAME}')
            print(err.type.__name__, err.msg)
    """)
    assert out.returncode == 0, out.stderr
    assert out.stdout.strip() == ("ImportError Interpreter change detected - this module can only be loaded "
                                  "into one interpreter per process.")


def test_failed_initialisation_can_be_retried():
    # Without the host registry the import fails with the import's own error and an
    # "init" entry in the traceback; once the registry is back, initialisation runs again.
    out = run_python(f"""
        import sys, traceback
        sys.modules['ralo_ui.core.modules'] = None
        try:
            import {NAME}
        except ImportError as e:
            entries = [f.name for f in traceback.extract_tb(e.__traceback__)]
            print('init {NAME}' in entries, [f.filename for f in traceback.extract_tb(e.__traceback__)][-1])
        del sys.modules['ralo_ui.core.modules']
        import {NAME} as m
        print(m.md.__name__)
    """)
    assert out.returncode == 0, out.stderr
    assert out.stdout.split() == ["True", FILE, "ralo_ui.core.modules"]


def test_missing_numpy_fails_with_the_c_interface_message():
    out = run_python(f"""
        import sys
        sys.modules['numpy'] = None
        sys.modules['numpy._core._multiarray_umath'] = None
        try:
            import {NAME}
        except ImportError as e:
            print(e)
    """)
    assert out.returncode == 0, out.stderr
    assert out.stdout.startswith("numpy.core.multiarray failed to import (auto-generated because you didn't call")


def test_rebinding_md_redirects_pygame_lookups(monkeypatch):
    class Registry:
        pygame = types.SimpleNamespace()  # no Surface: the lookup must fail here

    monkeypatch.setattr(fs, "md", Registry)
    with pytest.raises(AttributeError, match="Surface"):
        fs._create_rounded_rect_surface_optimized((4, 4), 1, (1, 2, 3))
    monkeypatch.delattr(fs, "md")
    with pytest.raises(NameError, match="^name 'md' is not defined$"):
        fs._create_rounded_rect_surface_optimized((4, 4), 1, (1, 2, 3))


def module_host(**pygame_attrs):
    """md and md.pygame as plain modules: pygame's attributes given here sit in the module's
    namespace, every other one is found by a module __getattr__ that records the name."""
    asked = []

    def fallback(name):
        asked.append(name)
        return getattr(pygame, name)

    pg = types.ModuleType("pg")
    vars(pg).update(pygame_attrs, __getattr__=fallback)
    md = types.ModuleType("md")
    md.pygame = pg
    return md, pg, asked


def test_module_hosts_read_afresh_from_their_namespace_else_through_getattr(monkeypatch):
    md, pg, asked = module_host()
    monkeypatch.setattr(fs, "md", md)
    first = fs._create_rounded_rect_surface_optimized((8, 6), 2, (1, 2, 3))
    assert asked == ["Surface", "SRCALPHA", "surfarray", "surfarray"]

    made = []

    def surface(*args):  # rebound in the namespace between calls: the next call sees it
        made.append(args)
        return pygame.Surface(*args)

    size = (8, 6)
    pg.Surface, pg.SRCALPHA = surface, pygame.SRCALPHA
    second = fs._create_rounded_rect_surface_optimized(size, 2, (1, 2, 3))
    fs._create_rounded_rect_surface_optimized((8.9, 6), 2, (1, 2, 3))
    fs._create_outlined_rounded_rect_sdf((8, 6, 99), 2, 1.0, (1, 2, 3))
    assert made == [(size, pygame.SRCALPHA)] * 3
    assert [type(a[0]) for a in made] == [tuple] * 3 and all(type(v) is int for a in made for v in a[0])
    assert pygame.image.tobytes(first, "RGBA") == pygame.image.tobytes(second, "RGBA")

    del pg.Surface  # found nowhere: the module's own message
    del vars(pg)["__getattr__"]
    with pytest.raises(AttributeError, match="^module 'pg' has no attribute 'Surface'$"):
        fs._create_rounded_rect_surface_optimized((8, 6), 2, (1, 2, 3))


def test_registry_modules_of_a_subclass_keep_their_type_attributes(monkeypatch):
    reads = []

    class Registry(types.ModuleType):
        @property
        def pygame(self):  # a descriptor of the type comes before the namespace
            reads.append(1)
            return pygame

    md = Registry("md")
    vars(md)["pygame"] = None
    monkeypatch.setattr(fs, "md", md)
    surf = pygame.Surface((8, 6), pygame.SRCALPHA)
    fs.transform_into_rounded_rect(surf, 2, (1, 2, 3, 200))
    assert len(reads) == 2  # md.pygame for surfarray, once per pixel view
    assert surf.get_at((4, 3)) == (1, 2, 3, 200) and surf.get_at((0, 0)).a == 0


def test_importing_the_registry_does_not_import_the_extension():
    out = run_python(f"""
        import sys, ralo_ui.core.modules as md, pygame
        print(md.pygame is pygame, '{NAME}' in sys.modules)
    """)
    assert out.stdout.split() == ["True", "False"], out.stderr


def test_functools_without_lru_cache_fails_with_the_imports_own_error():
    out = run_python(f"""
        import functools, traceback, numpy, ralo_ui.core.modules
        del functools.lru_cache
        try:
            from functools import lru_cache
        except ImportError as e:
            expected = (str(e), e.name, e.path, e.name_from)
        try:
            import {NAME}
        except ImportError as e:
            print((str(e), e.name, e.path, e.name_from) == expected)
            print(e)
            print(*[(f.filename, f.name) for f in traceback.extract_tb(e.__traceback__)][1:], sep="\\n")
    """)
    assert out.returncode == 0, out.stderr
    lines = out.stdout.splitlines()
    assert lines[0] == "True" and lines[1].startswith("cannot import name 'lru_cache' from 'functools' (")
    assert lines[2:] == [str((FILE, f"init {NAME}"))]
