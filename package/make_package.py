#!/usr/bin/env python3
"""Writes talvex.msix, the sparse package that declares korvane.dll's command
classes for Windows 11's first right-click menu, and signs it.

The package holds only the manifest, its logos, the block map and the content
types; korvane.dll and talvex.exe stay in the install folder. The signature
comes from osslsigncode, with the certificate and key named by TALVEX_SIGN_CERT
and TALVEX_SIGN_KEY (PEM), or else with a self-signed code-signing certificate
made for this one signing in a private temporary folder, its key deleted right
after. The manifest's Publisher is that certificate's subject as Windows
spells it; the public certificate is written beside the package as talvex.cer
(DER) and the Publisher as publisher.txt (UTF-8, no newline), for the
installer. The class ids, the package's name and the shell classes come from
the names header.

    make_package.py --version 1.0.0 --template AppxManifest.xml.in
                    --names talvex_names.h --out DIR
"""

import argparse
import base64
import contextlib
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
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

# Windows' short names of subject attributes, by OID. Any other attribute is
# written OID.<dotted OID>.
SHORT_NAMES = {
    "2.5.4.3": "CN", "2.5.4.7": "L", "2.5.4.10": "O", "2.5.4.11": "OU",
    "1.2.840.113549.1.9.1": "E", "2.5.4.6": "C", "2.5.4.8": "S", "2.5.4.9": "STREET",
    "2.5.4.12": "T", "2.5.4.42": "G", "2.5.4.43": "I", "2.5.4.4": "SN",
    "0.9.2342.19200300.100.1.25": "DC", "2.5.4.5": "SERIALNUMBER",
}
# The DER string types a subject's values come in, and their encodings.
STRING_TYPES = {0x0C: "utf-8",       # UTF8String
                0x12: "ascii",       # NumericString
                0x13: "ascii",       # PrintableString
                0x14: "latin-1",     # TeletexString, read as Latin-1
                0x16: "ascii",       # IA5String
                0x1A: "ascii",       # VisibleString
                0x1C: "utf-32-be",   # UniversalString
                0x1E: "utf-16-be"}   # BMPString
# A value holding one of these, or starting or ending with a space, is
# quoted.
NEEDS_QUOTES = set(',+="<>#;\r\n')

BLOCK_SIZE = 64 * 1024
# A fixed time for every entry, so that the same inputs give the same bytes.
ENTRY_TIME = (2020, 1, 1, 0, 0, 0)

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


def run(command, binary=False):
    result = subprocess.run(command, capture_output=True)
    if result.returncode != 0:
        fail("%s failed (exit %d):\n%s%s" % (
            command[0], result.returncode, result.stdout.decode(errors="replace"),
            result.stderr.decode(errors="replace")))
    return result.stdout if binary else result.stdout.decode()


def der_elements(data):
    """The (tag, contents) of each DER element in `data`, one after another."""
    elements, at = [], 0
    while at < len(data):
        if at + 2 > len(data):
            fail("the certificate is not DER: an element is cut short")
        tag, length = data[at], data[at + 1]
        at += 2
        if length & 0x80:
            count = length & 0x7F
            length = int.from_bytes(data[at:at + count], "big")
            at += count
        if at + length > len(data):
            fail("the certificate is not DER: an element runs past its end")
        elements.append((tag, data[at:at + length]))
        at += length
    return elements


