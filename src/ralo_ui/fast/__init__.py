"""Native accelerators of the toolkit."""
