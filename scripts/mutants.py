#!/usr/bin/python3
"""Mutation check of the test suite: plants each fault of a table in turn, builds, runs
the tests and reports which tests caught it.

    scripts/mutants.py TABLE [BUILD_DIR]

TABLE holds one fault per line, tab-separated: id, file (from the source root), the text to
find (exactly once in the file), the text to put in its place ("\\n" stands for a line end),
and what the fault is. Lines
starting with '#' are comments. Each fault is planted, the tests are built in BUILD_DIR
(default build/mutants) and run; the file is put back afterwards, whatever happens. Prints
one row per fault and the count caught.
"""
import os
import re
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def read_table(path):
    faults = []
    with open(path, encoding="utf-8") as table:
        for number, line in enumerate(table, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            fields = line.split("\t")
            if len(fields) != 5:
                sys.exit(f"{path}:{number}: expected 5 tab-separated fields, found {len(fields)}")
            # "\\n" in the texts stands for a line end.
            fields = [field.replace("\\n", "\n") for field in fields]
            faults.append(dict(zip(("id", "file", "find", "replace", "what"), fields)))
    return faults


def run(command, cwd=ROOT, timeout=None):
    return subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, timeout=timeout)


def failed_tests(output):
    names = []
    listing = False
    for line in output.splitlines():
        if "The following tests FAILED" in line:
            listing = True
            continue
        if listing:
            match = re.match(r"\s*\d+ - (\S+)", line)
            if match:
                names.append(match.group(1))
    return names


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    table = sys.argv[1]
    build = os.path.abspath(sys.argv[2] if len(sys.argv) == 3 else os.path.join(ROOT, "build/mutants"))
    faults = read_table(table)
    for fault in faults:
        with open(os.path.join(ROOT, fault["file"]), encoding="utf-8") as source:
            count = source.read().count(fault["find"])
        if count != 1:
            sys.exit(f"fault {fault['id']}: '{fault['find']}' occurs {count} times in {fault['file']}")

    configure = run(["cmake", "-S", ".", "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                     "-DSPECLINK_BUILD_BENCH=OFF"])
    if configure.returncode != 0:
        sys.exit(configure.stdout)
    clean = run(["cmake", "--build", build, "-j", str(os.cpu_count())])
    if clean.returncode != 0:
        sys.exit("the unmutated tree does not build:\n" + clean.stdout[-3000:])
    baseline = run(["ctest", "--test-dir", build, "-j", str(os.cpu_count()), "--timeout", "300"])
    if baseline.returncode != 0:
        sys.exit("the unmutated tree fails its tests:\n" + "\n".join(failed_tests(baseline.stdout)))

    caught = 0
    print("| id | fault | caught by |")
    print("|---|---|---|")
    for fault in faults:
        path = os.path.join(ROOT, fault["file"])
        with open(path, encoding="utf-8") as source:
            original = source.read()
        started = time.time()
        try:
            with open(path, "w", encoding="utf-8") as source:
                source.write(original.replace(fault["find"], fault["replace"]))
            built = run(["cmake", "--build", build, "-j", str(os.cpu_count())])
            if built.returncode != 0:
                verdict = "does not compile (fix the table)"
            else:
                tested = run(["ctest", "--test-dir", build, "-j", str(os.cpu_count()), "--timeout", "300"])
                names = failed_tests(tested.stdout)
                if tested.returncode == 0:
                    verdict = "**not caught**"
                else:
                    caught += 1
                    shown = ", ".join(names[:3]) + (f" and {len(names) - 3} more" if len(names) > 3 else "")
                    verdict = shown or "a test program crashed"
        finally:
            with open(path, "w", encoding="utf-8") as source:
                source.write(original)
        print(f"| {fault['id']} | `{fault['file']}`: {fault['what']} | {verdict} |", flush=True)
        print(f"  ({time.time() - started:.0f} s)", file=sys.stderr, flush=True)
    run(["cmake", "--build", build, "-j", str(os.cpu_count())])
    print(f"\ncaught {caught} of {len(faults)}")


if __name__ == "__main__":
    main()
