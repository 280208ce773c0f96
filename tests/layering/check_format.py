#!/usr/bin/env python3
"""Fails when a C++ file differs from what clang-format makes of it (the style in .clang-format).

Usage: check_format.py SOURCE_DIR CLANG_FORMAT. Generated tables are left out.
"""
import os
import subprocess
import sys

SKIP = ("src/net/ServiceRegistryTables.cpp",)


def main():
    source_dir, clang_format = os.path.abspath(sys.argv[1]), sys.argv[2]
    files = subprocess.run(["git", "-C", source_dir, "ls-files", "--cached", "--others", "--exclude-standard",
                            "*.cpp", "*.h"], capture_output=True, text=True, check=True).stdout.split()
    files = [f for f in files if f not in SKIP and os.path.exists(os.path.join(source_dir, f))]
    result = subprocess.run([clang_format, "--dry-run", "--Werror", "--style=file"] + files, cwd=source_dir,
                            capture_output=True, text=True)
    bad = sorted({line.split(":", 1)[0] for line in result.stderr.splitlines() if ": error:" in line})
    for f in bad:
        print(f"{f}: not formatted (run clang-format -i {f})")
    print(f"{len(files)} files checked, {len(bad)} not formatted")
    return 1 if result.returncode != 0 else 0


if __name__ == "__main__":
    sys.exit(main())
