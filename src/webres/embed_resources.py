#!/usr/bin/env python3
"""Writes the resource table: OUT.cpp ID=FILE...; files that do not exist are left out."""
import hashlib
import os
import sys


def main():
    out, items = sys.argv[1], sys.argv[2:]
    lines = ['#include "webres/detail/ResourceTable.h"', "", "#include <array>", ""]
    entries = []
    for item in items:
        rid, path = item.split("=", 1)
        if not os.path.isfile(path):
            continue
        data = open(path, "rb").read()
        sym = f"gd_webres_{rid}"
        lines.append(f"// {os.path.basename(path)} sha256 {hashlib.sha256(data).hexdigest()}")
        quoted = path.replace("\\", "\\\\").replace('"', '\\"')
        lines.append(f'__asm__(".section .rodata\\n.global {sym}\\n.balign 16\\n{sym}:\\n.incbin \\"{quoted}\\"\\n'
                     f'.global {sym}_end\\n{sym}_end:\\n.byte 0\\n.previous\\n");')
        lines.append(f'extern "C" const char {sym}[];')
        lines.append(f'extern "C" const char {sym}_end[];')
        entries.append((rid, os.path.basename(path), sym))
    lines += ["", "namespace webres::detail {", "", "std::span<const Resource> resourceTable() {"]
    lines.append(f"    static const std::array<Resource, {len(entries)}> table{{{{")
    for rid, name, sym in entries:
        lines.append(f'        Resource{{{rid}, "{name}", std::string_view({sym}, '
                     f'static_cast<std::size_t>({sym}_end - {sym}))}},')
    lines += ["    }};", "    return table;", "}", "", "}  // namespace webres::detail", ""]
    text = "\n".join(lines)
    if not os.path.exists(out) or open(out).read() != text:
        with open(out, "w") as f:
            f.write(text)


if __name__ == "__main__":
    main()
