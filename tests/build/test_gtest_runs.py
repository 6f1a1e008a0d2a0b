"""How a GoogleTest run is judged (tests/run_gtest.py): only a run that reached its own summary passes."""
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

from run_gtest import judge  # noqa: E402

START = ["Running main() from gtest_main.cc", "[==========] Running 3 tests from 2 test suites."]
CHILD = ["[==========] Running 1 test from 1 test suite.", "[==========] 1 test from 1 test suite ran. (5 ms total)",
         "[  PASSED  ] 1 test."]
END = ["[==========] 3 tests from 2 test suites ran. (40 ms total)"]


@pytest.mark.parametrize("lines, exit_code, passed, failed, passes", [
    (START + END + ["[  PASSED  ] 3 tests."], 0, 3, 0, True),
    (START + CHILD + END + ["[  PASSED  ] 3 tests."], 0, 3, 0, True),
    (START + END + ["[  PASSED  ] 2 tests.", "[  FAILED  ] 1 test, listed below:"], 1, 2, 1, False),
    # A crash after the tests began: no summary, whatever the exit code.
    (START + ["[ RUN      ] Pages.Welcome"], 0, 0, 1, False),
    (START + ["[ RUN      ] Pages.Welcome"], 5, 0, 1, False),
    # A child run's summary is the last one: the program's own run never reached its own.
    (START + CHILD, 0, 0, 1, False),
    # Every test passed, but the program still ended badly.
    (START + END + ["[  PASSED  ] 3 tests."], 139, 3, 1, False),
    ([], 0, 0, 1, False),
    (["[==========] Running 0 tests from 0 test suites.", "[==========] 0 tests from 0 test suites ran.",
      "[  PASSED  ] 0 tests."], 0, 0, 1, False),
])
def test_a_run_passes_only_with_its_own_summary(lines, exit_code, passed, failed, passes):
    got_passed, got_failed, why = judge(lines, exit_code)
    assert (got_passed, got_failed, why is None) == (passed, failed, passes), why
