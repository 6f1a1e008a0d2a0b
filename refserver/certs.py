#!/usr/bin/python3
"""Makes the reference server's test CA and its TLS certificate with the openssl command.

    python3 refserver/certs.py CERT_DIR

Writes, when missing: ca.key, ca.pem, ca.der (the CA, DER for the Wine Root store), server.key and
server.pem (signed by the CA; names localhost and 127.0.0.1 as DNS names and 127.0.0.1 as an IP address,
because Wine checks a numeric host against the DNS names only). Existing files are kept, so the CA a Wine
prefix trusts stays valid across restarts. Delete the folder to start over.
"""
import os
import subprocess
import sys
import tempfile

SERVER_NAMES = "DNS:localhost,DNS:127.0.0.1,IP:127.0.0.1,DNS:ip6-localhost,IP:::1"


def _openssl(*args):
    subprocess.run(["openssl", *args], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def _make_ca(d):
    _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "3650",
             "-keyout", f"{d}/ca.key", "-out", f"{d}/ca.pem",
             "-subj", "/O=Welvane test/CN=Welvane refserver test CA",
             "-addext", "basicConstraints=critical,CA:TRUE",
             "-addext", "keyUsage=critical,keyCertSign,cRLSign",
             "-addext", "subjectKeyIdentifier=hash")


def _make_server(d):
    with tempfile.TemporaryDirectory() as tmp:
        ext = os.path.join(tmp, "server.ext")
        with open(ext, "w") as f:
            f.write("basicConstraints=critical,CA:FALSE\n"
                    "keyUsage=critical,digitalSignature,keyEncipherment\n"
                    "extendedKeyUsage=serverAuth\n"
                    f"subjectAltName={SERVER_NAMES}\n"
                    "authorityKeyIdentifier=keyid\n")
        csr = os.path.join(tmp, "server.csr")
        _openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-sha256",
                 "-keyout", f"{d}/server.key", "-out", csr, "-subj", "/O=Welvane test/CN=localhost")
        _openssl("x509", "-req", "-in", csr, "-CA", f"{d}/ca.pem", "-CAkey", f"{d}/ca.key",
                 "-CAcreateserial", "-CAserial", os.path.join(tmp, "ca.srl"),
                 "-days", "825", "-sha256", "-extfile", ext, "-out", f"{d}/server.pem")


def ensure(cert_dir):
    """Creates whatever is missing in cert_dir; returns the folder."""
    os.makedirs(cert_dir, exist_ok=True)
    have = lambda name: os.path.exists(os.path.join(cert_dir, name))
    if not (have("ca.key") and have("ca.pem")):
        _make_ca(cert_dir)
        for name in ("server.key", "server.pem", "ca.der"):
            if have(name):
                os.remove(os.path.join(cert_dir, name))
    if not have("ca.der"):
        _openssl("x509", "-in", f"{cert_dir}/ca.pem", "-outform", "DER", "-out", f"{cert_dir}/ca.der")
    if not (have("server.key") and have("server.pem")):
        _make_server(cert_dir)
    return cert_dir


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    ensure(sys.argv[1])
