#!/usr/bin/python3
"""Checks the include graph of app/: every room (a folder of app/, or the
desktop program's root files) includes only rooms below it in ROOMS, no unit
is part of a circle of includes (a header and its source count as one unit,
so A.cpp -> B.h with B.cpp -> A.h is a circle too), and nothing in app/desktop
outside window/ includes the main window's header. Prints each fault and
exits 1 when there is one; run from anywhere.

  check_includes.py [--also FROM:TO ...]

--also adds an include of TO to the file FROM before checking, so a test can
show that an include climbing between rooms is caught."""

import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
WINDOW_HEADER = "app/desktop/window/MainDialog.h"

# The rooms of app/, lowest first: a room may include itself and the rooms
# before it, never one after it. "app/desktop" is the composition root (the
# files beside the room folders). This list is the one place of the order.
ROOMS = [
    "app/shared/commands",
    "app/shared/prompts",
    "app/shared/input",
    "app/shared/sheet",
    "app/shared/transport",
    "app/shared/bus",
    "app/transfer",
    "app/cli",
    # The typist's program: over the shared rooms and the engine's scribe/,
    # never the desktop program's rooms.
    "app/scribe",
    "app/desktop/session",
    "app/desktop/dialogs",
    "app/desktop/settings",
    "app/desktop/commands",
    "app/desktop/window",
    "app/desktop/setup",
    "app/desktop",
]


def room_of(path):
    """The room a file (or unit) belongs to: its folder."""
    return os.path.dirname(path)


def units(base, extra):
    """Maps each unit (path without extension) under base to the units it
    includes, and each file to its includes."""
    graph = {}
    includes = {}
    for folder, _, names in os.walk(os.path.join(ROOT, base)):
        for name in names:
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.relpath(os.path.join(folder, name), ROOT)
            with open(os.path.join(ROOT, path), encoding="utf-8") as f:
                includes[path] = INCLUDE.findall(f.read())
    for source, target in extra:
        includes.setdefault(source, []).append(target)
    for path, found in includes.items():
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


def room_faults(includes):
    """Includes that climb from a room to one above it, and rooms missing
    from ROOMS (a new folder must be given its place)."""
    faults = []
    rank = {room: i for i, room in enumerate(ROOMS)}
    unplaced = set()
    for path, found in sorted(includes.items()):
        room = room_of(path)
        if room not in rank:
            unplaced.add(room)
            continue
        for target in found:
            if not target.startswith("app/"):
                continue
            other = room_of(target)
            if other not in rank:
                unplaced.add(other)
            elif rank[other] > rank[room]:
                faults.append("%s includes %s: %s sits below %s" % (path, target, room, other))
    for room in sorted(unplaced):
        faults.append("room %s has no place in ROOMS (scripts/check_includes.py)" % room)
    return faults


def main(argv):
    extra = []
    args = argv[1:]
    while args:
        if args[0] == "--also" and len(args) > 1 and ":" in args[1]:
            extra.append(tuple(args[1].split(":", 1)))
            args = args[2:]
        else:
            print(__doc__)
            return 2
    graph, includes = units("app", extra)
    faults = room_faults(includes)
    circle = find_circle(graph)
    if circle:
        faults.append("circle of includes: " + " -> ".join(circle))
    for path, found in sorted(includes.items()):
        if WINDOW_HEADER in found and not path.startswith("app/desktop/window/"):
            faults.append(path + " includes " + WINDOW_HEADER + " from outside window/")
    for fault in faults:
        print(fault)
    if not faults:
        print("include graph of app/: %d units in %d rooms, each including only rooms below it, no circle"
              % (len(graph), len({room_of(u) for u in graph})))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
