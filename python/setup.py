"""The wheel of the package staged by CMake's target python-package in BUILD/python (make
wheel): the Python files, the kit's library as the module lamvis2._kit and the program in
lamvis2/bin. Built from Debian's setuptools and wheel alone, with no index reached."""

from pathlib import Path

from setuptools import Distribution, setup

here = Path(__file__).resolve().parent


class BinaryDistribution(Distribution):
    """A wheel for this platform and this Python: it holds a compiled module and a program."""

    def has_ext_modules(self) -> bool:
        return True


setup(
    name="lamvis2",
    version=(here / "VERSION").read_text().strip(),
    description="The laminate program lamvis2 and its every printed number, by name, in numpy and pandas",
    long_description=(here / "README.md").read_text(encoding="utf-8"),
    long_description_content_type="text/markdown",
    packages=["lamvis2"],
    package_data={"lamvis2": ["py.typed", "_kit*.so", "_kit*.pyd", "bin/*"]},
    python_requires=">=3.9",
    install_requires=["numpy>=1.21", "pandas>=1.3"],
    distclass=BinaryDistribution,
    zip_safe=False,
)
