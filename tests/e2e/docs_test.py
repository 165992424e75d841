#!/usr/bin/env python3
"""The README and docs/ as a reader follows them: every relative link resolves, every file of
the project they name is there, every `make` target they give exists, and every option they
give a program is one its --help lists. Usage: docs_test.py BUILD"""

import glob
import os
import re
import subprocess
import unittest

from harness import BUILD, main

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
PAGES = [os.path.join(ROOT, "README.md"), *sorted(glob.glob(os.path.join(ROOT, "docs", "*.md")))]
PROGRAMS = {
    "cyclara-log": os.path.join(BUILD, "logger", "cyclara-log"),
    "cyclara-sim": os.path.join(BUILD, "simulator", "cyclara-sim"),
    "cyclara-plot": os.path.join(BUILD, "plot", "cyclara-plot"),
    "cyclara-compare": os.path.join(BUILD, "compare", "cyclara-compare"),
}
# A path of the project as the pages write it: a top folder of the tree, then a file name.
PROJECT_PATH = re.compile(r"(?<![\w./~-])((?:tools|docs|tests|packaging|bench|logger|cmake|res|"
                          r"simulator|plot|measure)/[\w./-]*\w)")
BUILT_PATH = re.compile(r"(?<![\w./~-])build/linux/([\w./-]*\w)")


def text_of(page):
    with open(page, encoding="utf-8") as file:
        return file.read()


def code_of(text):
    """What a reader types or reads as a name: code spans, and lines of indented blocks."""
    spans = re.findall(r"`([^`\n]+)`", text)
    blocks = [line.strip() for line in text.splitlines() if line.startswith("    ")]
    return spans + blocks


def name(page):
    return os.path.relpath(page, ROOT)


class Docs(unittest.TestCase):
    def test_every_relative_link_resolves(self):
        for page in PAGES:
            for target in re.findall(r"\]\(([^)\s]+)\)", text_of(page)):
                if re.match(r"[a-z]+:", target) or target.startswith("#"):
                    continue
                path = os.path.join(os.path.dirname(page), target.split("#")[0])
                with self.subTest(page=name(page), link=target):
                    self.assertTrue(os.path.exists(path))

    def test_every_file_of_the_project_named_is_there(self):
        for page in PAGES:
            for code in code_of(text_of(page)):
                for path in PROJECT_PATH.findall(code):
                    if any(c in path for c in "*?[<") or path.endswith("/"):
                        continue
                    with self.subTest(page=name(page), path=path):
                        self.assertTrue(os.path.exists(os.path.join(ROOT, path)) or
                                        glob.glob(os.path.join(ROOT, path + "*")))
                for path in BUILT_PATH.findall(code):
                    if any(c in path for c in "*?[<"):
                        continue
                    with self.subTest(page=name(page), built=path):
                        self.assertTrue(os.path.exists(os.path.join(BUILD, path)))

    def test_every_make_target_given_exists(self):
        with open(os.path.join(ROOT, "Makefile"), encoding="utf-8") as makefile:
            targets = set(re.findall(r"^([\w-]+):", makefile.read(), re.MULTILINE))
        for page in PAGES:
            for code in code_of(text_of(page)):
                for target in re.findall(r"(?:^|[;&(]\s*)make ([\w-]+)", code):
                    with self.subTest(page=name(page), target=target):
                        self.assertIn(target, targets)

    def test_every_option_given_a_program_is_in_its_help(self):
        helps, checked = {}, set()
        for program, path in PROGRAMS.items():
            helps[program] = subprocess.run([path, "--help"], capture_output=True, text=True,
                                            timeout=30).stdout
        for page in PAGES:
            for code in code_of(text_of(page)):
                words = code.split()
                programs = [w for w in words if os.path.basename(w).removesuffix(".exe")
                            in PROGRAMS]
                if not programs:
                    continue
                # A command's options up to a pipe or the next program it starts.
                program = os.path.basename(programs[0]).removesuffix(".exe")
                start = words.index(programs[0]) + 1
                for word in words[start:]:
                    if word in ("|", "--") or os.path.basename(word) in PROGRAMS:
                        break
                    option = re.match(r"(--[a-z][\w-]*)", word)
                    if option:
                        checked.add((program, option[1]))
                        with self.subTest(page=name(page), program=program, option=option[1]):
                            self.assertRegex(helps[program], rf"(?m)^\s+(-\w,)?{option[1]}\b")
        # The pages give every program with options: a reader's command not recognised here
        # would pass unchecked.
        self.assertEqual({program for program, _ in checked}, set(PROGRAMS))


if __name__ == "__main__":
    main()
