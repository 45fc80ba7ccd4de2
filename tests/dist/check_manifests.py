#!/usr/bin/python3
"""Checks a dist/ folder (make dist-check): each zip holds the programs and
documents alone, and SHA256SUMS, the Scoop manifest and the winget
manifests name every zip with its own hash, architecture and version."""
import hashlib
import json
import pathlib
import re
import sys
import zipfile

dist = pathlib.Path(sys.argv[1])
ENTRIES = ["aliasdesk.exe", "prefdesk.exe", "README.txt", "LICENSE", "THIRD-PARTY-NOTICES.txt"]
ARCHS = {"win64": ("64bit", "x64"), "win32": ("32bit", "x86")}
problems = []


def expect(holds, what):
    if not holds:
        problems.append(what)


zips = sorted(dist.glob("velkor-tools-*.zip"))
expect(len(zips) == 2, f"two zips expected, found {[z.name for z in zips]}")
version = re.fullmatch(r"velkor-tools-(.+)-win(32|64)\.zip", zips[0].name).group(1)
hashes = {z.name: hashlib.sha256(z.read_bytes()).hexdigest() for z in zips}
for z in zips:
    expect(zipfile.ZipFile(z).namelist() == ENTRIES, f"{z.name} holds {zipfile.ZipFile(z).namelist()}")

sums = dict(reversed(line.split("  ")) for line in (dist / "SHA256SUMS").read_text().splitlines())
expect(sums == hashes, f"SHA256SUMS {sums} != {hashes}")

scoop = json.loads((dist / "scoop" / "velkor-tools.json").read_text())
expect(scoop["version"] == version, f"Scoop version {scoop['version']}")
winget = list((dist / "winget").rglob("*.yaml"))
expect(len(winget) == 3 and all(f.parent.name == version for f in winget), f"winget files {winget}")
for f in winget:
    expect(f"PackageVersion: {version}\n" in f.read_text(), f"{f.name} names another version")
installer = next(f for f in winget if f.name.endswith(".installer.yaml")).read_text()
pairs = re.findall(r"- Architecture: (\S+)\n  InstallerUrl: (\S+)\n  InstallerSha256: (\S+)\n", installer)
expect(len(pairs) == 2, f"winget installers {pairs}")

for name, digest in hashes.items():
    scoop_arch, winget_arch = ARCHS[name[-9:-4]]
    entry = scoop["architecture"][scoop_arch]
    expect(entry["url"].endswith("/" + name) and entry["hash"] == digest, f"Scoop {scoop_arch}: {entry}")
    expect((winget_arch, digest.upper()) in [(a, h) for a, u, h in pairs if u.endswith("/" + name)],
           f"winget has no {winget_arch} installer {name} with {digest.upper()}")

for problem in problems:
    print("check_manifests:", problem, file=sys.stderr)
sys.exit(1 if problems else 0)
