"""The client's tests run against a real launched application: the scenario device of the console's
tests (SCENARIO_DEVICE, set by CTest), with its console open and a token of its own."""

import os
import shutil
import tempfile

import pytest

pytest_plugins = ["pndhal.pytest_plugin"]


@pytest.fixture(scope="session")
def application() -> str:
    path = os.environ.get("SCENARIO_DEVICE")
    if not path:
        pytest.skip("SCENARIO_DEVICE names no application to launch (CTest sets it)")
    return path


@pytest.fixture(autouse=True, scope="session")
def private_runtime_folder():
    """Discovery records in a folder of the session's own, so that devices of other runs stay apart."""
    folder = tempfile.mkdtemp(prefix="pndhal-pytest-")
    os.chmod(folder, 0o700)
    saved = os.environ.get("XDG_RUNTIME_DIR")
    os.environ["XDG_RUNTIME_DIR"] = folder
    yield folder
    if saved is None:
        del os.environ["XDG_RUNTIME_DIR"]
    else:
        os.environ["XDG_RUNTIME_DIR"] = saved
    shutil.rmtree(folder, ignore_errors=True)
