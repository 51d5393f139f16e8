#!/usr/bin/env python3
"""Writes textio/encoding_gb2312.h: the GB2312 level of every CJK character.

GB2312 holds the 6763 characters of everyday Chinese, in two levels: 3755 of
level 1 (rows B0 to D7, the common ones) and 3008 of level 2 (rows D8 to F7).
Point names are written with them; the rest of GBK and GB18030 (tens of
thousands of characters) is rare. The encoding decision weighs a reading's
characters by that, the same way for GBK and for UTF-8 text, so it needs the
levels by code point: two bits a character from U+4E00 on, four to a byte,
the lowest bits first (0: not in GB2312, 1: level 1, 2: level 2).

    python3 textio/encoding_gb2312.py > textio/encoding_gb2312.h
"""

FIRST = 0x4E00


def levels():
    level = {}
    for lead in range(0xB0, 0xF8):
        for trail in range(0xA1, 0xFF):
            try:
                c = ord(bytes([lead, trail]).decode("gb2312"))
            except UnicodeDecodeError:
                continue
            level[c] = 1 if lead <= 0xD7 else 2
    return level


def main():
    level = levels()
    assert len(level) == 6763 and sum(v == 1 for v in level.values()) == 3755
    last = max(level)
    packed = bytearray((last - FIRST) // 4 + 1)
    for c, v in level.items():
        packed[(c - FIRST) // 4] |= v << (2 * ((c - FIRST) % 4))
    print("#pragma once")
    print("// Made by textio/encoding_gb2312.py; do not edit.")
    print()
    print("#include <cstdint>")
    print()
    print("namespace kovarim::gb2312 {")
    print()
    print(f"inline constexpr char32_t kFirst = 0x{FIRST:04X}, kLast = 0x{last:04X};")
    print()
    print("// Two bits a character from kFirst on, four to a byte, lowest first:")
    print("// 0 not in GB2312, 1 level 1, 2 level 2.")
    print("// clang-format off")
    print("inline constexpr std::uint8_t kLevels[] = {")
    for i in range(0, len(packed), 16):
        print("    " + ", ".join(f"0x{b:02X}" for b in packed[i : i + 16]) + ",")
    print("};")
    print("// clang-format on")
    print()
    print("} // namespace kovarim::gb2312")


main()
