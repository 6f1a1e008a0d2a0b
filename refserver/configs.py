"""Choosing the configuration file that answers a POST /o.

Layout:  <root>/<set>/<installer id>/<lang>.json, with fallbacks <set>/<installer id>/default.json and
<set>/default.json. Two roots are searched, the state folder's configs/ (written through the control
API) first, then the committed refserver/configs/. Files are sent byte for byte.
"""
import os
import re

NAME_RE = re.compile(r"^[A-Za-z0-9_.-]{1,64}$")
LANG_RE = re.compile(r"^[A-Za-z]{1,8}$")


def _safe(name):
    return bool(NAME_RE.match(name)) and not name.startswith(".")


def candidates(set_name, installer_id, lang):
    """Relative file names to try, best first."""
    names = []
    if _safe(installer_id):
        if LANG_RE.match(lang):
            names.append(os.path.join(set_name, installer_id, lang.lower() + ".json"))
        names.append(os.path.join(set_name, installer_id, "default.json"))
    names.append(os.path.join(set_name, "default.json"))
    return names


class ConfigStore:
    def __init__(self, committed_root, runtime_root):
        self.roots = [runtime_root, committed_root]

    def select(self, set_name, installer_id, lang):
        """Returns (relative path, bytes) of the chosen file, or None when the set has none."""
        if not _safe(set_name):
            return None
        for name in candidates(set_name, installer_id, lang):
            for root in self.roots:
                path = os.path.join(root, name)
                if os.path.isfile(path):
                    with open(path, "rb") as f:
                        return name, f.read()
        return None

    def put(self, set_name, installer_id, lang, data):
        """Stores a configuration in the runtime root; lang "default" makes the installer's fallback."""
        for part in (set_name, installer_id, lang):
            if not _safe(part):
                raise ValueError(f"bad name {part!r}")
        folder = os.path.join(self.roots[0], set_name, installer_id)
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, lang + ".json")
        with open(path + ".tmp", "wb") as f:
            f.write(data)
        os.replace(path + ".tmp", path)
        return os.path.relpath(path, self.roots[0])

    def sets(self):
        found = set()
        for root in self.roots:
            if os.path.isdir(root):
                found.update(d for d in os.listdir(root) if os.path.isdir(os.path.join(root, d)))
        return sorted(found)
