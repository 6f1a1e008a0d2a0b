"""GET /f/<name>: committed and generated files, test installers, images and benchmark blobs."""
import io
import json
import os
import re
import zipfile

from conftest import FAKE_INSTALLER, REFSERVER
from test_configs import cleaned, sample_files


def test_committed_sample(server):
    status, headers, body = server.get("/f/hello.txt")
    assert status == 200 and headers["content-type"] == "text/plain" and body.startswith(b"Hello")
    assert server.get("/f/empty.png")[2] == b""


def test_images_are_png_of_banner_size(server):
    status, headers, body = server.get("/f/offer-alpha.png")
    assert status == 200 and headers["content-type"] == "image/png"
    assert body.startswith(b"\x89PNG\r\n\x1a\n")
    assert int.from_bytes(body[16:20], "big"), int.from_bytes(body[20:24], "big") == (624, 320)


def test_installers_under_several_names(server):
    for name in ("welvane-tester-setup.exe", "offer-alpha-setup.exe", "offers/offer-beta-setup.exe"):
        status, _, body = server.get("/f/" + name)
        assert (status, body) == (200, FAKE_INSTALLER), name
    status, _, body = server.get("/f/offer-gamma-setup.zip")
    assert body[:4] == b"PK\x03\x04"
    with zipfile.ZipFile(io.BytesIO(body)) as archive:
        assert archive.read("gamma-installer.exe") == FAKE_INSTALLER


def test_blob_made_on_demand_is_deterministic(server):
    status, headers, body = server.get("/f/blob-2k.bin")
    assert status == 200 and len(body) == 2048 and headers["content-length"] == "2048"
    assert server.get("/f/blob-2k.bin")[2] == body
    assert os.path.exists(os.path.join(server.state, "files", "blob-2k.bin"))


def test_missing_and_unsafe_names_are_404(server):
    for name in ("nothing.exe", "../server.json", "..%2Fserver.json", ".hidden", "offers//x", "blob-x.bin"):
        assert server.get("/f/" + name)[0] == 404, name


def test_every_file_the_samples_name_is_served(server):
    for path in sample_files():
        with open(path, "rb") as f:
            config = cleaned(f.read())
        urls = [config.get("i", {}).get(k) for k in ("cu", "cl")]
        for offer in config.get("o", []):
            urls.append("https://localhost/f/" + offer["ps"]["i"])
            u = offer["ps"]["u"]
            urls.append(u if u.startswith("https://") else "https://localhost/f/" + u)
        for url in filter(None, urls):
            name = re.sub(r"^https://[^/]+/f/", "", url)
            assert server.get("/f/" + name)[0] == 200, (path, url)


def test_ranges_resume_the_same_file_only(server):
    status, headers, whole = server.get("/f/blob-3000.bin")
    assert status == 200 and headers["accept-ranges"] == "bytes"
    etag, modified = headers["etag"], headers["last-modified"]
    for validator in (etag, modified, None):
        extra = {"Range": "bytes=1000-"} | ({"If-Range": validator} if validator else {})
        status, headers, part = server.get("/f/blob-3000.bin", headers=extra)
        assert (status, headers["content-range"], part) == (206, "bytes 1000-2999/3000", whole[1000:]), validator
    # Another file's validator, a range past the end, or ranges switched off: the whole file.
    for path, extra in (("/f/blob-3000.bin", {"Range": "bytes=1000-", "If-Range": '"other"'}),
                        ("/f/blob-3000.bin", {"Range": "bytes=3000-"}),
                        ("/t/noranges/ranges=off/f/blob-3000.bin", {"Range": "bytes=1000-"})):
        status, headers, body = server.get(path, headers=extra)
        assert (status, body) == (200, whole), (path, extra)
    assert "accept-ranges" not in headers
