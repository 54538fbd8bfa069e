#!/usr/bin/env python3
"""Checks the built orbituneFS2004.gau as a Windows loader and a user see it.

    check_module_file.py orbituneFS2004.gau

It must be a 32-bit DLL that imports from system libraries only (so that it
works as a lone file in the host's gauges folder), exports ImportTable as
ordinal 1 and Linkage as ordinal 2 by name, holds the four bitmaps 0x2100 to
0x2103 in US English, and carries version 1.0.0. Prints every problem found
and exits non-zero if there is any.
"""
import re
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
    if hasattr(pe, "DIRECTORY_ENTRY_EXPORT"):
        exports = {symbol.ordinal: symbol.name for symbol in pe.DIRECTORY_ENTRY_EXPORT.symbols}
    if exports != EXPECTED_EXPORTS:
        problems.append(f"exports {exports}, expected {EXPECTED_EXPORTS}")

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


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    problems = check(sys.argv[1])
    for problem in problems:
        print(f"{sys.argv[1]}: {problem}")
    if not problems:
        print(f"{sys.argv[1]}: imports, exports, bitmaps and version as expected")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
