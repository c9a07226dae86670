#!/usr/bin/env python3
"""The floors of Korvanta's code, and the check that every call points down.

The table FLOORS below is the one statement of the layering: each folder may
include headers of its own floor and of the floors under it, never of a floor
above; a floor named in ONLY may include nothing but the floors given there
(the examples, built against the installed library, see its public headers
only). The check reads

  * the #include lines of every source file under the floors' folders, and
  * with --build, the undefined symbols (nm) of every object file of the
    media library and the simulator, so that a forward declaration cannot
    hide a call into a floor above;

and fails naming each file that breaks a floor. The calls that must run
upward at run time go through the hooks of HOOKS, installed by the floor that
carries them out; --dot draws the floors and those hooks for Graphviz
(docs/floors.dot, rendered to docs/floors.svg).

  tools/check_floors.py [--source DIR] [--build DIR] [--dot-file FILE]
  tools/check_floors.py --dot > docs/floors.dot
"""
import argparse
import os
import re
import subprocess
import sys

# Bottom first: (floor, folder, what it owns).
FLOORS = [
    ("base", "media/base", "character-set helpers: pure functions, no state"),
    ("platform", "media/platform",
     "the seam: SDL2, FreeType and POSIX behind a Win32-shaped API; raw files and NativePath"),
    ("core", "media/core",
     "the ground: memory manager, system state, call lock, the roof calls"),
    ("log", "media/log", "Log.txt, the echo, the system report"),
    ("files", "media/files", "read streams: the 512 limit and their log lines"),
    ("input", "media/input", "key table, mouse, wheel, any-input test"),
    ("graphics", "media/graphics",
     "screen mode, device setup, presentation, image table, drawing, hardware path"),
    ("image", "media/image", "image files: decoders, loading, reloads"),
    ("font", "media/font", "fonts, glyph caches, text"),
    ("system", "media/system",
     "the roof: start, end, message pump, activation, restore, the main window"),
    ("facade", ("include/korvanta", "media/facade"),
     "the public calls: the headers a program built on the installed library includes"),
    ("app", "app", "the simulator: shell, battle engine, screens, statistics"),
    ("examples", "examples", "programs built on the installed library"),
]

# Floors that may include only the floors listed (and the system's headers).
ONLY = {"examples": ("facade",)}

# Folders that hold headers included by a path relative to them
# (#include <korvanta/media.h> is include/korvanta/media.h).
INCLUDE_ROOTS = ("include",)

# Calls that run upward at run time: (hook, declared on floor, installed by
# floor, what a call through it may free or change).
HOOKS = [
    ("ProcessWindowMessages, WaitWhileInactive", "core", "system",
     "runs the pump: an activation may restore the graphics (images reloaded, "
     "font records, glyph caches and textures freed and made again, input "
     "ended and started again); a quit may be posted"),
    ("PumpServicesRunning", "core", "system", "nothing (a query)"),
    ("ApplyWindowStyle", "core", "system", "resizes the main window: its messages are handled later by the pump"),
    ("AbortMediaLibrary", "core", "system", "ends everything and leaves the process"),
    ("memory report sink", "core", "log", "nothing: the log appends lines (it may allocate)"),
    ("InitFontSystemHook, EndFontSystemHook, SaveDefaultFontHook, RestoreDefaultFontHook, "
     "RecreateFontsHook", "graphics", "font", "every font record and glyph cache"),
    ("ReloadImagesHook", "graphics", "image", "image pixels (refilled from their files)"),
]

RANK = {name: i for i, (name, _, _) in enumerate(FLOORS)}
# Both forms: a program outside the tree includes the public headers with <>.
INCLUDE = re.compile(r'^\s*#\s*include\s+["<]([^">]+)[">]', re.M)
SOURCE_SUFFIXES = (".cpp", ".h", ".inl")


def folders_of(folder):
    return (folder,) if isinstance(folder, str) else folder


def floor_of(path):
    """The floor of a repository path, or None outside the floors."""
    path = path.replace(os.sep, "/")
    matches = [(len(folder), name) for name, folder_or_folders, _ in FLOORS
               for folder in folders_of(folder_or_folders)
               if path == folder or path.startswith(folder + "/")]
    return max(matches)[1] if matches else None


def included_floor(path):
    """The floor of an included path: from the repository root, or from an include root."""
    return floor_of(path) or next((floor for floor in (floor_of(root + "/" + path) for root in INCLUDE_ROOTS)
                                   if floor is not None), None)


def include_violations(source):
    found = []
    for name, folder_or_folders, _ in FLOORS:
        for folder in folders_of(folder_or_folders):
            root = os.path.join(source, folder)
            if not os.path.isdir(root):
                continue
            for directory, _, files in os.walk(root):
                for file_name in sorted(files):
                    if not file_name.endswith(SOURCE_SUFFIXES):
                        continue
                    path = os.path.join(directory, file_name)
                    relative = os.path.relpath(path, source).replace(os.sep, "/")
                    with open(path, encoding="utf-8", errors="replace") as handle:
                        text = handle.read()
                    for match in INCLUDE.finditer(text):
                        target = included_floor(match.group(1))
                        if target is None or target == name:
                            continue
                        line = text.count("\n", 0, match.start()) + 1
                        if name in ONLY and target not in ONLY[name]:
                            found.append("%s:%d includes %s: %s may include only %s" %
                                         (relative, line, match.group(1), name, ", ".join(ONLY[name])))
                        elif RANK[target] > RANK[name]:
                            found.append("%s:%d includes %s: %s may not include %s, a floor above it" %
                                         (relative, line, match.group(1), name, target))
    return found


