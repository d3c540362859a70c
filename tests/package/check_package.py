#!/usr/bin/env python3
"""Checks the built talvex.msix offline, each check a ctest test of its own:

    check_package.py CHECK --package talvex.msix --cert talvex.cer --schemas DIR
                           --version 1.0.0

files      the ZIP's entries, in order, whole (CRCs), their content types, and
           the ZIP64 end records
schemas    the manifest and block map against Microsoft's schemas (xmllint)
blocks     every block hash recomputed from the entries' data
signature  osslsigncode verify, with the certificate as the only trust anchor
manifest   the manifest's publisher (the self-signed certificate's subject)
           and publisher.txt beside it, its version (the project's), its verb
           ids, and its package name, item types and class ids (the names
           header's)
own-cert   packages signed with builders' certificates (the environment
           variables) of many subjects, each named as Windows spells it
self-signed  a package built without a builder's certificate leaves no
           private key behind, also when signing fails
"""

import argparse
import base64
import hashlib
import os
import re
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
MAKE_PACKAGE = os.path.join(SOURCE, "package", "make_package.py")
TEMPLATE = os.path.join(SOURCE, "package", "AppxManifest.xml.in")
NAMES_HEADER = os.path.join(SOURCE, "shellext", "talvex_names.h")
SELF_SIGNED_PUBLISHER = "CN=Talvex Context Menus"

FOUNDATION = "http://schemas.microsoft.com/appx/manifest/foundation/windows10"
NS = {"m": FOUNDATION,
      "uap": "http://schemas.microsoft.com/appx/manifest/uap/windows10",
      "uap10": "http://schemas.microsoft.com/appx/manifest/uap/windows10/10",
      "rescap": "http://schemas.microsoft.com/appx/manifest/foundation/windows10/restrictedcapabilities",
      "desktop4": "http://schemas.microsoft.com/appx/manifest/desktop/windows10/4",
      "desktop5": "http://schemas.microsoft.com/appx/manifest/desktop/windows10/5",
      "com": "http://schemas.microsoft.com/appx/manifest/com/windows10",
      "b": "http://schemas.microsoft.com/appx/2010/blockmap",
      "ct": "http://schemas.openxmlformats.org/package/2006/content-types"}

PAYLOAD = ["AppxManifest.xml", "Assets/StoreLogo.png", "Assets/Square150x150Logo.png",
           "Assets/Square44x44Logo.png"]
FOOTPRINT = ["AppxBlockMap.xml", "[Content_Types].xml", "AppxSignature.p7x"]

# Builders' certificates: the subject given to openssl req -subj, and the
# Publisher Windows spells for it (None: make_package.py must refuse it).
# OpenSSL writes the parts in the order given; Windows reads them backwards.
OWN_CERT_ROWS = [
    ("OpenSSL's long and odd names for Windows' short ones, a comma in a value",
     "/C=US/ST=Washington/L=Redmond/O=Contoso, Inc./OU=Tools/CN=Contoso Software"
     "/emailAddress=builds@contoso.example/serialNumber=1234567",
     'SERIALNUMBER=1234567, E=builds@contoso.example, CN=Contoso Software, OU=Tools, '
     'O="Contoso, Inc.", L=Redmond, S=Washington, C=US'),
    ("the other short names, and an attribute Windows has no name for",
     "/DC=com/DC=example/street=1 Main St/title=Builder/GN=Ana/initials=AS/SN=Silva"
     "/unnamedAttribute=odd/CN=Ana Silva",
     "CN=Ana Silva, OID.1.2.3.4=odd, SN=Silva, I=AS, G=Ana, T=Builder, STREET=1 Main St, "
     "DC=example, DC=com"),
    ("each character that needs quotes, in a value of its own; a backslash that does not",
     '/O= Leading/O=Trailing /OU=a#b/OU=a\\+b/OU=a=b/OU=a;b/OU=a<b/OU=a>b/OU=say "hi"'
     '/OU=back\\\\slash/CN=Quoting',
     'CN=Quoting, OU=back\\slash, OU="say ""hi""", OU="a>b", OU="a<b", OU="a;b", '
     'OU="a=b", OU="a+b", OU="a#b", O="Trailing ", O=" Leading"'),
    ("an ampersand, which the manifest's XML escapes",
     "/C=DE/O=Example & Sons/CN=Example Builder", "CN=Example Builder, O=Example & Sons, C=DE"),
    ("values in UTF-8", "/C=DK/L=Århus/O=Müller & Søn/CN=Ærø 東京 Bygger",
     "CN=Ærø 東京 Bygger, O=Müller & Søn, L=Århus, C=DK"),
    ("a multi-valued part, which the schema's Publisher cannot hold",
     "/O=Split/CN=Ana+OU=Tools", None),
]
# Lets -subj name an attribute that neither OpenSSL nor Windows knows.
OPENSSL_CONFIG = """\
oid_section = extra
[extra]
unnamedAttribute = 1.2.3.4
[req]
distinguished_name = subject
[subject]
"""

