"""The build step that puts the built-in sensor data tables into the package.

The tables have one source, resources/tables/sensor_table_*.bin (written by
tools/gen_sensor_tables, kept in the tree, also compiled into Sensorwiz).
build_py copies them into lx40/tables/ of the package being built, so the
installed package carries the same bytes and the source tree holds no copy.
The version is the project's, read from the top CMakeLists.txt. Everything
else is declared in pyproject.toml.
"""

import re
import shutil
from pathlib import Path

from setuptools import setup
from setuptools.command.build_py import build_py

REPOSITORY = Path(__file__).resolve().parent.parent
TABLE_SOURCE = REPOSITORY / "resources" / "tables"
TABLE_PATTERN = "sensor_table_*.bin"


def project_version() -> str:
    """The VERSION of project(lx40 ...) in the top CMakeLists.txt."""
    text = (REPOSITORY / "CMakeLists.txt").read_text(encoding="utf-8")
    found = re.search(r"project\(\s*lx40\b[^)]*\bVERSION\s+([0-9][0-9.]*)", text)
    if found is None:
        raise SystemExit("lx40: no project(lx40 VERSION ...) in the top CMakeLists.txt")
    return found.group(1)


class BuildPyWithTables(build_py):
    """build_py, then the built-in tables into <build>/lx40/tables/."""

    def run(self) -> None:
        super().run()
        sources = sorted(TABLE_SOURCE.glob(TABLE_PATTERN))
        if not sources:
            raise SystemExit(
                f"lx40: no {TABLE_PATTERN} in {TABLE_SOURCE}; build the package from the "
                "repository's python/ folder"
            )
        target = Path(self.build_lib) / "lx40" / "tables"
        target.mkdir(parents=True, exist_ok=True)
        for source in sources:
            shutil.copyfile(source, target / source.name)


setup(version=project_version(), cmdclass={"build_py": BuildPyWithTables})
