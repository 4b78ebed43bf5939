#!/usr/bin/env python3
"""Checks `pndhal run --junit` against the structure of the JUnit XML schema that CI systems read.

Usage: check_junit.py PNDHAL LAUNCH_APP WORK_FOLDER

Runs the tool on a passing script, a failing one and, against an application that crashes, one that
cannot be played to its end, then checks each report: testsuites > testsuite > testcase > failure or error
and system-out, the attributes the schema requires with values of their types, counts that agree with the
test cases, and the failure's message and the trace where they belong.
"""
import os
import re
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET

tool, launch_app, work = sys.argv[1:4]
shutil.rmtree(work, ignore_errors=True)
for sub in ("home", "run", "tmp"):
    os.makedirs(os.path.join(work, sub))
os.chmod(os.path.join(work, "run"), 0o700)
env = dict(os.environ, HOME=os.path.join(work, "home"), XDG_RUNTIME_DIR=os.path.join(work, "run"),
           TMPDIR=os.path.join(work, "tmp"))

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def write(name, text):
    path = os.path.join(work, name)
    with open(path, "w", encoding="utf-8") as out:
        out.write(text)
    return path


INTEGER = re.compile(r"^[0-9]+$")
DECIMAL = re.compile(r"^[0-9]+(\.[0-9]+)?$")
TIMESTAMP = re.compile(r"^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}$")


def attributes(element, required, where):
    for name, pattern in required.items():
        value = element.get(name)
        check(value is not None, f"{where}: <{element.tag}> lacks {name}")
        if value is not None and pattern is not None:
            check(pattern.match(value), f"{where}: <{element.tag} {name}=\"{value}\"> is not of its type")


def validate(path, expected):
    """expected: {script name: (verdict, text in its failure or None, text in its output)}"""
    root = ET.parse(path).getroot()
    check(root.tag == "testsuites", f"{path}: the root is <{root.tag}>, not <testsuites>")
    attributes(root, {"tests": INTEGER, "failures": INTEGER, "errors": INTEGER, "time": DECIMAL}, path)
    suites = list(root)
    check(len(suites) == 1 and all(s.tag == "testsuite" for s in suites), f"{path}: not one <testsuite>")
    for suite in suites:
        attributes(suite, {"name": None, "tests": INTEGER, "failures": INTEGER, "errors": INTEGER,
                           "skipped": INTEGER, "time": DECIMAL, "timestamp": TIMESTAMP, "hostname": None,
                           "id": INTEGER, "package": None}, path)
        cases = [child for child in suite if child.tag == "testcase"]
        for child in suite:
            check(child.tag in ("properties", "testcase", "system-out", "system-err"),
                  f"{path}: <{child.tag}> inside <testsuite>")
        check(int(suite.get("tests", -1)) == len(cases), f"{path}: tests is not the number of test cases")
        count = {"failure": 0, "error": 0}
        seen = {}
        for case in cases:
            where = f"{path}: {case.get('name')}"
            attributes(case, {"name": None, "classname": None, "time": DECIMAL, "assertions": INTEGER}, where)
            kinds = [child.tag for child in case]
            for tag in kinds:
                check(tag in ("skipped", "error", "failure", "system-out", "system-err"), f"{where}: <{tag}>")
            check(sum(tag in ("skipped", "error", "failure") for tag in kinds) <= 1, f"{where}: two verdicts")
            check(kinds.count("system-out") == 1, f"{where}: not one <system-out>")
            verdict = "pass"
            for child in case:
                if child.tag in ("failure", "error"):
                    verdict = "fail" if child.tag == "failure" else "error"
                    count[child.tag] += 1
                    attributes(child, {"type": None, "message": None}, where)
                    check(child.text == child.get("message"), f"{where}: the failure's text is not its message")
                    seen.setdefault(case.get("name"), []).append((verdict, child.get("message")))
                if child.tag == "system-out":
                    seen.setdefault(case.get("name"), []).append(("out", child.text or ""))
            seen.setdefault(case.get("name"), []).append(("verdict", verdict))
        check(int(suite.get("failures", -1)) == count["failure"], f"{path}: failures do not add up")
        check(int(suite.get("errors", -1)) == count["error"], f"{path}: errors do not add up")
        check(root.get("tests") == suite.get("tests"), f"{path}: the totals differ")
        for name, (verdict, failure, output) in expected.items():
            facts = dict((kind, text) for kind, text in seen.get(name, []))
            check(facts.get("verdict") == verdict, f"{path}: {name} is {facts.get('verdict')}, not {verdict}")
            if failure is not None:
                check(failure in facts.get(verdict, ""), f"{path}: {name}'s failure lacks {failure!r}")
            check(output in facts.get("out", ""), f"{path}: {name}'s output lacks {output!r}")


good = write("good.scn", "press F6\nexpect key F6\n")
unmet = write("unmet.scn", "# markup <&> in a comment\npress F6\nexpect key Up\n")
dies = write("dies.scn", "press F7\nexpect key F7\npress F6\n")

report = os.path.join(work, "in-process.xml")
run = subprocess.run([tool, "run", "--quiet", "--junit", report, good, unmet], env=env, capture_output=True,
                     text=True, check=False)
check(run.returncode == 1, f"the in-process run exited {run.returncode}: {run.stderr}")
validate(report, {good: ("pass", None, "listener key F6"),
                  unmet: ("fail", unmet + ":3: expected key Up, got key F6", unmet + ":2: press F6")})

report = os.path.join(work, "parallel.xml")
run = subprocess.run([tool, "run", "--quiet", "-j", "2", "--junit", report, good, unmet, good], env=env,
                     capture_output=True, text=True, check=False)
check(run.returncode == 1, f"the parallel run exited {run.returncode}: {run.stderr}")
validate(report, {unmet: ("fail", "expected key Up, got key F6", "press F6")})

report = os.path.join(work, "launched.xml")
run = subprocess.run([tool, "run", "--quiet", "--launch", launch_app + " crash", "--junit", report, dies, good],
                     env=env, capture_output=True, text=True, check=False)
check(run.returncode == 1, f"the launched run exited {run.returncode}: {run.stderr}")
validate(report, {dies: ("error", "was killed by signal 6", "press F7"),
                  good: ("error", "not played", "")})

for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