def oid_text(data):
    """A DER object identifier in dotted form."""
    arcs, value = [], 0
    for byte in data:
        value = value << 7 | byte & 0x7F
        if not byte & 0x80:
            arcs.append(value)
            value = 0
    first = min(arcs[0] // 40, 2)
    return ".".join(str(arc) for arc in [first, arcs[0] - 40 * first] + arcs[1:])


def subject_parts(certificate):
    """The certificate's subject in its own order: one list of (OID, value)
    per relative name. Read from the DER itself rather than from openssl's
    text, whose escapes and quoting are its own."""
    der = run(["openssl", "x509", "-in", certificate, "-outform", "DER"], binary=True)
    tbs = der_elements(der_elements(der_elements(der)[0][1])[0][1])
    if tbs and tbs[0][0] == 0xA0:  # [0] version
        tbs = tbs[1:]
    # serialNumber, signature, issuer, validity, subject
    parts = []
    for _, relative_name in der_elements(tbs[4][1]):
        attributes = []
        for _, attribute in der_elements(relative_name):
            (_, oid), (kind, value) = der_elements(attribute)
            if kind not in STRING_TYPES:
                fail("the certificate's subject has a value that is not a string (DER type "
                     "0x%02X under %s)" % (kind, oid_text(oid)))
            try:
                attributes.append((oid_text(oid), value.decode(STRING_TYPES[kind])))
            except UnicodeDecodeError:
                fail("the certificate's subject has a value that is not valid %s under %s"
                     % (STRING_TYPES[kind], oid_text(oid)))
        parts.append(attributes)
    return parts


def windows_value(value):
    """A value as Windows writes it in a subject: in double quotes, inner
    quotes doubled, when it holds a character that would end or split it,
    starts or ends with a space, or is empty."""
    if (not value or value[0] == " " or value[-1] == " "
            or any(c in NEEDS_QUOTES for c in value)):
        return '"%s"' % value.replace('"', '""')
    return value


def windows_subject(parts):
    """The subject as Windows spells it: most specific part first, ", "
    between parts, " + " between the attributes of a multi-valued part,
    short names where Windows has them and OID.<dotted> otherwise. Example:
    SERIALNUMBER=1234567, E=builds@contoso.example, CN=Contoso Software,
    O="Contoso, Inc.", S=Washington, C=US"""
    return ", ".join(
        " + ".join("%s=%s" % (SHORT_NAMES.get(oid, "OID." + oid), windows_value(value))
                   for oid, value in attributes)
        for attributes in reversed(parts))


def publisher_of(certificate):
    """The manifest's Publisher for a certificate, or a failure naming why
    its subject cannot be one."""
    parts = subject_parts(certificate)
    publisher = windows_subject(parts)
    # The manifest schema's Publisher has ", " as its only separator and no
    # line break even in quotes: Windows would refuse such a package.
    if not parts:
        fail("the signing certificate has an empty subject, and a package needs a Publisher")
    if any(len(attributes) > 1 for attributes in parts):
        fail("the signing certificate's subject has a multi-valued part, which a package's "
             "Publisher cannot hold: " + publisher)
    if any(c in value for attributes in parts for _, value in attributes for c in "\r\n"):
        fail("the signing certificate's subject has a line break, which a package's "
             "Publisher cannot hold: " + publisher)
    return publisher


def builder_pair():
    """(certificate, key) named by the builder, or None."""
    certificate = os.environ.get("TALVEX_SIGN_CERT")
    key = os.environ.get("TALVEX_SIGN_KEY")
    if not (certificate or key):
        return None
    if not (certificate and key):
        fail("TALVEX_SIGN_CERT and TALVEX_SIGN_KEY name the certificate and its key: "
             "set both, or neither for a self-signed certificate")
    for path in (certificate, key):
        if not os.path.isfile(path):
            fail("no such file: " + path)
    return certificate, key


@contextlib.contextmanager
def signing_pair():
    """(certificate, key) in PEM: the builder's, or a self-signed pair that
    lives only while the package is signed. Its key is made in a folder only
    this user can read and deleted with it on the way out, failure or not,
    so that no later build and no other user finds it; a builder who wants
    one certificate across builds names their own."""
    pair = builder_pair()
    if pair:
        yield pair
        return
    folder = tempfile.mkdtemp(prefix="talvex-sign-")  # mode 0700
    try:
        config = os.path.join(folder, "self-signed.cnf")
        with open(config, "w") as f:
            f.write(CERT_CONFIG)
        certificate = os.path.join(folder, "self-signed.pem")
        key = os.path.join(folder, "self-signed.key")
        run(["openssl", "req", "-x509", "-config", config, "-newkey", "rsa:2048", "-sha256",
             "-days", "3650", "-nodes", "-keyout", key, "-out", certificate])
        yield certificate, key
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def forget_kept_key(work):
    """Deletes the self-signed pair that earlier versions of this script
    kept in the build tree."""
    for name in ("self-signed.key", "self-signed.pem", "self-signed.cnf"):
        path = os.path.join(work, name)
        if os.path.exists(path):
            os.remove(path)


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


def write_package(out, work, manifest, certificate, key):
    payload = [("AppxManifest.xml", manifest),
               ("Assets/StoreLogo.png", png(50)),
               ("Assets/Square150x150Logo.png", png(150)),
               ("Assets/Square44x44Logo.png", png(44))]
    unsigned = os.path.join(work, "talvex-unsigned.msix")
    write_unsigned(unsigned, payload)
    package = os.path.join(out, "talvex.msix")
    if os.path.exists(package):
        os.remove(package)  # osslsigncode will not write over a file
    # The digest is the block map's (SHA-256), which osslsigncode takes itself.
    run(["osslsigncode", "sign", "-certs", certificate, "-key", key,
         "-in", unsigned, "-out", package])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--note-signer", metavar="STAMP",
                        help="only note which certificate signs, in STAMP")
    parser.add_argument("--version", help="the project's version")
    parser.add_argument("--template", help="AppxManifest.xml.in")
    parser.add_argument("--names", help="talvex_names.h, the names the project shares")
    parser.add_argument("--out", help="folder for talvex.msix, talvex.cer and publisher.txt")
    args = parser.parse_args()
    if args.note_signer:
        note_signer(args.note_signer)
        return
    if not (args.version and args.template and args.names and args.out):
        parser.error("--version, --template, --names and --out are needed")

    work = os.path.join(args.out, "work")
    os.makedirs(work, exist_ok=True)
    forget_kept_key(work)
    values = placeholder_values(args.names)
    values["@VERSION@"] = four_part_version(args.version)
    with signing_pair() as (certificate, key):
        values["@PUBLISHER@"] = publisher_of(certificate)
        manifest = manifest_text(args.template, values)
        with open(os.path.join(work, "AppxManifest.xml"), "wb") as f:
            f.write(manifest)
        write_package(args.out, work, manifest, certificate, key)
        run(["openssl", "x509", "-in", certificate, "-outform", "DER",
             "-out", os.path.join(args.out, "talvex.cer")])
    with open(os.path.join(args.out, "publisher.txt"), "wb") as f:
        f.write(values["@PUBLISHER@"].encode("utf-8"))


if __name__ == "__main__":
    main()
