#!/usr/bin/env python3
"""Process-level tests of modpublish: runs the built tool against the
simulated Steam client library and compares its standard output byte for
byte.

    run.py --tool build/default/bin/modpublish [--platform linux] [PATTERN...]
    run.py --tool build/windows/bin/modpublish.exe
    run.py --tool build/default/bin/modpublish --runner valgrind worked_examples

PATTERNs select test modules (test_<PATTERN>.py), all of them by default;
a PATTERN with dots names a class or a test in a module
(failures.StepFailureTest.test_every_step_in_verbose_and_silent_mode).
`--tests quick` leaves out the tests marked slow, `--tests slow` runs only
those. With `--runner valgrind` every run of the tool also goes through
Valgrind's memory checker and fails on a memory error or a definite or
indirect leak.
"""

import argparse
import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import harness  # noqa: E402


def flatten(suite):
    """The single tests of a (nested) suite."""
    for item in suite:
        if isinstance(item, unittest.TestSuite):
            yield from flatten(item)
        else:
            yield item


def is_slow(test):
    method = getattr(test, getattr(test, "_testMethodName", ""), None)
    return getattr(method, "slow", False)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--tool", required=True)
    harness.programs.add_arguments(parser)
    parser.add_argument("--simulator", help="the simulated client library beside the tool")
    parser.add_argument("--fixture", help="a client library that lacks most exports")
    parser.add_argument("--console-probe",
                        help="a client library that records the console's code page (Windows)")
    parser.add_argument("--sanitized", action="store_true",
                        help="the tool is built with AddressSanitizer")
    parser.add_argument("--throwing-new",
                        help="a library with a throwing operator new, for the sanitized tool")
    parser.add_argument("--tests", choices=("all", "quick", "slow"), default="all")
    parser.add_argument("modules", nargs="*")
    options = parser.parse_args()

    harness.TOOL = os.path.abspath(options.tool)
    harness.programs.configure(options, harness.TOOL)
    harness.SIMULATOR = options.simulator and os.path.abspath(options.simulator)
    harness.FIXTURE = options.fixture and os.path.abspath(options.fixture)
    harness.CONSOLE_PROBE = options.console_probe and os.path.abspath(options.console_probe)
    harness.SANITIZED = options.sanitized
    harness.THROWING_NEW = options.throwing_new and os.path.abspath(options.throwing_new)

    loader = unittest.TestLoader()
    patterns = options.modules or ["*"]
    suite = unittest.TestSuite()
    for pattern in patterns:
        if "." in pattern:
            found = loader.loadTestsFromName("test_" + pattern)
        else:
            found = loader.discover(HERE, pattern="test_%s.py" % pattern)
        for test in flatten(found):
            if options.tests == "all" or is_slow(test) == (options.tests == "slow"):
                suite.addTest(test)
    if suite.countTestCases() == 0:
        print("no tests matched %s" % patterns)
        return 1
    return harness.programs.run_tests(suite)


if __name__ == "__main__":
    sys.exit(main())
