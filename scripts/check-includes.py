#!/usr/bin/env python3
"""Checks that the libraries under src/ include only what CMake lets them link.

Every library is declared with qil_add_library(NAME SOURCES ... DEPS ...) and
the programs with add_executable + target_link_libraries. A source file belongs
to the target that lists it, a header to the target that lists its .cpp (or,
without one, to the target that owns most files of its folder). A file may
include a project header only when the header's target is its own target or
one it depends on, directly or through its dependencies. Headers of GLib, GTK
and WebKitGTK may be included only by targets that link those packages.

    scripts/check-includes.py        prints each violation; exit status 1 if any
"""
import collections
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
SRC = ROOT / "src"
CALL = re.compile(r"\b(qil_add_library|add_executable|target_link_libraries)\s*\(([^)]*)\)", re.S)
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]', re.M)
SYSTEM_PACKAGES = {"glib": "PkgConfig::GLIB", "gio": "PkgConfig::GLIB", "gtk": "PkgConfig::DESKTOP",
                   "gdk": "PkgConfig::DESKTOP", "webkit2": "PkgConfig::DESKTOP",
                   "libayatana-appindicator": "PkgConfig::DESKTOP", "fontconfig": "PkgConfig::DESKTOP"}


def read_targets():
    """(deps, owner): each target's direct dependencies, and each file's target."""
    deps = collections.defaultdict(set)
    owner = {}
    for cmake in SRC.rglob("CMakeLists.txt"):
        text = re.sub(r"#[^\n]*", "", cmake.read_text())
        for call, body in CALL.findall(text):
            words = body.split()
            name, rest = words[0], words[1:]
            if call == "target_link_libraries":
                deps[name].update(w for w in rest if w not in ("PRIVATE", "PUBLIC", "INTERFACE"))
                continue
            section = "SOURCES" if call == "qil_add_library" else None
            for word in rest:
                if word in ("SOURCES", "DEPS"):
                    section = word
                elif section == "DEPS":
                    deps[name].add(word)
                elif word.endswith(".cpp"):
                    source = (cmake.parent / word).resolve()
                    owner[source] = name
                    owner[source.with_suffix(".h")] = name
    by_folder = collections.defaultdict(collections.Counter)
    for path, name in owner.items():
        by_folder[path.parent][name] += 1
    for header in SRC.rglob("*.h"):
        header = header.resolve()
        if header not in owner and by_folder[header.parent]:
            owner[header] = by_folder[header.parent].most_common(1)[0][0]
    return deps, owner


def closure(deps, name):
    seen, todo = set(), [name]
    while todo:
        for dep in deps.get(todo.pop(), ()):
            if dep not in seen:
                seen.add(dep)
                todo.append(dep)
    return seen


def main():
    deps, owner = read_targets()
    faults = []
    for path in sorted(p.resolve() for p in SRC.rglob("*") if p.suffix in (".cpp", ".h")):
        target = owner.get(path)
        where = path.relative_to(ROOT)
        if target is None:
            faults.append(f"{where}: no CMake target lists this file")
            continue
        allowed = closure(deps, target) | {target}
        for kind, name in INCLUDE.findall(path.read_text(errors="replace")):
            if kind == '"':
                included = (SRC / name).resolve()
                if not included.exists():
                    included = (path.parent / name).resolve()
                if not included.exists():
                    faults.append(f"{where}: includes \"{name}\", which does not exist")
                elif owner.get(included) not in allowed:
                    faults.append(f"{where} ({target}): includes \"{name}\" of {owner.get(included)}, "
                                  f"which {target} does not link")
            else:
                package = SYSTEM_PACKAGES.get(name.split("/")[0].split(".")[0])
                if package and package not in allowed:
                    faults.append(f"{where} ({target}): includes <{name}> without linking {package}")
    for fault in faults:
        print(fault)
    print(f"include check: {len(owner)} files of {len(deps)} targets, {len(faults)} violations")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
