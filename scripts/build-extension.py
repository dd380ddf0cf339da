#!/usr/bin/env python3
"""Writes the browser extension from extension/ into <out>:
  <out>/chromium/   unpacked, with the manifest key (the public half of the
                    package's signing key) that fixes its id
  <out>/chromium-id.txt   that id
  <out>/firefox/    unpacked, background scripts and the gecko id
  <out>/corvala-print-<version>-chromium.zip and
  <out>/corvala-print-<version>-firefox.xpi   for publishing
Usage: build-extension.py <extension sources> <out> <RSA private key, PEM>"""
import base64
import hashlib
import json
import os
import shutil
import struct
import subprocess
import sys
import zipfile
import zlib

GECKO_ID = "print@corvala.com"
SOURCES = ("background", "content")


def public_key_der(private_key_pem):
    """The DER SubjectPublicKeyInfo of an RSA private key (CRX3 signs with RSA only)."""
    result = subprocess.run(["openssl", "rsa", "-in", private_key_pem, "-pubout", "-outform", "DER"],
                            capture_output=True)
    if result.returncode != 0 or not result.stdout:
        sys.exit("build-extension.py: %s is not an RSA private key in PEM form" % private_key_pem)
    return result.stdout


def extension_id(der):
    """Chromium's id: the first 128 bits of the key's SHA-256, hex digits 0-f written a-p."""
    return "".join(chr(ord("a") + int(digit, 16)) for digit in hashlib.sha256(der).hexdigest()[:32])


def chromium_manifest(base, der):
    return dict(base, key=base64.b64encode(der).decode("ascii"))


def firefox_manifest(base):
    manifest = dict(base)
    # No service workers in Firefox.
    manifest["background"] = {"scripts": [base["background"]["service_worker"]], "type": "module"}
    manifest["browser_specific_settings"] = {"gecko": {"id": GECKO_ID, "strict_min_version": "115.0"}}
    return manifest


def png(size):
    """The icon: a dark blue square with a white sheet, as PNG bytes."""
    rows = b""
    for y in range(size):
        row = bytearray(b"\0")
        for x in range(size):
            sheet = size // 4 <= x < size - size // 4 and size // 6 <= y < size - size // 6
            row += bytes((255, 255, 255, 255) if sheet else (24, 52, 110, 255))
        rows += bytes(row)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b"")


def write_tree(src, dest, manifest):
    shutil.rmtree(dest, ignore_errors=True)
    for folder in SOURCES:
        shutil.copytree(os.path.join(src, folder), os.path.join(dest, folder))
    os.makedirs(os.path.join(dest, "icons"))
    for size in (16, 48, 128):
        with open(os.path.join(dest, "icons", "icon-%d.png" % size), "wb") as f:
            f.write(png(size))
    with open(os.path.join(dest, "manifest.json"), "w") as f:
        json.dump(manifest, f, indent=2)


def write_archive(tree, path):
    """A zip with fixed dates and order, so equal sources give equal bytes."""
    with zipfile.ZipFile(path + ".part", "w", zipfile.ZIP_DEFLATED) as archive:
        for folder, dirs, files in sorted(os.walk(tree)):
            dirs.sort()
            for name in sorted(files):
                full = os.path.join(folder, name)
                info = zipfile.ZipInfo(os.path.relpath(full, tree), (2024, 1, 1, 0, 0, 0))
                info.compress_type = zipfile.ZIP_DEFLATED
                with open(full, "rb") as f:
                    archive.writestr(info, f.read())
    os.replace(path + ".part", path)


def main(src, out, private_key_pem):
    with open(os.path.join(src, "manifest.json")) as f:
        base = json.load(f)
    os.makedirs(out, exist_ok=True)
    der = public_key_der(private_key_pem)
    with open(os.path.join(out, "chromium-id.txt"), "w") as f:
        f.write(extension_id(der) + "\n")
    version = base["version"]
    for flavour, manifest, archive in (
            ("chromium", chromium_manifest(base, der), "corvala-print-%s-chromium.zip" % version),
            ("firefox", firefox_manifest(base), "corvala-print-%s-firefox.xpi" % version)):
        write_tree(src, os.path.join(out, flavour), manifest)
        write_archive(os.path.join(out, flavour), os.path.join(out, archive))


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], sys.argv[3])
