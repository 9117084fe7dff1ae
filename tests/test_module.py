"""Initialisation: namespace, re-import, re-initialisation, interpreters, function objects."""
import builtins
import ctypes
import functools
import importlib
import inspect
import os
import platform
import sys
import types
import warnings

import numpy
import pygame
import pytest

import ralo_ui.core.modules
from models.fake_host import host_registry
from models.process import run_python
from models.published import DRAW_FILE, FILE
from ralo_ui.fast.shapes import draw
from ralo_ui.fast.shapes import fast_shapes as fs

NAME = "ralo_ui.fast.shapes.fast_shapes"

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


DRAW_SIGNATURES = {
    "shadow_margin": "(blur, spread=0)",
    "_create_shadow_surface": "(size, radii_input, blur, color, spread=0)",
    "_get_cached_shadow_surface": "(size, radii, blur, color, spread)",
    "create_shadow_surface": "(size, radii_input, blur, color, spread=0)",
    "rounded_rect": "(surface, color, rect, width=0, border_radius=0, border_top_left_radius=-1, "
                    "border_top_right_radius=-1, border_bottom_left_radius=-1, border_bottom_right_radius=-1)",
    "shadow": "(surface, color, rect, blur, spread=0, border_radius=0, border_top_left_radius=-1, "
              "border_top_right_radius=-1, border_bottom_left_radius=-1, border_bottom_right_radius=-1)",
}


def test_draw_module_namespace_and_function_objects():
    """The draw module's functions are made as fast_shapes' are, from its own table, and carry
    docstrings; initialising it leaves fast_shapes as it was."""
    out = run_python(f"""
        import {NAME} as fs, ralo_ui.fast.shapes.draw as draw
        print(*[k for k in vars(draw) if not (k.startswith("__") and k.endswith("__"))])
        print(fs.create_rounded_rect_surface.__module__, type(draw.shadow_margin) is not type(fs.create_rounded_rect_surface))
    """)
    lines = out.stdout.splitlines()
    assert lines[0].split() == ["md", "lru_cache", *DRAW_SIGNATURES], out.stderr
    assert lines[1] == f"{NAME} True"
    assert draw.md is ralo_ui.core.modules and draw.lru_cache is functools.lru_cache
    assert draw.__doc__ and "shadow_margin" in draw.__doc__
    for line, (name, signature) in enumerate(DRAW_SIGNATURES.items(), start=1):
        f = getattr(draw, name)
        assert str(inspect.signature(f)) == signature
        f = getattr(f, "__wrapped__", f)
        assert (f.__name__, f.__module__) == (name, "ralo_ui.fast.shapes.draw") and f.__doc__
        assert (f.__code__.co_filename, f.__code__.co_firstlineno) == (DRAW_FILE, line)
        assert repr(type(f)) == "<class 'ralo_ui.fast.shapes.draw.function'>"
    assert draw._get_cached_shadow_surface.cache_info().maxsize == 256


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
    # Looked up as a global name is: the builtins come next.
    monkeypatch.setattr(builtins, "md", types.SimpleNamespace(pygame=pygame), raising=False)
    assert fs._create_rounded_rect_surface_optimized((4, 4), 1, (1, 2, 3)).get_size() == (4, 4)


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


def test_a_failing_look_up_in_a_registry_module_propagates(monkeypatch):
    """A name compared with a key of the module's namespace that raises: that error, from the
    look-up of a pygame attribute and of a surfarray function alike."""
    class Clash(str):
        def __hash__(self):
            return hash(self.target)

        def __eq__(self, other):
            raise RuntimeError(f"compared with {other}")

    for name in ("Surface", "pixels_alpha"):
        surfarray = types.ModuleType("surfarray")
        surfarray.pixels3d = pygame.surfarray.pixels3d
        md, pg, asked = module_host(surfarray=surfarray)
        Clash.target = name
        vars(pg if name == "Surface" else surfarray)[Clash("clash")] = None
        monkeypatch.setattr(fs, "md", md)
        with pytest.raises(RuntimeError, match=f"^compared with {name}$"):
            fs._create_rounded_rect_surface_optimized((8, 6), 2, (1, 2, 3))
    # and from the look-up of md in the module's own namespace
    Clash.target = "md"
    with host_registry(None):
        vars(fs)[Clash("clash")] = None
        with pytest.raises(RuntimeError, match="^compared with md$"):
            fs._create_rounded_rect_surface_optimized((8, 6), 2, (1, 2, 3))
    assert fs.md is md and not any(isinstance(k, Clash) for k in vars(fs))


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


