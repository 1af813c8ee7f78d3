#!/usr/bin/env bash
# The Python package (python/), as a user gets it:
# - its tests (python/tests, pytest) against the build's lamvis2-kit: every case's quantities,
#   studies row for row (the default pool, one thread, processes, a Dask LocalCluster),
#   compare, the errors;
# - `make wheel`, installed with pip into a fresh virtual environment made with
#   --system-site-packages (Debian's numpy and pandas), outside the source tree;
# - the notebook examples/lamvis2.ipynb executed there with nbclient, to its end without error.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source .ci/lib.sh

need "python.sh" cmake:cmake g++:g++ python3-dev:/usr/include/python3.11/Python.h \
  pybind11-dev:/usr/include/pybind11/pybind11.h \
  python3-setuptools:/usr/lib/python3/dist-packages/setuptools/__init__.py \
  python3-wheel:/usr/lib/python3/dist-packages/wheel/__init__.py \
  python3-pip:/usr/lib/python3/dist-packages/pip/__init__.py \
  python3-venv:/usr/lib/python3.11/ensurepip/__init__.py \
  python3-numpy:/usr/lib/python3/dist-packages/numpy/__init__.py \
  python3-pandas:/usr/lib/python3/dist-packages/pandas/__init__.py \
  python3-pytest:/usr/lib/python3/dist-packages/pytest/__init__.py \
  python3-distributed:/usr/lib/python3/dist-packages/distributed/__init__.py \
  python3-nbclient:/usr/lib/python3/dist-packages/nbclient/__init__.py \
  python3-ipykernel:/usr/lib/python3/dist-packages/ipykernel/__init__.py \
  python3-matplotlib:/usr/lib/python3/dist-packages/matplotlib/__init__.py
python=/usr/bin/python3
# (the kernel's debugger would warn of frozen modules on each start)
export PYDEVD_DISABLE_FILE_VALIDATION=1

echo "== the package's tests"
build build -- lamvis2 lamvis2-kit python-package >/dev/null
LAMVIS2_BUILD_DIR=$root/build $python -m pytest -q -p no:cacheprovider python/tests

echo "== make wheel, installed in a fresh virtual environment"
make --no-print-directory wheel JOBS="$JOBS"
wheel=$(ls "$root"/build/wheel/lamvis2-"$LAMVIS_VERSION"-*.whl)
tmp=$(mktemp -d /tmp/lamvis2-python.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
$python -m venv --system-site-packages "$tmp/venv"
"$tmp/venv/bin/pip" install --quiet --no-index --no-deps "$wheel"
# The notebook's kernel is the environment's own Python.
"$tmp/venv/bin/python" -m ipykernel install --sys-prefix --name lamvis2-venv >/dev/null
cp examples/lamvis2.ipynb examples/glass_cross_ply.txt "$tmp/"
(cd "$tmp" && "$tmp/venv/bin/python" - <<'PY'
import lamvis2, nbformat
from nbclient import NotebookClient
assert lamvis2.__file__.startswith(__import__("sys").prefix), lamvis2.__file__
r = lamvis2.run("glass_cross_ply.txt")
assert r.complete and r.exit_status == 0, r
nb = nbformat.read("lamvis2.ipynb", as_version=4)
NotebookClient(nb, timeout=300, kernel_name="lamvis2-venv").execute()
print(f"the notebook ran to its end ({len(nb.cells)} cells) with", lamvis2.__file__)
PY
)
elapsed
