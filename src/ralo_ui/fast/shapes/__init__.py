"""Native rounded-rectangle rasterisers; see the extension module ``fast_shapes``."""
