#!/usr/bin/env python3
"""Writes talvex.msix, the sparse package that declares korvane.dll's command
classes for Windows 11's first right-click menu, and signs it.

The package holds only the manifest, its logos, the block map and the content
types; korvane.dll and talvex.exe stay in the install folder. The signature
comes from osslsigncode, with the certificate and key named by TALVEX_SIGN_CERT
and TALVEX_SIGN_KEY (PEM), or else with a self-signed code-signing certificate
made here once per build tree. The manifest's Publisher is that certificate's
subject, and its public part is written beside the package as talvex.cer (DER).
The class ids, the package's name and the shell classes come from the names
header.

    make_package.py --version 1.0.0 --template AppxManifest.xml.in
                    --names talvex_names.h --out DIR
"""

import argparse
import base64
import hashlib
import os
import re
import struct
import subprocess
import sys
import zipfile
import zlib
from xml.sax.saxutils import escape

# The template's placeholders that the names header fills, and whether the
# value is a class id (written without its braces).
HEADER_PLACEHOLDERS = (("@PACKAGE_NAME@", "TALVEX_PACKAGE_NAME", False),
                       ("@FILE_CLASS@", "TALVEX_FILE_CLASS", False),
                       ("@FOLDER_CLASS@", "TALVEX_FOLDER_CLASS", False),
                       ("@BACKGROUND_CLASS@", "TALVEX_BACKGROUND_CLASS", False),
                       ("@SELECTION_CLSID@", "TALVEX_SELECTION_COMMAND_CLSID", True),
                       ("@BACKGROUND_CLSID@", "TALVEX_BACKGROUND_COMMAND_CLSID", True))
DEFINE = re.compile(r'\s*#\s*define\s+(\w+)\s+"((?:[^"\\]|\\.)*)"\s*$')
GUID = re.compile(r"[0-9A-Fa-f]{8}(-[0-9A-Fa-f]{4}){3}-[0-9A-Fa-f]{12}")

DEFAULT_SUBJECT = "CN=Talvex Context Menus"

BLOCK_SIZE = 64 * 1024
# A fixed time for every entry, so that the same inputs give the same bytes.
ENTRY_TIME = (2020, 1, 1, 0, 0, 0)
# As Windows writes a subject: the most specific part first, ", " between
# parts, RFC 2253 escapes.
SUBJECT_FORMAT = ("esc_2253,esc_ctrl,utf8,dump_nostr,dump_unknown,dump_der,"
                  "sep_comma_plus_space,dn_rev,sname")

CERT_CONFIG = """\
[req]
distinguished_name = subject
x509_extensions = signing
prompt = no
[subject]
CN = Talvex Context Menus
[signing]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
"""


def fail(message):
    sys.exit("make_package: " + message)


def run(command, **options):
    result = subprocess.run(command, capture_output=True, text=True, **options)
    if result.returncode != 0:
        fail("%s failed (exit %d):\n%s%s" % (command[0], result.returncode,
                                             result.stdout, result.stderr))
    return result.stdout


def subject_of(certificate, form="PEM"):
    """The certificate's subject as the manifest's Publisher must spell it."""
    text = run(["openssl", "x509", "-noout", "-inform", form, "-in", certificate,
                "-subject", "-nameopt", SUBJECT_FORMAT]).strip()
    return text[len("subject="):].strip() if text.startswith("subject=") else text


def signing_pair(work):
    """(certificate, key) in PEM: the builder's, or a self-signed one."""
    certificate = os.environ.get("TALVEX_SIGN_CERT")
    key = os.environ.get("TALVEX_SIGN_KEY")
    if certificate or key:
        if not (certificate and key):
            fail("TALVEX_SIGN_CERT and TALVEX_SIGN_KEY name the certificate and its key: "
                 "set both, or neither for a self-signed certificate")
        for path in (certificate, key):
            if not os.path.isfile(path):
                fail("no such file: " + path)
        return certificate, key
    certificate = os.path.join(work, "self-signed.pem")
    key = os.path.join(work, "self-signed.key")
    # Kept across builds: a new certificate at every build would have to be
    # trusted again on every test machine.
    if os.path.isfile(certificate) and os.path.isfile(key):
        if subject_of(certificate) == DEFAULT_SUBJECT:
            return certificate, key
    config = os.path.join(work, "self-signed.cnf")
    with open(config, "w") as f:
        f.write(CERT_CONFIG)
    run(["openssl", "req", "-x509", "-config", config, "-newkey", "rsa:2048", "-sha256",
         "-days", "3650", "-nodes", "-keyout", key, "-out", certificate])
    return certificate, key