def objects(build):
    """(floor, object path) for every object of the floors under build."""
    for directory, _, files in os.walk(build):
        for file_name in files:
            if not file_name.endswith(".o"):
                continue
            path = os.path.join(directory, file_name)
            relative = os.path.relpath(path, build).replace(os.sep, "/")
            # <folder>/CMakeFiles/<target>.dir/<sub>/<file>.cpp.o
            parts = relative.split("/")
            if "CMakeFiles" not in parts:
                continue
            at = parts.index("CMakeFiles")
            source_path = "/".join(parts[:at] + parts[at + 2:])[:-len(".o")]
            floor = floor_of(source_path)
            if floor is not None:
                yield floor, source_path, path


def symbol_violations(build):
    defined = {}
    undefined = []
    listed = list(objects(build))
    if not listed:
        return ["no object files of the floors under %s: build first" % build]
    for floor, source_path, path in listed:
        out = subprocess.run(["nm", "--format=posix", path], capture_output=True, text=True, check=True).stdout
        for line in out.splitlines():
            fields = line.split()
            if len(fields) < 2:
                continue
            symbol, kind = fields[0], fields[1]
            if kind == "U":
                undefined.append((floor, source_path, symbol))
            elif kind in "TDBRWVu":  # defined and global
                # The lowest floor that defines a symbol owns it (inline
                # functions are defined in every object that uses them).
                if symbol not in defined or RANK[floor] < RANK[defined[symbol]]:
                    defined[symbol] = floor
    found = set()
    for floor, source_path, symbol in undefined:
        owner = defined.get(symbol)
        if owner is not None and RANK[owner] > RANK[floor]:
            readable = subprocess.run(["c++filt", symbol], capture_output=True, text=True).stdout.strip()
            found.add("%s calls %s, defined on %s: %s may not call %s, a floor above it" %
                      (source_path, readable or symbol, owner, floor, owner))
    return sorted(found)


def dot():
    lines = ["// Made by tools/check_floors.py --dot from its table; do not edit.",
             "digraph floors {",
             '  graph [rankdir=BT, fontname="Helvetica", nodesep=0.4, ranksep=0.35];',
             '  node [shape=box, style="rounded,filled", fillcolor="#eef3fb", fontname="Helvetica", fontsize=11];',
             '  edge [fontname="Helvetica", fontsize=9];']
    for name, folder, owns in FLOORS:
        places = ", ".join(place + "/" for place in folders_of(folder))
        lines.append('  %s [label=<<b>%s</b> <font point-size="9">%s</font><br/><font point-size="9">%s</font>>];' %
                     (name, name, places, owns.replace("&", "&amp;").replace("<", "&lt;")))
    # The floors stand on one another; a floor of ONLY stands on its own list.
    stacked = [name for name, _, _ in FLOORS if name not in ONLY]
    for lower, upper in zip(stacked, stacked[1:]):
        lines.append("  %s -> %s [dir=back, arrowtail=normal];" % (lower, upper))
    for upper, lowers in ONLY.items():
        for lower in lowers:
            lines.append("  %s -> %s [dir=back, arrowtail=normal];" % (lower, upper))
    # One dashed edge per pair of floors, naming its hooks.
    pairs = {}
    for hook, declared, installer, _ in HOOKS:
        pairs.setdefault((declared, installer), []).extend(name.strip() for name in hook.split(","))
    for (declared, installer), names in pairs.items():
        lines.append('  %s -> %s [style=dashed, color="#b04020", fontcolor="#b04020", constraint=false, '
                     'label="%s"];' % (declared, installer, "\\n".join(names)))
    lines.append("}")
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    here = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser.add_argument("--source", default=here, help="repository root (default: this script's)")
    parser.add_argument("--build", help="a build folder: also check the object files' symbols")
    parser.add_argument("--dot", action="store_true", help="print the floors for Graphviz and stop")
    parser.add_argument("--dot-file", help="fail when this file differs from --dot's output")
    args = parser.parse_args()
    if args.dot:
        sys.stdout.write(dot())
        return 0
    problems = include_violations(args.source)
    if args.build:
        problems += symbol_violations(args.build)
    if args.dot_file:
        with open(args.dot_file, encoding="utf-8") as handle:
            if handle.read() != dot():
                problems.append("%s is not what the table gives: run tools/check_floors.py --dot > %s "
                                "and dot -Tsvg on it" % (args.dot_file, args.dot_file))
    for problem in problems:
        print("floors: " + problem)
    if problems:
        return 1
    print("floors: every include%s points down" % (" and call" if args.build else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main())
