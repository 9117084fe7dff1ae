"""Installation: the pygame flavours, builds for another interpreter, the gallery's output path."""
import re
import shutil
import sys
import sysconfig
from importlib import metadata
from pathlib import Path

import pytest

import ralo_ui
from models.process import run_python

REPO = Path(__file__).resolve().parents[1]
PACKAGE = Path(ralo_ui.__file__).resolve().parent


def test_without_any_pygame_the_registry_names_both_flavours():
    out = run_python("""
        import sys
        sys.modules['pygame'] = None  # as if neither pygame-ce nor pygame were installed
        try:
            import ralo_ui.core.modules
        except ImportError as e:
            print(e)
    """)
    assert out.returncode == 0, out.stderr
    message = out.stdout
    assert "pip install 'ralo-ui[pygame-ce]'" in message and "pip install 'ralo-ui[pygame]'" in message
    assert "pygame" in message.rsplit("(", 1)[1]  # the underlying error is kept


def test_dependencies_never_pull_a_second_pygame():
    # pygame and pygame-ce both install the package `pygame`: only extras may name them.
    try:
        requires = metadata.requires("ralo-ui") or []
        installed = Path(metadata.distribution("ralo-ui").locate_file("ralo_ui")).resolve() == PACKAGE
    except metadata.PackageNotFoundError:
        installed = False
    if not installed:  # the checkout itself
        import tomllib
        project = tomllib.loads((REPO / "pyproject.toml").read_text())["project"]
        requires = project["dependencies"] + [f"{r}; extra == \"{e}\"" for e, rs in
                                              project["optional-dependencies"].items() for r in rs]
    plain = [r for r in requires if "extra ==" not in r]
    assert not [r for r in plain if re.match(r"pygame\b", r)], plain
    assert any(re.match(r"numpy\b", r) for r in plain)
    extras = {re.search(r'extra == "([^"]+)"', r)[1]: r.split(";")[0].split(">")[0].strip()
              for r in requires if "extra ==" in r}
    assert extras == {"pygame-ce": "pygame-ce", "pygame": "pygame"}


def test_a_build_for_another_interpreter_is_refused_by_name(tmp_path):
    copy = tmp_path / "ralo_ui"
    shutil.copytree(PACKAGE, copy, ignore=shutil.ignore_patterns("*.so", "*.pyd", "__pycache__"))
    own = re.match(r"cpython-3(\d+)", sysconfig.get_config_var("SOABI"))[1]
    other = "11" if own != "11" else "10"
    (copy / "fast" / "shapes" / f"fast_shapes.cpython-3{other}-x86_64-linux-gnu.so").write_bytes(b"")
    for statement in ("from ralo_ui.fast.shapes import fast_shapes", "import ralo_ui.fast.shapes.fast_shapes"):
        out = run_python(f"""
            try:
                {statement}
            except ImportError as e:
                print(e)
        """, path=tmp_path)
        assert out.returncode == 0, out.stderr
        assert f"built for CPython 3.{other} (fast_shapes.cpython-3{other}-" in out.stdout
        assert f"but this is CPython {sys.version_info[0]}.{sys.version_info[1]}" in out.stdout


def test_own_interpreter_loads_without_a_version_warning():
    out = run_python("import ralo_ui.fast.shapes.fast_shapes", args=("-W", "error::RuntimeWarning"))
    assert out.returncode == 0 and out.stderr == "", out.stderr


def test_gallery_writes_where_told_or_refuses(tmp_path):
    gallery = str(REPO / "examples" / "gallery.py")
    target = tmp_path / "deeper" / "shapes.png"
    out = run_python(None, args=(gallery, str(target)), env={"SDL_VIDEODRIVER": "dummy", "RALO_UI_REFENV_SHARED": None})
    assert out.returncode == 0, out.stderr
    assert target.stat().st_size > 1000 and out.stdout.strip() == str(target)

    # As under tools/refenv, where only the checkout is shared with the machine.
    elsewhere = tmp_path / "elsewhere.png"
    out = run_python(None, args=(gallery, str(elsewhere)), env={"RALO_UI_REFENV_SHARED": str(tmp_path / "checkout")})
    assert out.returncode == 2 and not elsewhere.exists()
    assert f"{elsewhere} is outside the checkout" in out.stderr


def test_readme_python_snippets_run_as_written():
    text = (REPO / "README.md").read_text()
    snippets = re.findall(r"```python\n(.*?)```", text, flags=re.S)
    assert len(snippets) >= 2
    for code in snippets:
        exec(compile(code, "README.md", "exec"), {})  # each snippet on its own, nothing predefined
