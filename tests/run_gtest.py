"""Runs a GoogleTest program and passes only when it ran to its own summary with every test passed.

  run_gtest.py COMMAND [ARGS...]

The exit code alone does not say that: a crash under Wine can end the process in ways that read as
success to the caller, and a program that hangs until it is killed prints nothing. The run passes when
the exit code is 0 and the last summary in the output ("[==========] N tests from M test suites ran.")
belongs to the program's own run: N equals the count its first line announced ("Running N tests"),
which a child run of the same program (started with a filter of its own) does not. Its last line is
always `gtest summary: P passed, F failed`, with F at least 1 when the run is not a pass.
"""
import re
import subprocess
import sys

RUNNING = re.compile(r"^\[==========\] Running (\d+) tests? from")
RAN = re.compile(r"^\[==========\] (\d+) tests? from \d+ test suites? ran\.")
PASSED = re.compile(r"^\[  PASSED  \] (\d+) tests?\.")
FAILED = re.compile(r"^\[  FAILED  \] (\d+) tests?, listed below")


def judge(lines, exit_code):
    """(passed, failed, why): the counts the summary line reports and, for a run that is no pass, why."""
    announced = next((int(m.group(1)) for m in map(RUNNING.match, lines) if m), None)
    ran_at = max((i for i, line in enumerate(lines) if RAN.match(line)), default=None)
    if announced is None:
        return 0, 1, "it printed no GoogleTest output"
    if ran_at is None:
        return 0, 1, f"it ended before its summary (exit code {exit_code}): it crashed or was killed"
    ran = int(RAN.match(lines[ran_at]).group(1))
    if ran != announced:
        return 0, 1, (f"its last summary counts {ran} tests, not the {announced} it announced: "
                      f"a child run's summary, the program's own run ended before its own")
    tail = lines[ran_at:]
    passed = next((int(m.group(1)) for m in map(PASSED.match, tail) if m), 0)
    failed = next((int(m.group(1)) for m in map(FAILED.match, tail) if m), 0)
    if failed == 0 and exit_code != 0:
        return passed, 1, f"every test passed but the program exited with {exit_code}"
    if failed == 0 and passed == 0:
        return 0, 1, "it ran no test"
    return passed, failed, None if failed == 0 else f"{failed} failed"


def main(argv):
    if not argv:
        sys.exit(__doc__)
    process = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    lines = []
    for raw in process.stdout:
        text = raw.decode("utf-8", "replace")
        sys.stdout.write(text)
        sys.stdout.flush()
        lines.append(text.rstrip("\r\n"))
    exit_code = process.wait()
    passed, failed, why = judge(lines, exit_code)
    if why:
        print(f"run_gtest: not a pass: {why}")
    print(f"gtest summary: {passed} passed, {failed} failed")
    return 0 if why is None else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