def test_function_attributes_can_be_set_as_on_python_functions():
    f = fs.transform_into_rounded_rect
    try:
        f.__name__, f.__qualname__ = "renamed", "Holder.renamed"
        assert (f.__name__, f.__qualname__) == ("renamed", "Holder.renamed")
        assert repr(f).startswith("<function Holder.renamed at ")
        for attr in ("__name__", "__qualname__"):
            with pytest.raises(TypeError, match=f"^{attr} must be set to a string object$"):
                setattr(f, attr, 5)
            with pytest.raises(TypeError, match=f"^{attr} must be set to a string object$"):
                delattr(f, attr)
        assert f.__name__ == "renamed"
    finally:
        f.__name__ = f.__qualname__ = "transform_into_rounded_rect"

    g = fs.create_rounded_rect_surface
    assert g.__annotations__ == {} and g.__annotations__ is g.__annotations__  # made once
    g.__annotations__ = {"return": "Surface"}
    assert g.__annotations__ == {"return": "Surface"}
    with pytest.raises(TypeError, match="^__annotations__ must be set to a dict object$"):
        g.__annotations__ = ["return"]
    del g.__annotations__
    assert g.__annotations__ == {}
    g.__annotations__ = None
    assert g.__annotations__ == {}


def test_defaults_refuse_non_tuples_and_obey_the_warning_filters():
    f = fs.transform_into_rounded_rect
    with pytest.raises(TypeError, match="^__defaults__ must be set to a tuple object$"):
        f.__defaults__ = [None]
    with warnings.catch_warnings():
        warnings.simplefilter("error", RuntimeWarning)
        with pytest.raises(RuntimeWarning, match="^transform_into_rounded_rect.__defaults__ only describes"):
            f.__defaults__ = (1,)
    assert f.__defaults__ == (None,)  # an assignment that raised changed nothing
    g = fs.create_rounded_rect_surface
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        g.__defaults__ = (1, 2)
        assert g.__defaults__ == (1, 2)
        del g.__defaults__
    assert g.__defaults__ is None


def test_functions_bind_to_instances_like_python_functions():
    class Panel(pygame.Surface):
        cut = fs.transform_into_rounded_rect

    panel = Panel((8, 8), pygame.SRCALPHA)
    panel.fill((1, 2, 3, 255))
    assert Panel.cut is fs.transform_into_rounded_rect
    assert fs.transform_into_rounded_rect.__get__(None, Panel) is fs.transform_into_rounded_rect
    method = panel.cut
    assert method.__self__ is panel and method.__func__ is fs.transform_into_rounded_rect
    assert method(4) is None  # the instance is the surface
    assert panel.get_at((0, 0)).a == 0 and panel.get_at((4, 4)).a == 255


