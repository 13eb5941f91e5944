#!/usr/bin/env python3
"""The modules' include graph, read from the sources, held against the build.

Reads the modules, their floor order (bottom up) and what each DEPENDS on from
the demo_module(...) calls in src/CMakeLists.txt, in file order, then scans
src/<module>/*.h and *.cpp for `#include "<module>/..."` and prints one line a
module, bottom up (`app -> show, scenes, ...`). With --check it also names each
include (file:line) that reaches a module above the includer, or one it does not
DEPENDS on, and exits 1 if there is any. It reads text only: it does not run
CMake, and sees no include that a macro builds. --selftest runs it on two small
made-up trees and says whether it told the good one from the bad one.
"""
import argparse
import pathlib
import re
import sys
import tempfile

MODULE_CALL = re.compile(r"^\s*demo_module\s*\(([^)]*)\)", re.M)
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/[^"]*"')
KEYWORDS = {"DEPENDS", "LIBS"}
# OpenGL is reached through the drawing module only; the window and the
# read-back code (platform) are the one other place that talks to it.
GL_MODULES = {"draw", "platform"}
GL_USE = re.compile(r'^\s*#\s*include\s*<GL/|\bglu?[A-Z]\w*\s*\(')


def read_modules(cmake_file):
    """The modules bottom up, and what each one DEPENDS on."""
    text = re.sub(r"#[^\n]*", "", cmake_file.read_text())  # the comments name modules too
    order, depends = [], {}
    for call in MODULE_CALL.finditer(text):
        words = call.group(1).split()
        name, section, deps = words[0], None, set()
        for word in words[1:]:
            if word in KEYWORDS:
                section = word
            elif section == "DEPENDS":
                deps.add(word)
        order.append(name)
        depends[name] = deps
    return order, depends


def scan(root):
    """Returns (the printed graph, the offending includes)."""
    src = root / "src"
    cmake = src / "CMakeLists.txt"
    order, depends = read_modules(cmake) if cmake.is_file() else ([], {})
    if not order:
        sys.exit(f"{cmake}: no demo_module(...) calls found; is --root the repository?")
    floor = {name: i for i, name in enumerate(order)}
    arrows = {name: set() for name in order}
    problems = []
    for module in order:
        files = sorted(p for p in (src / module).glob("*") if p.suffix in (".h", ".cpp"))
        for path in files:
            for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                code = line.split("//")[0]
                if module not in GL_MODULES and GL_USE.search(code):
                    problems.append(f"{path.relative_to(root)}:{number}: {module} calls OpenGL; "
                                    f"draw through draw/draw.h instead")
                match = INCLUDE.match(line)
                if not match or match.group(1) not in floor:
                    continue
                target = match.group(1)
                where = f"{path.relative_to(root)}:{number}"
                if target != module:
                    arrows[module].add(target)
                if floor[target] > floor[module]:
                    problems.append(f"{where}: {module} includes {target}, a module above it")
                elif target != module and target not in depends[module]:
                    problems.append(f"{where}: {module} includes {target}, which it does not DEPENDS on "
                                    f"in src/CMakeLists.txt (add it there, or move the code down)")
    graph = [f"{m} -> " + ", ".join(sorted(arrows[m], key=floor.get, reverse=True)) for m in order]
    return [line.rstrip() for line in graph], problems


def self_test():
    """A tree that breaks both rules must fail, naming both lines; one that keeps them must pass."""
    cmake = ("# demo_module(NAME [DEPENDS module...])\n"
             "demo_module(low LIBS Something::Else)\n"
             "demo_module(mid DEPENDS low high)\n"
             "demo_module(high DEPENDS  # not low\n    mid)\n")
    sources = {"low/a.h": '#pragma once\n#include "low/b.h"\n',
               "mid/m.cpp": '#include "mid/m.h"\n#include <vector>\n#include "low/a.h"\n',
               "high/h.cpp": '#include "mid/m.h"\n'}
    bad = {"low/b.cpp": '#include "low/a.h"\n\n#include "mid/m.h"\n',  # up, and not a dependency
           "mid/n.h": '#include "high/h.h"\n',                          # up, though a dependency
           "high/x.cpp": '#include "low/a.h"\n',                       # down, but not a dependency
           "high/y.cpp": '// glEnable(GL_BLEND) in a comment is fine\n  glEnable(GL_BLEND);\n'}  # OpenGL
    ok = True
    for extra, expected in (({}, []), (bad, ["src/low/b.cpp:3", "src/mid/n.h:1", "src/high/x.cpp:1", "src/high/y.cpp:2"])):
        with tempfile.TemporaryDirectory() as tmp:
            root = pathlib.Path(tmp)
            for name, text in {"CMakeLists.txt": cmake, **sources, **extra}.items():
                (root / "src" / name).parent.mkdir(parents=True, exist_ok=True)
                (root / "src" / name).write_text(text)
            graph, problems = scan(root)
            found = [p.split(": ")[0] for p in problems]
            want_graph = ["low -> mid", "mid -> high, low", "high -> mid, low"] if extra else \
                ["low ->", "mid -> low", "high -> mid"]
            if found != expected or graph != want_graph:
                print(f"selftest: expected {expected} and {want_graph}, got {problems} and {graph}")
                ok = False
    print("selftest: " + ("passed" if ok else "FAILED"))
    return 0 if ok else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", type=pathlib.Path, default=pathlib.Path(__file__).resolve().parent.parent,
                        help="the repository (default: the one holding this script)")
    parser.add_argument("--check", action="store_true", help="exit 1 if any include breaks the rules")
    parser.add_argument("--selftest", action="store_true", help="check the checker on made-up trees")
    args = parser.parse_args()
    if args.selftest:
        return self_test()
    graph, problems = scan(args.root)
    print("\n".join(graph))
    if args.check:
        for problem in problems:
            print(problem)
        print(f"{len(problems)} include(s) break the floors" if problems else "every include points down")
        return 1 if problems else 0
    return 0


if __name__ == "__main__":
    sys.exit(main())
