"""Makes a delay-load import library for one system DLL from MinGW's ordinary import library.

  make_delay_lib.py NM DLLTOOL ARCH IMPORT_LIB DLL_NAME OUTPUT

Every function the import library names goes into a module-definition file beside OUTPUT; dlltool
turns it into a library whose calls load the DLL on first use (through the loader's search, which
the wizard restricts to the system folder before anything else runs).
"""
import re
import subprocess
import sys

nm, dlltool, arch, import_lib, dll, output = sys.argv[1:7]
symbols = subprocess.run([nm, import_lib], capture_output=True, text=True, check=True).stdout
names = sorted({m.group(1) for m in re.finditer(r" I __imp_(\S+)", symbols)})
if arch == "i686":  # 32-bit C names carry a leading underscore (and @N, which -k drops from the import)
    names = [n[1:] for n in names if n.startswith("_")]
if not names:
    sys.exit(f"no functions found in {import_lib}")
definition = output + ".def"
with open(definition, "w") as f:
    f.write(f"LIBRARY {dll}\nEXPORTS\n" + "".join(f"  {n}\n" for n in names))
machine = "i386" if arch == "i686" else "i386:x86-64"
subprocess.run([dlltool, "-m", machine, "-d", definition, "-D", dll, "-k", "-y", output], check=True)