NUMPY_MESSAGE = "numpy.core.multiarray failed to import (auto-generated because you didn't call"
START_UPS = {
    # name: (code run before `import fs` or instead of it, what it prints)
    "registry only in sys.modules": ("""
        import ralo_ui.core, ralo_ui.core.modules as registry
        del ralo_ui.core.modules
        import {NAME} as fs
        print(fs.md is registry)
    """, "True"),
    "registry nowhere": ("""
        import sys, ralo_ui, ralo_ui.core.modules
        del ralo_ui.core
        def gone(name):  # the package loses its registry while it is looked up
            sys.modules.pop("ralo_ui.core.modules", None)
            raise AttributeError(name)
        ralo_ui.__getattr__ = gone
        try:
            import {NAME}
        except ImportError as e:
            print(e)
    """, "cannot import name ralo_ui.core.modules"),
    "functools without lru_cache": ("""
        import functools, numpy, pygame, ralo_ui.core.modules
        del functools.lru_cache
        try:
            import {NAME}
        except ImportError as e:
            print("lru_cache" in str(e))
    """, "True"),
    "lru_cache taken from the namespace while the caches are made": ("""
        import functools, sys, numpy, pygame, ralo_ui.core.modules
        made = []
        def lru_cache(maxsize):  # each cache looks lru_cache up afresh, as a decorator line would
            made.append(maxsize)
            vars(sys.modules["{NAME}"]).pop("lru_cache", None)
            return lambda f: f
        functools.lru_cache = lru_cache
        try:
            import {NAME}
        except NameError as e:
            print(e, made, "{NAME}" in sys.modules)
    """, "name 'lru_cache' is not defined [256] False"),
    "lru_cache only as a submodule entry": ("""
        import functools, sys, numpy, pygame, ralo_ui.core.modules
        cache = functools.lru_cache
        del functools.lru_cache
        sys.modules["functools.lru_cache"] = cache  # what `from functools import lru_cache` falls back on
        import {NAME} as fs
        print(fs.lru_cache is cache)
    """, "True"),
    "functools not imported yet": ("""
        import sys, numpy, pygame, ralo_ui.core.modules
        del sys.modules["functools"]
        import {NAME} as fs
        print(fs.lru_cache is sys.modules["functools"].lru_cache)
    """, "True"),
    "exec without a sys.modules entry": ("""
        import sys, importlib.util
        spec = importlib.util.find_spec("{NAME}")
        module = importlib.util.module_from_spec(spec)
        spec.loader.exec_module(module)
        print(sys.modules["{NAME}"] is module)
    """, "True"),
    "loader details raising or missing": ("""
        import _imp, importlib.util, types
        spec = importlib.util.find_spec("{NAME}")
        class Raising:
            name, origin = spec.name, spec.origin
            @property
            def parent(self):
                raise RuntimeError("no parent")
        try:
            _imp.create_dynamic(Raising())
        except RuntimeError as e:
            print(e)
        bare = _imp.create_dynamic(types.SimpleNamespace(name=spec.name, origin=spec.origin))
        print(bare.__loader__, bare.__package__, hasattr(bare, "__path__"), bare.__file__ == spec.origin)
    """, "no parent\nNone None False True"),
    "numpy type that is no type": ("""
        import numpy, ralo_ui.core.modules
        numpy.flatiter = 5
        try:
            import {NAME}
        except TypeError as e:
            print(e)
    """, "numpy.flatiter is not a type object"),
    "numpy type missing": ("""
        import numpy, ralo_ui.core.modules
        del numpy.character
        try:
            import {NAME}
        except AttributeError as e:
            print(e)
    """, "module 'numpy' has no attribute 'character'"),
    "numpy type smaller than declared": ("""
        import numpy, ralo_ui.core.modules
        numpy.ndarray = object
        try:
            import {NAME}
        except ValueError as e:
            print(e)
    """, "numpy.ndarray size changed, may indicate binary incompatibility. Expected 96 from C header, "
         "got 16 from PyObject"),
    "numpy types larger than declared": ("""
        import numpy, warnings, ralo_ui.core.modules
        numpy.generic, numpy.dtype = int, type  # warned about, accepted silently
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            import {NAME}
        print(*[w.message for w in caught], sep="\\n")
    """, "numpy.generic size changed, may indicate binary incompatibility. Expected 16 from C header, "
         "got 24 from PyObject"),
    "numpy size warning as an error": ("""
        import numpy, warnings, ralo_ui.core.modules
        numpy.signedinteger = int
        warnings.simplefilter("error", RuntimeWarning)
        try:
            import {NAME}
        except RuntimeWarning as e:
            print(str(e).split(",")[0])
    """, "numpy.signedinteger size changed"),
    "numpy interface that is no capsule": ("""
        import numpy._core._multiarray_umath as core, ralo_ui.core.modules
        core._ARRAY_API = 5
        try:
            import {NAME}
        except ImportError as e:
            print(str(e)[:len("numpy.core.multiarray failed to import (auto-generated because you didn't call")])
    """, NUMPY_MESSAGE),
    "numpy interface in the old place only": ("""
        import sys, ralo_ui.core.modules
        sys.modules["numpy._core._multiarray_umath"] = None
        try:
            import {NAME}
        except ImportError as e:
            print(str(e)[:len("numpy.core.multiarray failed to import (auto-generated because you didn't call")])
    """, NUMPY_MESSAGE),
    "functools unimportable": ("""
        import sys, numpy, pygame, ralo_ui.core.modules
        sys.modules["functools"] = None
        try:
            import {NAME}
        except ImportError as e:
            print(type(e).__name__, "functools" in str(e))
    """, "ModuleNotFoundError True"),
    "numpy interface versions and byte order": ("""
        import ctypes, sys, numpy._core._multiarray_umath as core, ralo_ui.core.modules
        new_capsule = ctypes.pythonapi.PyCapsule_New
        new_capsule.restype = ctypes.py_object
        new_capsule.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_void_p]
        kept = []
        def offer(abi, feature, little_endian):  # a C interface table answering just these three
            table = (ctypes.c_void_p * 212)()
            for slot, kind, value in [(0, ctypes.c_uint, abi), (211, ctypes.c_uint, feature),
                                      (210, ctypes.c_int, little_endian)]:
                answer = ctypes.CFUNCTYPE(kind)(lambda value=value: value)
                table[slot] = ctypes.cast(answer, ctypes.c_void_p)
                kept.append(answer)
            kept.append(table)
            core._ARRAY_API = new_capsule(ctypes.addressof(table), None, None)
            try:
                import {NAME}
                print("imported")
            except ImportError as e:
                print(str(e).split(" (")[0])
        offer(0x2000001, 0x11, 1)  # a newer ABI
        offer(0x2000000, 0x10, 1)  # too few features
        offer(0x2000000, 0x11, 0)  # big-endian
        offer(0x2000000, 0x11, 1)  # the limits themselves
    """, "numpy.core.multiarray failed to import\n" * 3 + "imported"),
}


