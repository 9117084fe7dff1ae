"""The ralo_ui toolkit package."""
