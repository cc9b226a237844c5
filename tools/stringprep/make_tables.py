#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 sitepass developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes core/StringprepTables.cpp: the RFC 3454 tables SASLprep uses, as code-point ranges.

Python's stringprep module reads them from Unicode 3.2 (unicodedata.ucd_3_2_0), the version the
RFC is bound to; today's Unicode would differ for a few hundred code points.
Usage: tools/stringprep/make_tables.py > core/StringprepTables.cpp
"""
import stringprep


def ranges(member):
    found, start = [], None
    for code in range(0x110000):
        inside = member(chr(code))
        if inside and start is None:
            start = code
        elif not inside and start is not None:
            found.append((start, code - 1))
            start = None
    if start is not None:
        found.append((start, 0x10FFFF))
    return found


def prohibited(ch):
    # RFC 4013 2.3: C.1.2 and C.2.1 to C.9.
    return any(table(ch) for table in (
        stringprep.in_table_c12, stringprep.in_table_c21_c22, stringprep.in_table_c3,
        stringprep.in_table_c4, stringprep.in_table_c5, stringprep.in_table_c6,
        stringprep.in_table_c7, stringprep.in_table_c8, stringprep.in_table_c9))


TABLES = [
    ("nonAsciiSpace", "C.1.2: spaces other than U+0020", stringprep.in_table_c12),
    ("mappedToNothing", "B.1: commonly mapped to nothing", stringprep.in_table_b1),
    ("prohibited", "C.1.2 to C.9: prohibited output", prohibited),
    ("unassigned", "A.1: unassigned in Unicode 3.2", stringprep.in_table_a1),
    ("randAL", "D.1: right-to-left (R and AL)", stringprep.in_table_d1),
    ("leftToRight", "D.2: left-to-right (L)", stringprep.in_table_d2),
]

print("// SPDX-FileCopyrightText: 2026 sitepass developers")
print("// SPDX-License-Identifier: GPL-3.0-or-later")
print("// Written by tools/stringprep/make_tables.py from Unicode 3.2; do not edit.")
print("// clang-format off")
print('#include "Stringprep.h"\n')
print("#include <algorithm>\n#include <iterator>\n")
print("namespace Stringprep {\n\nnamespace {")
print("struct Range\n{\n    char32_t first, last;\n};\n")
print("template <std::size_t N>\nbool contains(const Range (&table)[N], char32_t c)\n{")
print("    const auto after = std::upper_bound(std::begin(table), std::end(table), c,")
print("                                        [](char32_t v, const Range &r) { return v < r.first; });")
print("    return after != std::begin(table) && c <= std::prev(after)->last;\n}\n")
for name, title, member in TABLES:
    rows = ranges(member)
    print(f"// {title}")
    print(f"constexpr Range {name}Table[] = {{")
    line = "   "
    for first, last in rows:
        item = f" {{0x{first:04X}, 0x{last:04X}}},"
        if len(line) + len(item) > 100:
            print(line)
            line = "   "
        line += item
    print(line)
    print("};\n")
print("} // namespace\n")
for name, title, member in TABLES:
    function = "is" + name[0].upper() + name[1:]
    print(f"bool {function}(char32_t c)\n{{\n    return contains({name}Table, c);\n}}\n")
print("} // namespace Stringprep")
