"""The build step that puts the built-in sensor data tables into the package.

The tables have one source, wizard/resources/sensor_data_*.bin (written by
tools/gen_sensor_tables, kept in the tree, also compiled into Sensorwiz).
build_py copies them into lx40/tables/ of the package being built, so the
installed package carries the same bytes and the source tree holds no copy.
Everything else is declared in pyproject.toml.
"""

import shutil
from pathlib import Path

from setuptools import setup
from setuptools.command.build_py import build_py

TABLE_SOURCE = Path(__file__).resolve().parent.parent / "wizard" / "resources"
TABLE_PATTERN = "sensor_data_*.bin"


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


setup(cmdclass={"build_py": BuildPyWithTables})
