"""The plugin's own tests run small test files in pytest sessions of their own (pytester), each with
the plugin as a user gets it, and check how those sessions end."""
import pytest

pytest_plugins = ["pytester"]


@pytest.fixture
def run_suite(pytester):
    """Writes `source` as a test file and runs it with the plugin; the outcome of the run."""
    def run(source, *args):
        pytester.makepyfile(test_suite=source)
        return pytester.runpytest("-p", "mimicbox_pytest", "-p", "no:cacheprovider", *args)
    return run
