#!/usr/bin/env python3
"""Checks Tovrel.exe from the outside, on the build host: it is small and hardened, imports
only Windows' own DLLs, and its resource section carries the icon, dialogs, version block and manifest the program
and the shell rely on.

Usage: check_exe.py OBJDUMP EXE. Prints every failed check; exits 1 if there was one.
"""
import re
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "comdlg32.dll",
               "comctl32.dll", "advapi32.dll", "msvcrt.dll"}
RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 14, 16, 24
CLASS_ORDINALS = {0x80: "button", 0x81: "edit", 0x82: "static"}

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def imported_dlls(objdump, exe):
    out = subprocess.run([objdump, "-p", exe], check=True, capture_output=True, text=True).stdout
    return re.findall(r"DLL Name: (\S+)", out)


def is_system_dll(name):
    name = name.lower()
    return name in SYSTEM_DLLS or re.fullmatch(r"api-ms-win-crt-[a-z0-9-]+\.dll", name) is not None


def read_resources(pe):
    """Returns {(type, name): data} for every resource; names are ints or strings."""
    pe_offset = struct.unpack_from("<I", pe, 0x3C)[0]
    if pe[pe_offset:pe_offset + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    sections, optional_size = struct.unpack_from("<H12xH", pe, pe_offset + 6)
    optional = pe_offset + 24
    if struct.unpack_from("<H", pe, optional)[0] != 0x20B:
        raise ValueError("not a 64-bit image")
    root_rva = struct.unpack_from("<I", pe, optional + 112 + 2 * 8)[0]
    table = []
    for i in range(sections):
        entry = optional + optional_size + 40 * i
        vsize, rva, raw_size, raw = struct.unpack_from("<IIII", pe, entry + 8)
        table.append((rva, max(vsize, raw_size), raw))

    def offset(rva):
        for start, size, raw in table:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError(f"RVA {rva:#x} outside every section")

    base = offset(root_rva)

    def entries(directory):
        named, ids = struct.unpack_from("<HH", pe, base + directory + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", pe, base + directory + 16 + 8 * i)
            if name & 0x80000000:
                length = struct.unpack_from("<H", pe, base + (name & 0x7FFFFFFF))[0]
                start = base + (name & 0x7FFFFFFF) + 2
                name = pe[start:start + 2 * length].decode("utf-16-le")
            yield name, target

    resources = {}
    for rtype, type_dir in entries(0):
        for name, name_dir in entries(type_dir & 0x7FFFFFFF):
            for _, leaf in entries(name_dir & 0x7FFFFFFF):
                rva, size = struct.unpack_from("<II", pe, base + leaf)
                resources[(rtype, name)] = pe[offset(rva):offset(rva) + size]
    return resources


def read_sz(data, pos):
    end = pos
    while data[end:end + 2] != b"\0\0":
        end += 2
    return data[pos:end].decode("utf-16-le"), end + 2


def read_sz_or_ord(data, pos):
    if struct.unpack_from("<H", data, pos)[0] == 0xFFFF:
        return struct.unpack_from("<H", data, pos + 2)[0], pos + 4
    return read_sz(data, pos)


def align4(pos):
    return (pos + 3) & ~3


def parse_dialogex(data):
    header = struct.unpack_from("<HHIIIHhhhh", data, 0)
    version, signature, _, _, style, count, x, y, cx, cy = header
    if (version, signature) != (1, 0xFFFF):
        raise ValueError("not an extended dialog template")
    menu, pos = read_sz_or_ord(data, 26)
    window_class, pos = read_sz_or_ord(data, pos)
    title, pos = read_sz(data, pos)
    font = None
    if style & 0x40:  # DS_SETFONT
        size, weight, italic, charset = struct.unpack_from("<HHBB", data, pos)
        face, pos = read_sz(data, pos + 6)
        font = (size, face, weight, italic, charset)
    dialog = {"style": style, "rect": (x, y, cx, cy), "menu": menu, "class": window_class,
              "title": title, "font": font, "controls": []}
    for _ in range(count):
        pos = align4(pos)
        _, _, cstyle, x, y, cx, cy, cid = struct.unpack_from("<IIIhhhhi", data, pos)
        cclass, pos = read_sz_or_ord(data, pos + 24)
        text, pos = read_sz_or_ord(data, pos)
        extra = struct.unpack_from("<H", data, pos)[0]
        pos += 2 + extra
        # Class names are case-insensitive; resource compilers write them in various forms.
        cclass = CLASS_ORDINALS.get(cclass, str(cclass).lower())
        dialog["controls"].append((cid, cclass, cstyle, (x, y, cx, cy), text))
    return dialog


def parse_version(data):
    """Returns (fixed file info words, {string: value}, block names, translations)."""
    strings, blocks, translations = {}, [], []

    def node(pos):
        length, value_length, kind = struct.unpack_from("<HHH", data, pos)
        key, value_pos = read_sz(data, pos + 6)
        return pos + length, key, align4(value_pos), value_length, kind

    end, key, pos, value_length, _ = node(0)
    check(key == "VS_VERSION_INFO", f"version block key is {key!r}")
    fixed = struct.unpack_from("<13I", data, pos)
    pos = align4(pos + value_length)
    while pos < end:
        child_end, child, child_pos, _, _ = node(pos)
        if child == "StringFileInfo":
            while child_pos < child_end:
                table_end, block, item, _, _ = node(child_pos)
                blocks.append(block)
                while item < table_end:
                    item_end, name, value_pos, chars, _ = node(item)
                    text = data[value_pos:value_pos + 2 * chars].decode("utf-16-le")
                    strings[name] = text.rstrip("\0")
                    item = align4(item_end)
                child_pos = align4(table_end)
        elif child == "VarFileInfo":
            _, _, value_pos, size, _ = node(child_pos)
            translations = list(struct.unpack_from(f"<{size // 2}H", data, value_pos))
        pos = align4(child_end)
    return fixed, strings, blocks, translations


def check_icon(resources):
    group = resources.get((RT_GROUP_ICON, 108))
    if not check(group is not None, "no icon group 108"):
        return
    _, kind, count = struct.unpack_from("<HHH", group, 0)
    check(kind == 1 and count == 1, f"icon group 108 holds {count} images, expected one")
    width, height, _, _, planes, bits, _, image_id = struct.unpack_from("<BBBBHHIH", group, 6)
    check((width, height, bits) == (32, 32, 32), f"icon 108 is {width}x{height} at {bits} bpp")
    image = resources.get((RT_ICON, image_id))
    if check(image is not None, f"icon image {image_id} missing"):
        header = struct.unpack_from("<IiiHH", image, 0)
        check(header == (40, 32, 64, 1, 32), f"icon image header {header}")


def check_dialogs(resources):
    overlay = parse_dialogex(resources[(RT_DIALOG, 132)])
    check(overlay["style"] == 0x80000048, f"dialog 132 style {overlay['style']:#x}")
    check(overlay["rect"] == (0, 0, 316, 182), f"dialog 132 rect {overlay['rect']}")
    check(overlay["font"][:3] == (8, "MS Shell Dlg", 400), f"dialog 132 font {overlay['font']}")
    check((overlay["title"], overlay["class"], overlay["controls"]) == ("", "", []),
          "dialog 132 has a title, class or controls")

    about = parse_dialogex(resources[(RT_DIALOG, 103)])
    check(about["style"] == 0x80C808C8, f"dialog 103 style {about['style']:#x}")
    check(about["rect"] == (0, 0, 171, 69), f"dialog 103 rect {about['rect']}")
    check(about["title"] == "关于 Tovrel", f"dialog 103 title {about['title']!r}")
    check(about["font"][:2] == (9, "MS Shell Dlg"), f"dialog 103 font {about['font']}")
    expected = [
        (-1, "static", 0x50000003, (14, 14, 20, 20), 128),
        (-1, "static", 0x50020080, (42, 14, 114, 8), "Tovrel，1.0 版"),
        (-1, "static", 0x50020000, (42, 26, 41, 8), "作者链接："),
        (1, "button", 0x50030001, (114, 48, 50, 14), "确定"),
        (-1, "static", 0x50020000, (42, 37, 114, 8), None),
        (1001, "syslink", 0x50010000, (74, 26, 82, 11), None),
    ]
    controls = about["controls"]
    if not check(len(controls) == len(expected), f"dialog 103 has {len(controls)} controls"):
        return
    for i, (got, want) in enumerate(zip(controls, expected)):
        check(got[:4] == want[:4], f"dialog 103 control {i}: {got[:4]}, expected {want[:4]}")
        if want[4] is not None:
            check(got[4] == want[4], f"dialog 103 control {i} text {got[4]!r}")
    notice = controls[4][4]
    check(isinstance(notice, str) and notice and "\n" not in notice, "legal notice not one line")
    check(re.fullmatch(r"<a>https?://[^<]+</a>", str(controls[5][4])) is not None,
          f"link text {controls[5][4]!r} is not one link")


def check_version(resources):
    data = resources.get((RT_VERSION, 1))
    if not check(data is not None, "no version block"):
        return
    fixed, strings, blocks, translations = parse_version(data)
    check(fixed[0] == 0xFEEF04BD, "fixed file info signature")
    check(fixed[2:6] == (0x10000, 1, 0x10000, 1), f"file/product version words {fixed[2:6]}")
    check(blocks == ["080404b0"], f"string blocks {blocks}")
    check(translations == [0x804, 1200], f"translation {translations}")
    want = {"ProductName": "Tovrel 应用程序", "FileDescription": "Tovrel 应用程序",
            "InternalName": "Tovrel", "OriginalFilename": "Tovrel.exe",
            "FileVersion": "1, 0, 0, 1", "ProductVersion": "1, 0, 0, 1"}
    for key, value in want.items():
        check(strings.get(key) == value, f"version string {key} is {strings.get(key)!r}")
    check(bool(strings.get("LegalCopyright")), "no legal notice in the version block")


def check_manifest(resources):
    data = resources.get((RT_MANIFEST, 1))
    if not check(data is not None, "no manifest with id 1"):
        return
    root = ET.fromstring(data)
    v1, v3 = "{urn:schemas-microsoft-com:asm.v1}", "{urn:schemas-microsoft-com:asm.v3}"
    level = root.find(f".//{v3}requestedExecutionLevel")
    check(level is not None and level.get("level") == "asInvoker"
          and level.get("uiAccess") == "false", "requestedExecutionLevel not asInvoker/false")
    controls = [a for a in root.iter(f"{v1}assemblyIdentity")
                if a.get("name") == "Microsoft.Windows.Common-Controls"]
    check(len(controls) == 1 and controls[0].get("version") == "6.0.0.0"
          and controls[0].get("publicKeyToken") == "6595b64144ccf1df",
          "no dependency on Common-Controls 6.0.0.0")
    aware = root.find(".//{http://schemas.microsoft.com/SMI/2005/WindowsSettings}dpiAware")
    check(aware is not None and aware.text.strip() == "true/PM", "dpiAware is not true/PM")
    awareness = root.find(".//{http://schemas.microsoft.com/SMI/2016/WindowsSettings}dpiAwareness")
    check(awareness is not None and awareness.text.strip() == "PerMonitorV2, PerMonitor",
          "dpiAwareness is not PerMonitorV2, PerMonitor")


def check_footprint(pe):
    """Small, and hardened: ASLR with high entropy, and DEP."""
    check(len(pe) <= 150 * 1024, f"the exe is {len(pe)} bytes, over 150 KiB")
    optional = struct.unpack_from("<I", pe, 0x3C)[0] + 24
    flags = struct.unpack_from("<H", pe, optional + 70)[0]
    for bit, name in ((0x20, "HIGH_ENTROPY_VA"), (0x40, "DYNAMIC_BASE"), (0x100, "NX_COMPAT")):
        check(flags & bit, f"{name} is not set (DllCharacteristics {flags:#x})")


def main():
    objdump, exe = sys.argv[1:3]
    dlls = imported_dlls(objdump, exe)
    check("KERNEL32.dll" in dlls and "USER32.dll" in dlls, f"imports look wrong: {dlls}")
    for dll in dlls:
        check(is_system_dll(dll), f"imports {dll}, which is not a Windows system DLL")
    with open(exe, "rb") as f:
        pe = f.read()
    check_footprint(pe)
    resources = read_resources(pe)
    for part in (check_icon, check_dialogs, check_version, check_manifest):
        try:
            part(resources)
        except (KeyError, ValueError, struct.error, ET.ParseError) as error:
            failures.append(f"{part.__name__}: {error!r}")
    for message in failures:
        print("FAIL:", message)
    print(f"{exe}: {len(pe)} bytes, {len(dlls)} imports, {len(resources)} resources, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
