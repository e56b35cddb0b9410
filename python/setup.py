"""The build step that puts the built-in sensor data tables into the package.

The tables have one source, resources/tables/sensor_table_*.bin (written by
tools/gen_sensor_tables, kept in the tree, also compiled into Sensorwiz).
build_py copies them into lx40/tables/ of the package being built, so the
installed package carries the same bytes and the source tree holds no copy.
The version is the project's, read from the file VERSION at the top of the
repository (CMake reads the same file), so a fresh clone builds the package
without any build output. Everything else is declared in pyproject.toml.
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
    """The project's version, x.y.z, from the file VERSION."""
    path = REPOSITORY / "VERSION"
    try:
        version = path.read_text(encoding="utf-8").strip()
    except OSError as error:
        raise SystemExit(f"lx40: {path} cannot be read ({error}); build the package from the "
                         "repository's python/ folder") from error
    if re.fullmatch(r"[0-9]+\.[0-9]+\.[0-9]+", version) is None:
        raise SystemExit(f"lx40: {path} must hold x.y.z, not {version!r}")
    return version


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
