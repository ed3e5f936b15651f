#!/usr/bin/env python3
# Checks Tovrel.exe on the build host: small, hardened, importing only Windows' own DLLs, and
# carrying the manifest, version block and icon the shell relies on, as the resource compiler
# reads them back. Usage: check_exe.py OBJDUMP WINDRES EXE; prints each failure, exits 1 if any.
import os, re, subprocess, sys

objdump, windres, exe = sys.argv[1:4]
headers = subprocess.run([objdump, "-p", exe], check=True, capture_output=True, text=True).stdout
resources = subprocess.run([windres, "-i", exe, "-O", "rc"], check=True, capture_output=True, text=True).stdout
resources = re.sub(r"\\x([0-9a-f]{4})", lambda m: chr(int(m[1], 16)), resources)  # wide characters
dlls = {name.lower() for name in re.findall(r"DLL Name: (\S+)", headers)}
flags = int(re.search(r"DllCharacteristics\s+([0-9a-f]+)", headers)[1], 16)
checks = {
    f"imports {sorted(dlls)}": dlls <= {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "advapi32.dll",
                                        "comdlg32.dll", "comctl32.dll", "ole32.dll", "imm32.dll", "msvcrt.dll"},
    f"DllCharacteristics {flags:#x} lack high-entropy ASLR or DEP": flags & 0x160 == 0x160,
    f"{os.path.getsize(exe)} bytes, over 150 KiB": os.path.getsize(exe) <= 150 * 1024,
}
expected = ["108 14 /* RT_GROUP_ICON */", "/* Has 1 elements.  */", r'"\040\040\000\000", 1, 32,',
    " FILEVERSION 1, 0, 0, 1\n PRODUCTVERSION 1, 0, 0, 1", 'BLOCK "080404b0"',
    'VALUE "FileDescription", L"Tovrel 应用程序"', 'VALUE "ProductName", L"Tovrel 应用程序"',
    'VALUE "FileVersion", "1, 0, 0, 1"', 'VALUE "ProductVersion", "1, 0, 0, 1"',
    'VALUE "InternalName", "Tovrel"', 'VALUE "LegalCopyright", L"', 'VALUE "Translation", 0x804, 1200',
    'level=""asInvoker"" uiAccess=""false""', '>true/PM</dpiAware>', '>PerMonitorV2, PerMonitor</',
    'name=""Microsoft.Windows.Common-Controls"" version=""6.0.0.0""',
    'publicKeyToken=""6595b64144ccf1df""', 'CONTROL L"Tovrel，1.0 版", -1, "STATIC", 0x50020080,',
    'CONTROL L"作者链接：", 1002, "STATIC", 0x50020000,', 'CONTROL L"确定", 1, "BUTTON", 0x50030001,']
checks.update({f"no resource text:\n{text}": text in resources for text in expected})
failures = [what for what, ok in checks.items() if not ok]
print("\n".join(f"FAILED: {what}" for what in failures) or f"{exe}: as it should be")
sys.exit(1 if failures else 0)
