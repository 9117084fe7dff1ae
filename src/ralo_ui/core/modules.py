"""The host registry: the third-party modules the toolkit draws with.

Native code reaches pygame only as ``modules.pygame``, read at each use, so
rebinding the attribute here redirects every later call.
"""
import os

os.environ.setdefault("PYGAME_HIDE_SUPPORT_PROMPT", "1")

import pygame  # noqa: E402

__all__ = ["pygame"]
