"""The files endpoint /f/<name>: lookup in two folders and benchmark files made on demand.

Folders, first match wins: <state>/files/ (generated samples, test installers, blobs) and the committed
refserver/files/. A name may have sub-folders ("offers/x.exe"); every segment must be a plain name.
A missing name of the form blob-<N>[k|m].bin is generated once (deterministic bytes, N bytes,
KiB or MiB) into <state>/files/ and then served like any file.
"""
import mimetypes
import os
import random
import re
import threading
import urllib.parse

SEGMENT_RE = re.compile(r"^[A-Za-z0-9_][A-Za-z0-9_.-]*$")
BLOB_RE = re.compile(r"^blob-(\d+)([km]?)\.bin$")
MAX_BLOB = 2 * 1024 ** 3
TYPES = {".png": "image/png", ".exe": "application/octet-stream", ".zip": "application/zip",
         ".json": "application/json", ".txt": "text/plain"}


def content_type(name):
    ext = os.path.splitext(name)[1].lower()
    return TYPES.get(ext) or mimetypes.guess_type(name)[0] or "application/octet-stream"


class Files:
    def __init__(self, generated_root, committed_root):
        self.generated = generated_root
        self.roots = [generated_root, committed_root]
        self._lock = threading.Lock()

    @staticmethod
    def clean_name(raw):
        """The relative path for a raw URL name, or None when it is not acceptable."""
        segments = urllib.parse.unquote(raw).split("/")
        if not segments or not all(SEGMENT_RE.match(s) for s in segments):
            return None
        return os.path.join(*segments)

    def find(self, raw):
        """Full path of the file a URL name refers to, or None."""
        name = self.clean_name(raw)
        if name is None:
            return None
        for root in self.roots:
            path = os.path.join(root, name)
            if os.path.isfile(path):
                return path
        match = BLOB_RE.match(name)
        if match:
            size = int(match.group(1)) * {"": 1, "k": 1024, "m": 1024 ** 2}[match.group(2)]
            if size <= MAX_BLOB:
                return self._make_blob(name, size)
        return None

    def _make_blob(self, name, size):
        path = os.path.join(self.generated, name)
        with self._lock:
            if not os.path.isfile(path):
                os.makedirs(self.generated, exist_ok=True)
                pattern = random.Random(size).randbytes(1024 * 1024)
                with open(path + ".tmp", "wb") as f:
                    left = size
                    while left > 0:
                        f.write(pattern[:left])
                        left -= min(left, len(pattern))
                os.replace(path + ".tmp", path)
        return path
