"""Arguments of unusual types, which the conversions must take as the interpreter does."""


class IntSubclass(int):
    """A strict subclass of int that changes nothing: converted by its value."""