failures = []


def check(condition, what, expected, actual):
    if not condition:
        failures.append("%s\n    expected: %s\n    actual:   %s" % (what, expected, actual))


def run(command):
    return subprocess.run(command, capture_output=True, text=True)


def make_package(out, environment):
    return subprocess.run([sys.executable, MAKE_PACKAGE, "--version", "1.2.3", "--template",
                           TEMPLATE, "--names", NAMES_HEADER, "--out", out],
                          env=environment, capture_output=True, text=True)


def without_builder_certificate(**extra):
    environment = {k: v for k, v in os.environ.items()
                   if k not in ("TALVEX_SIGN_CERT", "TALVEX_SIGN_KEY")}
    environment.update(extra)
    return environment


def publisher_in(package):
    with zipfile.ZipFile(package) as archive:
        return ET.fromstring(archive.read("AppxManifest.xml")).find("m:Identity", NS).get(
            "Publisher")


def text_of(path):
    with open(path, "rb") as f:
        return f.read().decode("utf-8")


def files_with_private_keys(folder):
    found = []
    for top, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(top, name)
            with open(path, "rb") as f:
                if b"PRIVATE KEY" in f.read():
                    found.append(path)
    return found


def header_names():
    """The names header's #define NAME "text" lines, read here on their own."""
    with open(NAMES_HEADER, encoding="utf-8") as f:
        found = re.findall(r'^#define (TALVEX_\w+) "(.*)"$', f.read(), re.MULTILINE)
    return {name: text.replace("\\\\", "\\") for name, text in found}


def pem_of(cert, work):
    pem = os.path.join(work, "anchor.pem")
    result = run(["openssl", "x509", "-inform", "DER", "-in", cert, "-out", pem])
    check(result.returncode == 0, "openssl reads talvex.cer as DER", "exit 0",
          "exit %d: %s" % (result.returncode, result.stderr.strip()))
    return pem


def check_files(archive, args, work):
    names = [i.filename for i in archive.infolist()]
    check(names == PAYLOAD + FOOTPRINT, "the package's entries, in order",
          PAYLOAD + FOOTPRINT, names)
    with open(args.package, "rb") as raw:
        tail = raw.read()[-98:]
    check(tail[:4] == b"PK\x06\x06" and tail[56:60] == b"PK\x06\x07",
          "the archive ends with the ZIP64 end record and locator", "PK 06 06 ... PK 06 07",
          tail[:4] + b"..." + tail[56:60])
    bad = archive.testzip()
    check(bad is None, "every entry's CRC matches its data", "none bad", bad)
    types = ET.fromstring(archive.read("[Content_Types].xml"))
    defaults = {d.get("Extension"): d.get("ContentType") for d in types.findall("ct:Default", NS)}
    overrides = {o.get("PartName"): o.get("ContentType") for o in types.findall("ct:Override", NS)}
    check(defaults.get("png") == "image/png", "the content type of .png", "image/png",
          defaults.get("png"))
    for part, kind in (("/AppxManifest.xml", "application/vnd.ms-appx.manifest+xml"),
                       ("/AppxBlockMap.xml", "application/vnd.ms-appx.blockmap+xml"),
                       ("/AppxSignature.p7x", "application/vnd.ms-appx.signature")):
        check(overrides.get(part) == kind, "the content type of " + part, kind,
              overrides.get(part))


