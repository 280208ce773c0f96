#!/usr/bin/env python3
"""Fails when a file includes a folder its layer may not use (see allowed.txt beside this file), or
when a library's CMake DEPS differ from the project libraries its files include (the build graph is
the include graph).

Usage: check_includes.py SOURCE_DIR [FILE...]; with files, only those are checked (for a quick run
on a change). Prints one line per forbidden include and exits 1 when there is any.
"""
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOTS = ("src", "app", "sim", "bench", "tests")
# Headers of the C and C++ standard libraries and of the operating system need no permission.
SYSTEM = re.compile(r"^(sys/|arpa/|netinet/|[a-z_0-9]+$|[a-z_0-9]+\.h$)")


def read_table():
    table = {}
    for line in open(os.path.join(HERE, "allowed.txt"), encoding="utf-8"):
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        folder, rest = line.split(":", 1)
        inner, _, outer = rest.partition("|")
        table[folder.strip()] = (set(inner.split()), set(outer.split()))
    return table


def layer_of(table, rel):
    """The table's folder for a path relative to the source dir: the longest listed prefix."""
    parts = rel.split("/")
    if parts[0] != "src":
        return parts[0]
    best = None
    for n in range(len(parts) - 1, 1, -1):
        key = "/".join(parts[1:n])
        if key in table:
            best = key
            break
    return best if best is not None else "/".join(parts[1:-1])


def library_of(table, src_rel):
    """The table folder that owns a header given as it is included (relative to src/)."""
    return layer_of(table, "src/" + src_rel)


def check_file(table, source_dir, rel):
    problems = []
    layer = layer_of(table, rel)
    inner, outer = table.get(layer, (set(), set()))
    text = open(os.path.join(source_dir, rel), encoding="utf-8", errors="replace").read()
    for number, line in enumerate(text.splitlines(), 1):
        m = re.match(r'\s*#\s*include\s*([<"])([^>"]+)[>"]', line)
        if not m:
            continue
        quote, path = m.groups()
        if quote == '"':
            if not os.path.exists(os.path.join(source_dir, "src", path)):
                continue  # a file beside the includer (tests, app, sim)
            owner = library_of(table, path)
            if "/detail/" in "/" + path and owner != layer and not rel.startswith(("tests/", "bench/")):
                problems.append(f"{rel}:{number}: {path} is internal to {owner}")
            elif owner != layer and "*" not in inner and owner not in inner:
                problems.append(f"{rel}:{number}: {layer} may not include {path} ({owner})")
        else:
            first = path.split("/")[0]
            if SYSTEM.match(path) and first not in ("curl", "openssl", "nlohmann"):
                if path not in ("pugixml.hpp", "httplib.h", "zip.h", "png.h", "jpeglib.h", "zlib.h"):
                    continue
            if first not in outer and path not in outer:
                problems.append(f"{rel}:{number}: {layer} may not use <{path}>")
    return problems


def library_name(folder):
    return "gd_" + folder.split("/")[-1]


def check_link_deps(table, source_dir):
    """Each src library's gd_ DEPS must be exactly the project libraries its files include."""
    problems = []
    for d, _, names in os.walk(os.path.join(source_dir, "src")):
        if "CMakeLists.txt" not in names:
            continue
        text = open(os.path.join(d, "CMakeLists.txt"), encoding="utf-8").read()
        m = re.search(r"gd_add_library\((\w+)([^)]*)\)", text)
        if not m:
            continue
        folder = os.path.relpath(d, os.path.join(source_dir, "src")).replace(os.sep, "/")
        declared = set(re.findall(r"\bgd_\w+", m.group(2)))
        included = set()
        for sub, dirs, files in os.walk(d):
            # nested libraries (a folder with a CMakeLists.txt of its own) are checked on their own
            dirs[:] = [x for x in dirs if not os.path.exists(os.path.join(sub, x, "CMakeLists.txt"))]
            for n in files:
                if not n.endswith((".h", ".cpp")):
                    continue
                for path in re.findall(r'^\s*#\s*include\s*"([^"]+)"', open(os.path.join(sub, n), encoding="utf-8",
                                       errors="replace").read(), re.M):
                    if os.path.exists(os.path.join(source_dir, "src", path)):
                        owner = library_of(table, path)
                        if owner != folder:
                            included.add(library_name(owner))
        for extra in sorted(declared - included):
            problems.append(f"src/{folder}/CMakeLists.txt: links {extra} but includes nothing of it")
        for missing in sorted(included - declared):
            problems.append(f"src/{folder}/CMakeLists.txt: includes {missing} but does not link it")
    return problems


def main():
    source_dir = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", ".."))
    table = read_table()
    files = sys.argv[2:]
    if not files:
        for root in ROOTS:
            for d, _, names in os.walk(os.path.join(source_dir, root)):
                if "node_modules" in d or "/build" in d:
                    continue
                files += [os.path.join(d, n) for n in names if n.endswith((".h", ".cpp"))]
    problems = [] if sys.argv[2:] else check_link_deps(table, source_dir)
    for f in files:
        problems += check_file(table, source_dir, os.path.relpath(os.path.abspath(f), source_dir))
    for p in problems:
        print(p)
    print(f"{len(files)} files checked, {len(problems)} forbidden includes")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
