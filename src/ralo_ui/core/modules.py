"""The host registry: the third-party modules the toolkit draws with.

Native code reaches pygame only as ``modules.pygame``, read at each use, so
rebinding the attribute here redirects every later call.
"""
import os
import warnings

os.environ.setdefault("PYGAME_HIDE_SUPPORT_PROMPT", "1")

with warnings.catch_warnings():
    # pygame's note about how its own wheel was compiled says nothing to our users.
    warnings.filterwarnings("ignore", message="Your system is avx2 capable", category=RuntimeWarning)
    import pygame

__all__ = ["pygame"]
