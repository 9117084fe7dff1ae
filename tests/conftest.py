"""The `figures` fixture: lines that tests hand in are printed after the run, with or without -s."""
import pytest

FIGURES = pytest.StashKey[list]()


@pytest.fixture(scope="session")
def figures(pytestconfig):
    return pytestconfig.stash.setdefault(FIGURES, [])


def pytest_terminal_summary(terminalreporter, config):
    lines = config.stash.get(FIGURES, [])
    if lines:
        terminalreporter.section("figures")
        for line in lines:
            terminalreporter.write_line(line)