def validate(data, schema, name, work):
    path = os.path.join(work, name)
    with open(path, "wb") as f:
        f.write(data)
    result = run(["xmllint", "--noout", "--schema", schema, path])
    check(result.returncode == 0, name + " is valid against " + os.path.basename(schema),
          "xmllint exits 0", "exit %d:\n%s" % (result.returncode, result.stderr.strip()))


def check_schemas(archive, args, work):
    validate(archive.read("AppxManifest.xml"), os.path.join(args.schemas, "manifest", "driver.xsd"),
             "AppxManifest.xml", work)
    validate(archive.read("AppxBlockMap.xml"),
             os.path.join(args.schemas, "blockmap", "BlockMapSchema.xsd"), "AppxBlockMap.xml", work)


def check_blocks(archive, args, work):
    blockmap = ET.fromstring(archive.read("AppxBlockMap.xml"))
    check(blockmap.get("HashMethod") == "http://www.w3.org/2001/04/xmlenc#sha256",
          "the block map's hash method", "sha256", blockmap.get("HashMethod"))
    listed = [f.get("Name") for f in blockmap.findall("b:File", NS)]
    check(listed == [n.replace("/", "\\") for n in PAYLOAD], "the files the block map lists",
          PAYLOAD, listed)
    with open(args.package, "rb") as raw:
        for entry in blockmap.findall("b:File", NS):
            name = entry.get("Name")
            info = archive.getinfo(name.replace("\\", "/"))
            # The entry's bytes as stored, not through zipfile, which would
            # stop at a bad CRC before the hashes are compared.
            raw.seek(info.header_offset)
            header = raw.read(30)
            length = 30 + sum(struct.unpack("<HH", header[26:30]))
            raw.seek(info.header_offset + length)
            data = raw.read(info.compress_size)
            if info.compress_type == zipfile.ZIP_DEFLATED:
                data = zlib.decompress(data, -15)
            check(int(entry.get("Size")) == len(data), name + ": Size", len(data), entry.get("Size"))
            check(int(entry.get("LfhSize")) == length, name + ": LfhSize (local header bytes)",
                  length, entry.get("LfhSize"))
            blocks = entry.findall("b:Block", NS)
            expected = [base64.b64encode(hashlib.sha256(data[i:i + 65536]).digest()).decode()
                        for i in range(0, len(data), 65536)]
            actual = [b.get("Hash") for b in blocks]
            check(actual == expected, name + ": the SHA-256 of each 64 KiB block", expected, actual)
            sized = [b.get("Size") for b in blocks if b.get("Size")]
            check(info.compress_type != zipfile.ZIP_STORED or not sized,
                  name + ": no block Size on a stored file", "none", sized)


def check_signature(archive, args, work):
    result = run(["osslsigncode", "verify", "-in", args.package, "-CAfile", pem_of(args.cert, work)])
    check(result.returncode == 0 and "Signature verification: ok" in result.stdout,
          "osslsigncode verify with talvex.cer as the trust anchor", "exit 0, verification ok",
          "exit %d:\n%s%s" % (result.returncode, result.stdout[-1500:], result.stderr))