def four_part_version(version):
    parts = version.split(".")
    if not 1 <= len(parts) <= 4 or not all(p.isdigit() for p in parts):
        fail("not a version: " + version)
    return ".".join((parts + ["0"] * 4)[:4])


def attribute_text(text):
    """Text for a double-quoted XML attribute."""
    return escape(text, {'"': "&quot;"})


def c_text(text):
    """A C string literal's text with its escapes undone; the header uses
    only a doubled backslash and an escaped quote."""
    def unescape(match):
        if match.group(1) not in '\\"':
            fail("the names header has an escape this script does not read: \\" +
                 match.group(1))
        return match.group(1)
    return re.sub(r"\\(.)", unescape, text)


def header_names(path):
    """The header's names, from its lines of the form #define NAME "text"."""
    names = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            match = DEFINE.match(line)
            if match:
                names[match.group(1)] = c_text(match.group(2))
    return names


def placeholder_values(names_header):
    """The template's placeholders that the names header fills."""
    names = header_names(names_header)
    values = {}
    for placeholder, name, is_clsid in HEADER_PLACEHOLDERS:
        if name not in names:
            fail("%s does not define %s" % (names_header, name))
        value = names[name]
        if is_clsid:
            value = value.strip("{}")
            if not GUID.fullmatch(value):
                fail("%s in %s is not a class id: %s" % (name, names_header, names[name]))
        values[placeholder] = value
    return values


def manifest_text(template, values):
    """The template with each @PLACEHOLDER@ replaced; a placeholder left
    over is a misspelling in the template or here, so it fails."""
    with open(template, encoding="utf-8") as f:
        text = f.read()
    for name, value in values.items():
        text = text.replace(name, attribute_text(value))
    left = sorted(set(re.findall(r"@[A-Z_]+@", text)))
    if left:
        fail("the template has placeholders nothing fills: " + ", ".join(left))
    return text.encode("utf-8")


def png(size):
    """The logo: three white menu lines on a blue tile, RGBA."""
    blue, white, clear = b"\x1f\x5f\xbf\xff", b"\xff\xff\xff\xff", b"\x00\x00\x00\x00"
    margin = size // 10
    rows = []
    for y in range(size):
        row = bytearray(b"\x00")  # filter: none
        for x in range(size):
            inside = margin <= x < size - margin and margin <= y < size - margin
            pixel = clear
            if inside:
                pixel = blue
                u = (x - margin) / (size - 2 * margin)
                v = (y - margin) / (size - 2 * margin)
                for top in (0.22, 0.45, 0.68):
                    if top <= v < top + 0.1 and 0.2 <= u < 0.8:
                        pixel = white
            row += pixel
        rows.append(bytes(row))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


def entry(name, compression=zipfile.ZIP_STORED):
    info = zipfile.ZipInfo(name, ENTRY_TIME)
    info.compress_type = compression
    return info


def local_header_size(archive, info):
    """The size of an entry's local header, read back from the file."""
    archive.fp.seek(info.header_offset)
    header = archive.fp.read(30)
    name_length, extra_length = struct.unpack("<HH", header[26:30])
    return 30 + name_length + extra_length


def block_map(files):
    """files: (name in the ZIP, data, local header size), in ZIP order."""
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<BlockMap xmlns="http://schemas.microsoft.com/appx/2010/blockmap" '
             'HashMethod="http://www.w3.org/2001/04/xmlenc#sha256">']
    for name, data, header_size in files:
        lines.append('<File Name="%s" Size="%d" LfhSize="%d">' % (
            attribute_text(name.replace("/", "\\")), len(data), header_size))
        for start in range(0, len(data), BLOCK_SIZE):
            digest = hashlib.sha256(data[start:start + BLOCK_SIZE]).digest()
            lines.append('<Block Hash="%s"/>' % base64.b64encode(digest).decode("ascii"))
        lines.append("</File>")
    lines.append("</BlockMap>")
    return ("\r\n".join(lines) + "\r\n").encode("utf-8")


def content_types(names):
    # osslsigncode adds the signature's own type when it signs.
    extensions = sorted({n.rsplit(".", 1)[1].lower() for n in names if "." in n})
    types = {"png": "image/png", "xml": "application/xml"}
    parts = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">']
    for extension in extensions:
        parts.append('<Default Extension="%s" ContentType="%s"/>' % (
            extension, types.get(extension, "application/octet-stream")))
    parts.append('<Override PartName="/AppxManifest.xml" '
                 'ContentType="application/vnd.ms-appx.manifest+xml"/>')
    parts.append('<Override PartName="/AppxBlockMap.xml" '
                 'ContentType="application/vnd.ms-appx.blockmap+xml"/>')
    parts.append("</Types>")
    return "".join(parts).encode("utf-8")


