"""Stand-ins for the host registry, for surfaces and for buffer exporters, to feed the pixel views
whatever arrays a test needs."""
import contextlib
import ctypes
import sys
import types

import pygame

from ralo_ui.core import modules
from ralo_ui.fast.shapes import fast_shapes as fs


class Recorder:
    """Stands in for pygame in the host registry: pygame's own attributes unless given, the
    surfarray functions given (pygame's by default) and, when recording, every surface made and
    the number of pixel views asked for."""

    def __init__(self, pixels3d=None, pixels_alpha=None, *, record=True, **pygame_attrs):
        self.made = []
        self.views = 0
        self.SRCALPHA = pygame.SRCALPHA
        get3d = pixels3d or pygame.surfarray.pixels3d
        get_alpha = pixels_alpha or pygame.surfarray.pixels_alpha
        if record:
            get3d, get_alpha = self._view(get3d), self._view(get_alpha)
        else:
            self.Surface = pygame.Surface
        self.surfarray = types.SimpleNamespace(pixels3d=get3d, pixels_alpha=get_alpha)
        vars(self).update(pygame_attrs)

    def __getattr__(self, name):
        return getattr(pygame, name)

    def Surface(self, *args):
        self.made.append(pygame.Surface(*args))
        return self.made[-1]

    def _view(self, get):
        def view(surf):
            self.views += 1
            return get(surf)
        return view


def install(monkeypatch, pixels3d=None, pixels_alpha=None, **pygame_attrs):
    """A Recorder made with these arguments stands in for pygame in the host registry for the
    rest of the test; returned."""
    rec = Recorder(pixels3d, pixels_alpha, **pygame_attrs)
    monkeypatch.setattr(modules, "pygame", rec)
    return rec


def registry(pixels3d, pixels_alpha, **pygame_attrs):
    """A registry whose pygame hands out the given surfarray functions; Surface and SRCALPHA
    are pygame's own unless given."""
    return types.SimpleNamespace(pygame=Recorder(pixels3d, pixels_alpha, record=False, **pygame_attrs))


def returning(color, alpha):
    """A registry whose surfarray returns these two objects whatever the surface."""
    return registry(lambda surf: color, lambda surf: alpha)


@contextlib.contextmanager
def host_registry(md, module=fs):
    """The module's `md` replaced by `md` (removed for None); the namespace is left as found,
    in its order too."""
    namespace = vars(module)
    saved = list(namespace.items())
    if md is None:
        del namespace["md"]
    else:
        namespace["md"] = md
    try:
        yield md
    finally:
        namespace.clear()
        namespace.update(saved)


def refcounts(objects):
    """The reference counts of `objects`.  Taken with map(), not a comprehension: in a frame an
    exception has passed through, a comprehension's variable was seen to keep one more."""
    return list(map(sys.getrefcount, objects))


class FakeSurface:
    """Reports a size (any objects) and accepts fill(); its pixels are whatever `md` hands out."""

    def __init__(self, width=8, height=6):
        self.width, self.height = width, height
        self.filled = []

    def get_width(self):
        return self.width

    def get_height(self):
        return self.height

    def fill(self, color):
        self.filled.append(color)


class _PyBuffer(ctypes.Structure):
    _fields_ = [("buf", ctypes.c_void_p), ("obj", ctypes.c_void_p), ("len", ctypes.c_ssize_t),
                ("itemsize", ctypes.c_ssize_t), ("readonly", ctypes.c_int), ("ndim", ctypes.c_int),
                ("format", ctypes.c_char_p), ("shape", ctypes.POINTER(ctypes.c_ssize_t)),
                ("strides", ctypes.POINTER(ctypes.c_ssize_t)),
                ("suboffsets", ctypes.POINTER(ctypes.c_ssize_t)), ("internal", ctypes.c_void_p)]


_from_buffer = ctypes.pythonapi.PyMemoryView_FromBuffer
_from_buffer.restype = ctypes.py_object
_from_buffer.argtypes = [ctypes.POINTER(_PyBuffer)]


class Exporter:
    """`.view`: a memoryview over a numpy array's memory that describes its items as told, with
    any format and item size, pairs no ordinary exporter makes.  Keep the Exporter alive while
    the view is in use."""

    def __init__(self, array, format, itemsize=1):
        self._keep = (array,
                      (ctypes.c_ssize_t * array.ndim)(*array.shape),
                      (ctypes.c_ssize_t * array.ndim)(*array.strides),
                      ctypes.create_string_buffer(format.encode()))
        _, shape, strides, fmt = self._keep
        info = _PyBuffer(array.ctypes.data, None, array.nbytes, itemsize, 0, array.ndim,
                         ctypes.cast(fmt, ctypes.c_char_p), shape, strides, None, None)
        self.view = _from_buffer(ctypes.byref(info))


class _Slot(ctypes.Structure):
    _fields_ = [("slot", ctypes.c_int), ("pfunc", ctypes.c_void_p)]


class _Spec(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char_p), ("basicsize", ctypes.c_int), ("itemsize", ctypes.c_int),
                ("flags", ctypes.c_uint), ("slots", ctypes.POINTER(_Slot))]


_GETBUFFER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.py_object, ctypes.POINTER(_PyBuffer), ctypes.c_int)
_BF_GETBUFFER = 1                # the type slot's number
_TPFLAGS_DEFAULT = 1 << 18
_from_spec = ctypes.pythonapi.PyType_FromSpec
_from_spec.restype = ctypes.py_object
_from_spec.argtypes = [ctypes.POINTER(_Spec)]
_incref = ctypes.pythonapi.Py_IncRef
_incref.argtypes = [ctypes.py_object]


def raw_exporter(array, *, format=b"B", shape=True, strides=True, suboffsets=None):
    """An object whose buffer export describes a uint8 array's memory as told, whatever was asked:
    without a format, shape or strides, or with suboffsets, as only a faulty exporter would."""
    n = array.ndim
    keep = [array, (ctypes.c_ssize_t * n)(*array.shape), (ctypes.c_ssize_t * n)(*array.strides),
            (ctypes.c_ssize_t * n)(*(suboffsets or [0] * n)), ctypes.create_string_buffer(format or b"")]

    def getbuffer(exporter, view, flags):
        _incref(exporter)  # the export's reference, given back by PyBuffer_Release
        view[0] = _PyBuffer(array.ctypes.data, id(exporter), array.nbytes, 1, 0, n,
                            ctypes.cast(keep[4], ctypes.c_char_p) if format is not None else None,
                            keep[1] if shape else None, keep[2] if strides else None,
                            keep[3] if suboffsets is not None else None, None)
        return 0

    function = _GETBUFFER(getbuffer)
    slots = (_Slot * 2)(_Slot(_BF_GETBUFFER, ctypes.cast(function, ctypes.c_void_p)), _Slot(0, None))
    spec = _Spec(b"models.fake_host.RawExporter", object.__basicsize__, 0, _TPFLAGS_DEFAULT, slots)
    cls = _from_spec(ctypes.byref(spec))
    cls.keep = (keep, function, slots, spec)
    return cls()