def check_manifest(archive, args, work):
    root = ET.fromstring(archive.read("AppxManifest.xml"))
    identity = root.find("m:Identity", NS)
    publisher = identity.get("Publisher")
    if os.environ.get("TALVEX_SIGN_CERT"):
        print("note: built with a builder's certificate; own-cert checks its Publisher")
    else:
        check(publisher == SELF_SIGNED_PUBLISHER, "the Publisher of the self-signed package",
              SELF_SIGNED_PUBLISHER, publisher)
    written = os.path.join(os.path.dirname(args.package), "publisher.txt")
    actual = text_of(written) if os.path.exists(written) else "no " + written
    check(actual == publisher, "publisher.txt beside the package (for the installer) holds "
          "the manifest's Publisher, no newline", repr(publisher), repr(actual))
    version = ".".join((args.version.split(".") + ["0"] * 4)[:4])
    check(identity.get("Version") == version, "the Version is the project's, in four parts",
          version, identity.get("Version"))
    # Windows has dropped packaged verbs whose id sorts late.
    for verb in root.iter("{%s}Verb" % NS["desktop5"]):
        check(re.fullmatch(r"0000[A-Za-z0-9]{0,60}", verb.get("Id") or ""),
              "a verb id: alphanumeric, at most 64 characters, starting 0000", "0000...",
              verb.get("Id"))
    check_header_names(root)


def check_header_names(root):
    """The package's name, item types and class ids are the names header's."""
    names = header_names()
    check(root.find("m:Identity", NS).get("Name") == names["TALVEX_PACKAGE_NAME"],
          "the package's Name is talvex_names.h's TALVEX_PACKAGE_NAME",
          names["TALVEX_PACKAGE_NAME"], root.find("m:Identity", NS).get("Name"))
    selection = names["TALVEX_SELECTION_COMMAND_CLSID"].strip("{}")
    background = names["TALVEX_BACKGROUND_COMMAND_CLSID"].strip("{}")
    expected = {names["TALVEX_FILE_CLASS"]: [selection],
                names["TALVEX_FOLDER_CLASS"]: [selection],
                names["TALVEX_BACKGROUND_CLASS"]: [background]}
    actual = {item.get("Type"): [verb.get("Clsid") for verb in item]
              for item in root.iter("{%s}ItemType" % NS["desktop5"])}
    check(actual == expected, "each item type's verbs' class ids, as talvex_names.h names "
          "the shell classes and command classes", expected, actual)
    served = sorted(c.get("Id") for c in root.iter("{%s}Class" % NS["com"]))
    check(served == sorted([selection, background]), "the COM classes the package declares",
          sorted([selection, background]), served)


def own_certificate(subject, work, index):
    """A builder's code-signing certificate and key, made here."""
    config = os.path.join(work, "openssl.cnf")
    with open(config, "w") as f:
        f.write(OPENSSL_CONFIG)
    key = os.path.join(work, "own%d.key" % index)
    cert = os.path.join(work, "own%d.pem" % index)
    result = run(["openssl", "req", "-config", config, "-x509", "-newkey", "rsa:2048", "-nodes",
                  "-days", "2", "-utf8", "-multivalue-rdn", "-keyout", key, "-out", cert,
                  "-subj", subject, "-addext", "extendedKeyUsage=codeSigning"])
    check(result.returncode == 0, "openssl makes a builder's certificate for " + subject,
          "exit 0", result.stderr)
    return cert, key