@pytest.mark.parametrize("case", START_UPS)
def test_start_up_paths(case):
    code, expected = START_UPS[case]
    out = run_python(code.replace("{NAME}", NAME))
    assert out.returncode == 0, out.stderr
    assert out.stdout.strip() == expected, out.stderr


@functools.cache
def kernels_under(value):
    """The kernel table a fresh process draws with under RALO_UI_KERNELS=value, and its stderr."""
    out = run_python(f"import {NAME} as fs; print(fs.{next(iter(SIGNATURES))}._kernels)",
                     env={"RALO_UI_KERNELS": value})
    assert out.returncode == 0, out.stderr
    return out.stdout.strip(), out.stderr


@pytest.mark.parametrize("value", ["", "auto", "baseline", "avx2+fma", "AVX2", "avx512 "])
def test_kernel_table_from_the_environment(value):
    best, quiet = kernels_under("")
    assert best in ("baseline", "avx2+fma") and quiet == ""
    # This suite's own process: what the variable it runs under selects (make test-baseline).
    assert getattr(fs, next(iter(SIGNATURES)))._kernels == kernels_under(os.environ.get("RALO_UI_KERNELS", ""))[0]
    got, err = kernels_under(value)
    x86 = platform.machine().lower() in ("x86_64", "amd64")
    if value in ("", "auto", "baseline") or value == best:
        assert (got, err) == (value if value in ("baseline", best) else best, "")
    elif value == "avx2+fma" and x86:  # a table this processor cannot run is never taken
        assert got == best and f"RuntimeWarning: RALO_UI_KERNELS='avx2+fma': this processor cannot run those " \
                               f"kernels; using the {best} kernels" in err
    else:
        accepted = "auto, baseline, avx2+fma" if x86 else "auto, baseline"
        assert got == best and f"RuntimeWarning: RALO_UI_KERNELS='{value}' names no kernel table (accepted: " \
                               f"{accepted}); using the {best} kernels" in err


def test_functions_are_collected_once_dropped():
    out = run_python(f"""
        import gc, weakref
        import {NAME} as fs
        function = weakref.ref(fs.transform_into_rounded_rect)
        del fs.transform_into_rounded_rect
        gc.collect()
        print(function() is None)
    """)
    assert out.stdout.split() == ["True"], out.stderr


def test_surfaces_are_made_from_md_at_each_look_up():
    """Surface and SRCALPHA are two look-ups of md.pygame: a registry that changes between them,
    or lacks one, fails with the look-up's own error."""
    class Fading:
        def __init__(self, good):
            self.good = good

        @property
        def pygame(self):
            if self.good == 0:
                raise LookupError("pygame went away")
            self.good -= 1
            return pygame

    with host_registry(Fading(1)):
        with pytest.raises(LookupError, match="^pygame went away$"):
            fs._create_rounded_rect_surface_optimized((4, 4), 1, (1, 2, 3))
    with host_registry(types.SimpleNamespace(pygame=types.SimpleNamespace(Surface=pygame.Surface))):
        with pytest.raises(AttributeError, match="SRCALPHA"):
            fs._create_outlined_rounded_rect_sdf((4, 4), 1, 1.0, (1, 2, 3))
