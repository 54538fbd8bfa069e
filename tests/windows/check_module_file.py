#!/usr/bin/env python3
"""Checks the built orbituneFS2004.gau as a Windows loader and a user see it.

    check_module_file.py orbituneFS2004.gau

It must be a 32-bit DLL that imports from system libraries only (so that it
works as a lone file in the host's gauges folder), exports ImportTable as
ordinal 1 and Linkage as ordinal 2 by name, holds the four bitmaps 0x2100 to
0x2103 in US English, and carries version 1.0.0. The records behind the two
exports are read from the file's initialised data, word by word at the
offsets the host reads, following their pointers from the image base. Prints
every problem found and exits non-zero if there is any.
"""
import re
import struct
import sys

try:
    import pefile
except ImportError:
    sys.exit("check_module_file.py: needs python3-pefile (scripts/install-deps.sh installs it)")

ALLOWED_IMPORTS = {"kernel32.dll", "ws2_32.dll", "msvcrt.dll"}
# The universal C runtime's forwarders are system libraries too.
UCRT_FORWARDER = re.compile(r"api-ms-win-crt-[a-z0-9-]+\.dll")
EXPECTED_EXPORTS = {1: b"ImportTable", 2: b"Linkage"}
BITMAP_IDS = [0x2100, 0x2101, 0x2102, 0x2103]
LANGUAGE_US_ENGLISH = 0x0409
VERSION = (1, 0, 0, 0)


def check(path):
    problems = []
    pe = pefile.PE(path)

    if pe.FILE_HEADER.Machine != pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"]:
        problems.append("not a 32-bit x86 image")
    if not pe.is_dll():
        problems.append("not a DLL")

    imports = [entry.dll.decode("ascii").lower() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]
    for dll in imports:
        if dll not in ALLOWED_IMPORTS and not UCRT_FORWARDER.fullmatch(dll):
            problems.append(f"imports {dll}: a user would have to install it beside the gauge")
    if "kernel32.dll" not in imports:
        problems.append(f"does not import kernel32.dll (imports: {imports})")

    exports = {}
    export_addresses = {}
    if hasattr(pe, "DIRECTORY_ENTRY_EXPORT"):
        exports = {symbol.ordinal: symbol.name for symbol in pe.DIRECTORY_ENTRY_EXPORT.symbols}
        export_addresses = {symbol.name: pe.OPTIONAL_HEADER.ImageBase + symbol.address
                            for symbol in pe.DIRECTORY_ENTRY_EXPORT.symbols}
    if exports != EXPECTED_EXPORTS:
        problems.append(f"exports {exports}, expected {EXPECTED_EXPORTS}")
    else:
        problems += check_records(pe, export_addresses)

    bitmaps = {}
    version_languages = []
    for kind in getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None).entries if hasattr(
            pe, "DIRECTORY_ENTRY_RESOURCE") else []:
        for resource in kind.directory.entries:
            for language in resource.directory.entries:
                if kind.id == pefile.RESOURCE_TYPE["RT_BITMAP"]:
                    bitmaps.setdefault(resource.id, []).append((language.id, language.data.struct.Size))
                elif kind.id == pefile.RESOURCE_TYPE["RT_VERSION"]:
                    version_languages.append(language.id)
    for bitmap_id in BITMAP_IDS:
        found = bitmaps.get(bitmap_id, [])
        if not any(language == LANGUAGE_US_ENGLISH for language, _ in found):
            problems.append(f"no bitmap {bitmap_id:#06x} in language 0x0409 (found {found})")
        for _, size in found:
            # A DIB without its file header: 40 + 1024 palette + 75 rows of 76.
            if size != 40 + 1024 + 76 * 75:
                problems.append(f"bitmap {bitmap_id:#06x} is {size} bytes")
    extra = sorted(set(bitmaps) - set(BITMAP_IDS))
    if extra:
        problems.append(f"unexpected bitmaps {[hex(i) for i in extra]}")

    if LANGUAGE_US_ENGLISH not in version_languages:
        problems.append(f"no version resource in language 0x0409 (found {version_languages})")
    fixed = getattr(pe, "VS_FIXEDFILEINFO", None)
    if not fixed:
        problems.append("no fixed version information")
    else:
        info = fixed[0]
        file_version = (info.FileVersionMS >> 16, info.FileVersionMS & 0xFFFF,
                        info.FileVersionLS >> 16, info.FileVersionLS & 0xFFFF)
        product_version = (info.ProductVersionMS >> 16, info.ProductVersionMS & 0xFFFF,
                           info.ProductVersionLS >> 16, info.ProductVersionLS & 0xFFFF)
        if file_version != VERSION or product_version != VERSION:
            problems.append(f"file version {file_version}, product version {product_version}")
    strings = {}
    for file_info in getattr(pe, "FileInfo", []):
        for block in file_info:
            for table in getattr(block, "StringTable", []):
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
                if int(table.LangID, 16) >> 16 != LANGUAGE_US_ENGLISH:
                    problems.append(f"version strings in language {table.LangID}")
    for key in ("FileVersion", "ProductVersion"):
        if strings.get(key) != "1.0.0":
            problems.append(f"{key} string is {strings.get(key)!r}")
    return problems


