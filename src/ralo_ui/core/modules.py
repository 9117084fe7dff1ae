"""The host registry: the third-party modules the toolkit draws with.

Native code reaches pygame only as ``modules.pygame``, read at each use, so
rebinding the attribute here redirects every later call.

Either pygame or pygame-ce provides it: both install the module ``pygame``.
"""
import os
import warnings

os.environ.setdefault("PYGAME_HIDE_SUPPORT_PROMPT", "1")

INSTALL_HINT = (
    "ralo_ui draws with pygame, and neither pygame-ce nor pygame can be imported here: "
    "install one of them into this environment, with  pip install 'ralo-ui[pygame-ce]'  "
    "or  pip install 'ralo-ui[pygame]'  (or directly: pip install pygame-ce / pip install pygame)"
)

with warnings.catch_warnings():
    # pygame's note about how its own wheel was compiled says nothing to our users.
    warnings.filterwarnings("ignore", message="Your system is avx2 capable", category=RuntimeWarning)
    try:
        import pygame
    except ImportError as exc:
        raise ImportError(f"{INSTALL_HINT} ({exc})") from exc

__all__ = ["pygame"]
