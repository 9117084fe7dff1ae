"""Core services of the toolkit."""