def end_as_zip64(path):
    """Ends the archive with the ZIP64 end records, as Windows' own packaging
    tool ends every package, the classic record's fields pointing at them:
    a package reader may take the central directory from the ZIP64 record
    only."""
    with open(path, "rb") as f:
        data = f.read()
    end = data.rfind(b"PK\x05\x06")
    _, _, _, _, count, size, offset, comment = struct.unpack("<IHHHHIIH", data[end:end + 22])
    if comment:
        fail("the archive has a comment")
    record = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, count, count, size, offset)
    locator = struct.pack("<IIQI", 0x07064B50, 0, end, 1)
    classic = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF,
                          0xFFFFFFFF, 0)
    with open(path, "wb") as f:
        f.write(data[:end] + record + locator + classic)


def write_unsigned(path, payload):
    with zipfile.ZipFile(path, "w") as archive:
        written = []
        for name, data in payload:
            info = entry(name)
            archive.writestr(info, data)
            written.append((name, data, info))
        files = [(name, data, local_header_size(archive, info))
                 for name, data, info in written]
        archive.fp.seek(0, os.SEEK_END)
        archive.writestr(entry("AppxBlockMap.xml"), block_map(files))
        # Deflated: osslsigncode rewrites this entry deflated and keeps the
        # method the entry had, so a stored one would come out corrupt.
        archive.writestr(entry("[Content_Types].xml", zipfile.ZIP_DEFLATED),
                         content_types([name for name, _ in payload]))
    end_as_zip64(path)


def note_signer(stamp):
    """Writes which certificate signs (the variables' files and their times)
    to `stamp`, touching it only when that changed: the package depends on
    it, so a new certificate makes a new package and the same one does not."""
    signer = ""
    for variable in ("TALVEX_SIGN_CERT", "TALVEX_SIGN_KEY"):
        path = os.environ.get(variable, "")
        when = os.path.getmtime(path) if path and os.path.exists(path) else 0
        signer += "%s=%s %s\n" % (variable, path, when)
    old = open(stamp).read() if os.path.exists(stamp) else None
    if old != signer:
        os.makedirs(os.path.dirname(os.path.abspath(stamp)), exist_ok=True)
        with open(stamp, "w") as f:
            f.write(signer)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--note-signer", metavar="STAMP",
                        help="only note which certificate signs, in STAMP")
    parser.add_argument("--version", help="the project's version")
    parser.add_argument("--template", help="AppxManifest.xml.in")
    parser.add_argument("--names", help="talvex_names.h, the names the project shares")
    parser.add_argument("--out", help="folder for talvex.msix and talvex.cer")
    args = parser.parse_args()
    if args.note_signer:
        note_signer(args.note_signer)
        return
    if not (args.version and args.template and args.names and args.out):
        parser.error("--version, --template, --names and --out are needed")

    work = os.path.join(args.out, "work")
    os.makedirs(work, exist_ok=True)
    certificate, key = signing_pair(work)
    values = placeholder_values(args.names)
    values["@VERSION@"] = four_part_version(args.version)
    values["@PUBLISHER@"] = subject_of(certificate)
    manifest = manifest_text(args.template, values)
    with open(os.path.join(work, "AppxManifest.xml"), "wb") as f:
        f.write(manifest)
    payload = [("AppxManifest.xml", manifest),
               ("Assets/StoreLogo.png", png(50)),
               ("Assets/Square150x150Logo.png", png(150)),
               ("Assets/Square44x44Logo.png", png(44))]

    unsigned = os.path.join(work, "talvex-unsigned.msix")
    write_unsigned(unsigned, payload)
    package = os.path.join(args.out, "talvex.msix")
    if os.path.exists(package):
        os.remove(package)  # osslsigncode will not write over a file
    # The digest is the block map's (SHA-256), which osslsigncode takes itself.
    run(["osslsigncode", "sign", "-certs", certificate, "-key", key,
         "-in", unsigned, "-out", package])
    run(["openssl", "x509", "-in", certificate, "-outform", "DER",
         "-out", os.path.join(args.out, "talvex.cer")])


if __name__ == "__main__":
    main()
