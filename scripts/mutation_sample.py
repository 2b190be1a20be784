#!/usr/bin/env python3
"""A seeded mutation sample of the native tests (a measurement, not a test).

    python3 scripts/mutation_sample.py [--seed N] [--count N] [--jobs N] [--only FILE:LINE...]

Copies the committed tree (git worktree, detached) to a scratch folder, builds it natively with
the tests, then draws mutants one at a time: a source line at random among the lines of the
programs' own sources that hold something to change (each line as likely as any other, so the
sample spreads over the code as its lines do), one change on it (a comparison turned, a
value negated, && for ||, a constant moved by one, + for -, a call left out, ...).
A mutant that does not compile is drawn again; one that does is run against every native test
(ctest, the end-to-end cases and the terminal scenarios included). It is killed when a test
fails or passes its time limit. Prints each mutant with its result, then the score.
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# (pattern, what a match becomes): each match on a line is one possible mutant. Comparisons and
# arithmetic are written with blanks around them here, unlike template brackets.
def _constant(text):
    value = int(text)
    return str(value + 1) if value < 2 else str(value - 1)


OPERATORS = [
    (r" >= ", lambda _: " < "),
    (r" <= ", lambda _: " > "),
    (r" > ", lambda _: " >= "),
    (r" < ", lambda _: " <= "),
    (r" == ", lambda _: " != "),
    (r" != ", lambda _: " == "),
    (r" && ", lambda _: " || "),
    (r" \|\| ", lambda _: " && "),
    (r"\btrue\b", lambda _: "false"),
    (r"\bfalse\b", lambda _: "true"),
    (r" \+ ", lambda _: " - "),
    (r" - ", lambda _: " + "),
    (r"\+\+", lambda _: "--"),
    (r"(?<![\w.])[0-9]+(?![\w.])", _constant),  # a constant moved by one
    (r"\breturn (?=[\w.]+;)", lambda _: "return !"),  # a named value's negation
    (r"^\s*(\(void\))?[\w:.>\-]+\(.*\);\s*$", lambda _: ";"),  # a call left out
]


def candidate_files():
    listed = subprocess.run(["git", "ls-files", "*.cpp", "*.h"], cwd=ROOT, check=True,
                            capture_output=True, text=True).stdout.split()
    return [f for f in listed
            if not f.startswith(("tests/", "third_party/", "bench/"))
            and not f.endswith(("_test.cpp", "_win32.cpp", "_win32.h"))]


def code_part(line):
    """The line without its comment and with string and character literals blanked."""
    line = re.sub(r'"(?:\\.|[^"\\])*"', lambda m: '"' + " " * (len(m.group()) - 2) + '"', line)
    line = re.sub(r"'(?:\\.|[^'\\])'", lambda m: "'" + " " * (len(m.group()) - 2) + "'", line)
    cut = line.find("//")
    return line if cut < 0 else line[:cut]


def mutants_of(line):
    code = code_part(line)
    stripped = code.strip()
    if (not stripped or stripped.startswith(("#", "static_assert", "template", "//"))
            or "#include" in line):
        return []
    found = []
    for pattern, change in OPERATORS:
        for match in re.finditer(pattern, code):
            start, end = match.span()
            found.append(line[:start] + change(match.group()) + line[end:])
    return [m for m in found if m != line]


def run(command, cwd, timeout=None):
    return subprocess.run(command, cwd=cwd, capture_output=True, text=True, timeout=timeout)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--seed", type=int, default=33)
    parser.add_argument("--count", type=int, default=40)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--test-timeout", type=int, default=180)
    parser.add_argument("--only", nargs="*", default=[],
                        help="FILE:LINE of lines whose every mutant is run instead of drawing")
    args = parser.parse_args()

    lines = []  # (file, index, mutants)
    for path in candidate_files():
        with open(os.path.join(ROOT, path), encoding="utf-8") as source:
            text = source.read().split("\n")
        for index, line in enumerate(text):
            mutants = mutants_of(line)
            if mutants:
                lines.append((path, index, mutants))
    print(f"{len(lines)} lines that can be changed, in {len(candidate_files())} files; "
          f"seed {args.seed}", flush=True)

    scratch = tempfile.mkdtemp(prefix="mutation.")
    tree = os.path.join(scratch, "tree")
    subprocess.run(["git", "worktree", "add", "--detach", tree, "HEAD"], cwd=ROOT, check=True,
                   capture_output=True)
    build = os.path.join(tree, "build")
    try:
        configure = ["cmake", "-S", tree, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                     "-DBUILD_TESTING=ON"]
        if run(configure, tree).returncode != 0 or \
                run(["cmake", "--build", build, f"-j{args.jobs}"], tree).returncode != 0:
            sys.exit("the unchanged tree does not build")
        baseline = run(["ctest", "--test-dir", build, f"-j{args.jobs}",
                        f"--timeout={args.test_timeout}"], tree)
        if baseline.returncode != 0:
            sys.exit("the unchanged tree fails its tests:\n" + baseline.stdout[-3000:])

        draw = random.Random(args.seed)

        def drawn():  # seeded draws without end, each mutant once
            tried = set()
            while True:
                path, index, mutants = draw.choice(lines)
                mutant = draw.choice(mutants)
                if (path, index, mutant) not in tried:
                    tried.add((path, index, mutant))
                    yield path, index, mutant

        chosen = []
        for place in args.only:
            named, number = place.rsplit(":", 1)
            chosen.extend((path, index, mutant) for path, index, mutants in lines
                          if path == named and index == int(number) - 1 for mutant in mutants)
        killed = viable = 0
        for path, index, mutant in (chosen if args.only else drawn()):
            if not args.only and viable == args.count:
                break
            file = os.path.join(tree, path)
            with open(file, encoding="utf-8") as source:
                original = source.read()
            text = original.split("\n")
            before = text[index]
            text[index] = mutant
            with open(file, "w", encoding="utf-8") as out:
                out.write("\n".join(text))
            try:
                if run(["cmake", "--build", build, f"-j{args.jobs}"], tree).returncode != 0:
                    if args.only:
                        print(f"  NOT BUILT {path}:{index + 1}", flush=True)
                    continue  # not viable, and not counted: draw again
                viable += 1
                try:
                    result = run(["ctest", "--test-dir", build, f"-j{args.jobs}",
                                  f"--timeout={args.test_timeout}"], tree,
                                 timeout=2 * args.test_timeout)
                    caught = result.returncode != 0
                    failed = [name for name, why in
                              re.findall(r"\d+ - (\S+) \(([^)]*)\)", result.stdout)
                              if why != "Skipped"]
                except subprocess.TimeoutExpired:
                    caught, failed = True, ["(the whole run timed out)"]
                # A mutant that hangs leaves programs waiting after their test was ended.
                run(["pkill", "-KILL", "-f", tree], ROOT)
                killed += caught
                print(f"{'KILLED  ' if caught else 'SURVIVED'} {path}:{index + 1}\n"
                      f"    - {before.strip()}\n    + {mutant.strip()}"
                      + (f"\n    by {', '.join(failed[:4])}" if caught else ""), flush=True)
            finally:
                with open(file, "w", encoding="utf-8") as out:
                    out.write(original)
        # The tree is left built as it was committed for the next run.
        run(["cmake", "--build", build, f"-j{args.jobs}"], tree)
        print(f"score: {killed} of {viable} viable mutants killed "
              f"({100.0 * killed / max(viable, 1):.1f} %)")
    finally:
        subprocess.run(["git", "worktree", "remove", "--force", tree], cwd=ROOT,
                       capture_output=True)
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