def check_own_certificate(archive, args, work):
    for index, (what, subject, expected) in enumerate(OWN_CERT_ROWS):
        cert, key = own_certificate(subject, work, index)
        out = os.path.join(work, "own%d" % index)
        result = make_package(out, dict(os.environ, TALVEX_SIGN_CERT=cert, TALVEX_SIGN_KEY=key))
        package = os.path.join(out, "talvex.msix")
        if expected is None:
            check(result.returncode != 0 and not os.path.exists(package),
                  "%s: make_package.py refuses %s" % (what, subject),
                  "a failure and no package", "exit %d, %s" % (
                      result.returncode, "a package" if os.path.exists(package) else "none"))
            continue
        check(result.returncode == 0, "%s: make_package.py signs with %s" % (what, subject),
              "exit 0", result.stderr)
        if result.returncode != 0:
            continue
        publisher = publisher_in(package)
        check(publisher == expected, "%s: the Publisher for %s" % (what, subject),
              expected, publisher)
        written = text_of(os.path.join(out, "publisher.txt"))
        check(written == expected, "%s: publisher.txt" % what, repr(expected), repr(written))
        with zipfile.ZipFile(package) as own:
            validate(own.read("AppxManifest.xml"),
                     os.path.join(args.schemas, "manifest", "driver.xsd"),
                     "own%d-AppxManifest.xml" % index, work)
            version = ET.fromstring(own.read("AppxManifest.xml")).find("m:Identity", NS).get(
                "Version")
        check(version == "1.2.3.0", "a three-part version gets a fourth part 0", "1.2.3.0",
              version)
        result = run(["osslsigncode", "verify", "-in", package, "-CAfile", cert])
        check(result.returncode == 0, "%s: the package verifies against its builder's "
              "certificate" % what, "exit 0", result.stdout[-800:] + result.stderr)


def check_self_signed(archive, args, work):
    # A temporary folder of this check's own shows whether the key's folder
    # is gone after the build.
    temporary = os.path.join(work, "tmp")
    os.mkdir(temporary)
    out = os.path.join(work, "self-signed")
    result = make_package(out, without_builder_certificate(TMPDIR=temporary))
    check(result.returncode == 0, "make_package.py with a self-signed certificate", "exit 0",
          result.stderr)
    check(files_with_private_keys(out) == [], "no private key under the package's folder",
          "none", files_with_private_keys(out))
    check(os.listdir(temporary) == [], "the self-signed key's temporary folder is deleted",
          "an empty " + temporary, os.listdir(temporary))
    if result.returncode == 0:
        publisher = publisher_in(os.path.join(out, "talvex.msix"))
        written = text_of(os.path.join(out, "publisher.txt"))
        check(publisher == SELF_SIGNED_PUBLISHER == written,
              "the self-signed package's Publisher, and publisher.txt", SELF_SIGNED_PUBLISHER,
              "Publisher %r, publisher.txt %r" % (publisher, written))

    # The key goes also when signing fails.
    stubs = os.path.join(work, "stubs")
    os.mkdir(stubs)
    with open(os.path.join(stubs, "osslsigncode"), "w") as f:
        f.write("#!/bin/sh\necho refusing to sign >&2\nexit 1\n")
    os.chmod(os.path.join(stubs, "osslsigncode"), 0o755)
    failed = os.path.join(work, "failed")
    result = make_package(failed, without_builder_certificate(
        TMPDIR=temporary, PATH=stubs + os.pathsep + os.environ.get("PATH", "")))
    check(result.returncode != 0, "make_package.py when osslsigncode fails", "a failure",
          "exit 0")
    check(files_with_private_keys(failed) == [] and os.listdir(temporary) == [],
          "no private key left after a failed signing", "none under the package's folder, "
          "an empty " + temporary, "%s; %s" % (files_with_private_keys(failed),
                                              os.listdir(temporary)))

    built = os.path.dirname(os.path.abspath(args.package))
    check(files_with_private_keys(built) == [], "no private key in the build's package folder "
          "(an earlier build kept its self-signed key there)", "none",
          files_with_private_keys(built))


CHECKS = {"files": check_files, "schemas": check_schemas, "blocks": check_blocks,
          "signature": check_signature, "manifest": check_manifest,
          "own-cert": check_own_certificate, "self-signed": check_self_signed}

if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("check", choices=sorted(CHECKS))
    parser.add_argument("--package", required=True)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--schemas", required=True)
    parser.add_argument("--version", default="", help="the project's version")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as work, zipfile.ZipFile(args.package) as archive:
        CHECKS[args.check](archive, args, work)
    for failure in failures:
        print("FAILED: " + failure)
    print("%s: %s" % (args.check, "%d failed" % len(failures) if failures else "passed"))
    sys.exit(1 if failures else 0)
