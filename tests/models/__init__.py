"""What the tests share: independent models of the drawing rules, pixel readers, stand-ins for the
host registry and for buffer exporters, and a runner for code in a fresh interpreter."""
