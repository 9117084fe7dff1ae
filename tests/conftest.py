"""The `figures` fixture: lines that tests hand in are printed after the run, with or without -s;
and `host`, pygame's recording stand-in in the host registry for one test."""
import pytest

from models.fake_host import install

FIGURES = pytest.StashKey[list]()


@pytest.fixture(scope="session")
def figures(pytestconfig):
    return pytestconfig.stash.setdefault(FIGURES, [])


@pytest.fixture
def host(monkeypatch):
    """A Recorder in the host registry's place of pygame: the surfaces made, the views asked for."""
    return install(monkeypatch)


def pytest_terminal_summary(terminalreporter, config):
    lines = config.stash.get(FIGURES, [])
    if lines:
        terminalreporter.section("figures")
        for line in lines:
            terminalreporter.write_line(line)
