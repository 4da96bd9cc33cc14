#!/usr/bin/python3
"""Checks the include graph of app/: no circle of includes (a header and its
source count as one unit, so A.cpp -> B.h with B.cpp -> A.h is a circle too),
and nothing in app/desktop outside window/ includes the main window's header.
Prints each fault and exits 1 when there is one; run from anywhere."""

import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
WINDOW_HEADER = "app/desktop/window/MainDialog.h"


def units(base):
    """Maps each unit (path without extension) under base to the units it includes."""
    graph = {}
    includes = {}
    for folder, _, names in os.walk(os.path.join(ROOT, base)):
        for name in names:
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.relpath(os.path.join(folder, name), ROOT)
            with open(os.path.join(ROOT, path), encoding="utf-8") as f:
                found = INCLUDE.findall(f.read())
            includes[path] = found
            unit = os.path.splitext(path)[0]
            targets = graph.setdefault(unit, set())
            for target in found:
                if target.startswith(base + "/"):
                    other = os.path.splitext(target)[0]
                    if other != unit:
                        targets.add(other)
    return graph, includes


def find_circle(graph):
    """One circle of the graph as a list of units, or None."""
    state = {}
    stack = []

    def visit(unit):
        state[unit] = 1
        stack.append(unit)
        for target in sorted(graph.get(unit, ())):
            if state.get(target) == 1:
                return stack[stack.index(target):] + [target]
            if target not in state:
                circle = visit(target)
                if circle:
                    return circle
        stack.pop()
        state[unit] = 2
        return None

    for unit in sorted(graph):
        if unit not in state:
            circle = visit(unit)
            if circle:
                return circle
    return None


def main():
    graph, includes = units("app")
    faults = []
    circle = find_circle(graph)
    if circle:
        faults.append("circle of includes: " + " -> ".join(circle))
    for path, found in sorted(includes.items()):
        if WINDOW_HEADER in found and not path.startswith("app/desktop/window/"):
            faults.append(path + " includes " + WINDOW_HEADER + " from outside window/")
    for fault in faults:
        print(fault)
    if not faults:
        print("include graph of app/: %d units, no circle" % len(graph))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
