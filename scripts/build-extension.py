#!/usr/bin/env python3
"""Writes the browser extension from extension/ into <out>:
  <out>/chromium/   unpacked, with the manifest key that fixes its id
  <out>/firefox/    unpacked, background scripts and the gecko id
  <out>/corvala-print-<version>-chromium.zip and
  <out>/corvala-print-<version>-firefox.xpi   for publishing
Usage: build-extension.py <extension sources> <out>"""
import json
import os
import shutil
import struct
import sys
import zipfile
import zlib

CHROMIUM_KEY = (
    "MIIBIjANBgkqhkiG9w0BAQEFAAOCAQ8AMIIBCgKCAQEAvA2TA8JO9E8fqp1jnKBaulkyPulftJZSiUWNZhxIf65JoK3d4qQNz4tW"
    "dB3n1vfbmehaiQkI2ZMKaCWEU4NSgnFhGNmijs/5m5iO4VRPYj3nYrfhzs2bMuqUseNgF9rCFn63LzYeaNLOBtc4GDiO3xl4Yx53"
    "Me6bETw6xmfFw0tbalMjZVVGMau964rVAxSmwtYpBCOWWBROvCbJW1wF0imxsJ2QKDML5p2rq4/y+57oLAjzkBCK7sj7gqI09WPq"
    "XOVmKK5D9hXwtp0hSpv/hZkAl94ZqU5mN4nqf+TXMHqbp4cg89rVqUI+LvOpM2LDz+OtO2ML85kY2xP3xr9MuwIDAQAB")
GECKO_ID = "print@corvala.com"
SOURCES = ("background", "content")


def chromium_manifest(base):
    return dict(base, key=CHROMIUM_KEY)


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


def main(src, out):
    with open(os.path.join(src, "manifest.json")) as f:
        base = json.load(f)
    os.makedirs(out, exist_ok=True)
    version = base["version"]
    for flavour, manifest, archive in (
            ("chromium", chromium_manifest(base), "corvala-print-%s-chromium.zip" % version),
            ("firefox", firefox_manifest(base), "corvala-print-%s-firefox.xpi" % version)):
        write_tree(src, os.path.join(out, flavour), manifest)
        write_archive(os.path.join(out, flavour), os.path.join(out, archive))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