class Image:
    """Words and texts of the loaded image, addressed as the host sees them."""

    def __init__(self, pe):
        self.pe = pe
        self.base = pe.OPTIONAL_HEADER.ImageBase

    def words(self, address, count):
        return list(struct.unpack(f"<{count}I", self.pe.get_data(address - self.base, 4 * count)))

    def text(self, address):
        return self.pe.get_string_at_rva(address - self.base).decode("ascii", "replace")

    def is_code(self, address):
        section = self.pe.get_section_by_rva(address - self.base)
        return section is not None and section.Characteristics & 0x20000000 != 0  # executable


def expect_words(problems, record, words, expected):
    """`expected` maps a byte offset to a value, or to a predicate for it."""
    for offset, want in expected.items():
        got = words[offset // 4]
        ok = want(got) if callable(want) else got == want
        if not ok:
            problems.append(f"{record} word at offset {offset} is {got:#x}")


def zero_except(size, given):
    """Every word of a `size`-byte record is zero except those in `given`."""
    expected = {offset: 0 for offset in range(0, size, 4)}
    expected.update(given)
    return expected


def check_records(pe, export_addresses):
    problems = []
    image = Image(pe)
    nonzero = lambda w: w != 0  # noqa: E731

    def code(w):
        return w != 0 and image.is_code(w)

    import_table = image.words(export_addresses[b"ImportTable"], 4)
    expect_words(problems, "ImportTable", import_table, {0: 0x0F, 4: 0, 8: 0, 12: 0})

    linkage = image.words(export_addresses[b"Linkage"], 8)
    expect_words(problems, "Linkage", linkage,
                 {0: 0x13, 4: code, 8: code, 12: 0, 16: 0, 20: 0x0900, 24: nonzero, 28: 0})
    if problems:
        return problems

    header_address = linkage[6]
    header = image.words(header_address, 204 // 4)
    expect_words(problems, "gauge_header", header, zero_except(204, {
        0: 800, 4: nonzero, 8: nonzero,
        12: code, 16: code, 20: code, 24: code, 28: code, 32: code, 36: code,  # the seven routines
        44: 10, 80: nonzero, 84: code}))
    if len(set(header[3:10])) != 7:
        problems.append("gauge_header: the seven routines are not seven different routines")
    if image.text(header[1]) != "OrbiTune":
        problems.append(f"gauge name is {image.text(header[1])!r}")
    if problems:
        return problems

    background_address = image.words(header[2], 1)[0]
    background = image.words(background_address, 96 // 4)
    expect_words(problems, "background_image", background, zero_except(96, {
        0: 0, 4: 0x2103, 32: header_address, 40: nonzero, 48: 0x11}))
    icon_list = image.words(background[10], 2)
    expect_words(problems, "icon_list", icon_list, {0: nonzero, 4: 0})
    if problems:
        return problems

    icon = image.words(icon_list[0], 140 // 4)
    expect_words(problems, "link_icon", icon, zero_except(140, {
        0: 4, 4: 0x2100, 32: header_address, 48: 3, 60: 0x133, 92: 3, 112: 4, 132: code}))

    rects = image.words(header[20], 5 * 44 // 4)
    tooltip_address = rects[11 + 9]
    expected_rects = [
        {0: 1, 20: 0xFFFFFFFF},                                                  # opening
        {0: 4, 20: 0xFFFFFFFF, 36: nonzero},                                      # tooltip
        {0: 2, 12: 80, 16: 80, 20: 5, 28: 0x20000000, 36: code},                  # click area
        {0: 3, 20: 0xFFFFFFFF},                                                   # closing
        {0: 0, 20: 0xFFFFFFFF},                                                   # end of list
    ]
    for i, given in enumerate(expected_rects):
        expect_words(problems, f"click_rects[{i}]", rects[11 * i:11 * (i + 1)], zero_except(44, given))
    if tooltip_address and image.text(tooltip_address) != "Click to enable/disable OrbiTune":
        problems.append(f"tooltip is {image.text(tooltip_address)!r}")
    return problems


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    problems = check(sys.argv[1])
    for problem in problems:
        print(f"{sys.argv[1]}: {problem}")
    if not problems:
        print(f"{sys.argv[1]}: imports, exports, records, bitmaps and version as expected")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
