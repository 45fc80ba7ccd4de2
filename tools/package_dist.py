#!/usr/bin/python3
"""Packs the release builds into the portable zips (make dist) and writes
beside them what a download page and the package managers need: SHA256SUMS,
a Scoop manifest and winget manifests.

The same inputs give the same bytes: the entries go in a fixed order, each
stamped with SOURCE_DATE_EPOCH and the same attributes, whatever the build
machine's clock, time zone, umask or file order.

Usage: package_dist.py --version V --epoch SECONDS --url TEMPLATE
                       --homepage URL --out DIR X64_BIN X86_BIN
TEMPLATE names one zip's download; {version} and {file} are filled in.
"""
import argparse
import hashlib
import json
import pathlib
import sys
import time
import zipfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
PROGRAMS = ["aliasdesk.exe", "prefdesk.exe"]
# Text files, stored with Windows line ends.
DOCUMENTS = [ROOT / "packaging" / "README.txt", ROOT / "LICENSE", ROOT / "packaging" / "THIRD-PARTY-NOTICES.txt"]
PROGRAM_LIMIT = 1_000_000

# make dist's name for it -> zip suffix, Scoop's and winget's names.
ARCHITECTURES = {"x64": ("win64", "64bit", "x64"), "x86": ("win32", "32bit", "x86")}

DESCRIPTION = "Velkor's configuration tools: aliasdesk edits the launcher's alias table, prefdesk its settings."
WINGET_ID = "Velkor.ConfigurationTools"
WINGET_SCHEMA = "1.6.0"


def zip_name(version, arch):
    return f"velkor-tools-{version}-{ARCHITECTURES[arch][0]}.zip"


def windows_lines(data):
    return data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def write_zip(path, members, epoch):
    # Zip times are local times without a zone and start in 1980.
    stamp = time.gmtime(max(epoch, 315532800))[:6]
    with zipfile.ZipFile(path, "w") as archive:
        for name, data in members:
            entry = zipfile.ZipInfo(name, stamp)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 0  # MS-DOS: no Unix owner or mode from the build machine
            entry.external_attr = 0
            archive.writestr(entry, data, compresslevel=9)


def pack(version, arch, bin_dir, out, epoch):
    """Writes one zip; its path, or None when a program is too large."""
    members = [(name, (bin_dir / name).read_bytes()) for name in PROGRAMS]
    members += [(doc.name, windows_lines(doc.read_bytes())) for doc in DOCUMENTS]
    path = out / zip_name(version, arch)
    write_zip(path, members, epoch)
    print(f"{path}: {path.stat().st_size:,} bytes")
    fits = True
    with zipfile.ZipFile(path) as archive:
        for name in PROGRAMS:
            entry = archive.getinfo(name)
            print(f"  {name:14} {entry.file_size:>9,} bytes ({entry.compress_size:,} packed)")
            if entry.file_size > PROGRAM_LIMIT:
                print(f"  {name} is larger than {PROGRAM_LIMIT:,} bytes", file=sys.stderr)
                fits = False
    return path if fits else None


def scoop_manifest(version, urls, hashes, homepage, url_template):
    def for_scoop(arch):
        return url_template.format(version="$version", file=zip_name("$version", arch))

    return {
        "version": version,
        "description": DESCRIPTION,
        "homepage": homepage,
        "license": "MIT",
        # Saves replace the files, which would cut Scoop's links to persisted ones.
        "notes": "aliasdesk and prefdesk keep config.ini, history.dat and settings.ini beside themselves: "
        "copy them into the new version's folder after an update.",
        "architecture": {
            ARCHITECTURES[arch][1]: {"url": urls[arch], "hash": hashes[arch]} for arch in ARCHITECTURES
        },
        "shortcuts": [["aliasdesk.exe", "Velkor aliasdesk"], ["prefdesk.exe", "Velkor prefdesk"]],
        "autoupdate": {
            "architecture": {ARCHITECTURES[arch][1]: {"url": for_scoop(arch)} for arch in ARCHITECTURES}
        },
    }


def yaml_file(kind, version, lines):
    head = [
        f"# yaml-language-server: $schema=https://aka.ms/winget-manifest.{kind}.{WINGET_SCHEMA}.schema.json",
        f"PackageIdentifier: {WINGET_ID}",
        f"PackageVersion: {version}",
    ]
    tail = [f"ManifestType: {kind}", f"ManifestVersion: {WINGET_SCHEMA}"]
    return "\n".join(head + lines + tail) + "\n"


def winget_manifests(version, urls, hashes, homepage, epoch):
    """File name -> text, in the layout of the winget-pkgs repository."""
    installers = ["InstallerType: zip", "NestedInstallerType: portable", "NestedInstallerFiles:"]
    for name in PROGRAMS:
        installers += [f"- RelativeFilePath: {name}", f"  PortableCommandAlias: {name[:-4]}"]
    installers += [f"ReleaseDate: {time.strftime('%Y-%m-%d', time.gmtime(epoch))}", "Installers:"]
    for arch in ARCHITECTURES:
        installers += [
            f"- Architecture: {ARCHITECTURES[arch][2]}",
            f"  InstallerUrl: {urls[arch]}",
            f"  InstallerSha256: {hashes[arch].upper()}",
        ]
    locale = [
        "PackageLocale: en-US",
        "Publisher: Velkor",
        "PackageName: Velkor configuration tools",
        f"PackageUrl: {homepage}",
        "License: MIT",
        f"ShortDescription: {DESCRIPTION}",
        "Tags:",
        "- launcher",
        "- alias",
        "- portable",
    ]
    return {
        f"{WINGET_ID}.yaml": yaml_file("version", version, ["DefaultLocale: en-US"]),
        f"{WINGET_ID}.installer.yaml": yaml_file("installer", version, installers),
        f"{WINGET_ID}.locale.en-US.yaml": yaml_file("defaultLocale", version, locale),
    }


def winget_dir(out, version):
    publisher, package = WINGET_ID.split(".")
    return out / "winget" / "manifests" / publisher[0].lower() / publisher / package / version


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--version", required=True)
    parser.add_argument("--epoch", type=int, required=True)
    parser.add_argument("--url", required=True)
    parser.add_argument("--homepage", required=True)
    parser.add_argument("--out", type=pathlib.Path, required=True)
    parser.add_argument("bins", type=pathlib.Path, nargs=2, metavar="BIN_DIR")
    args = parser.parse_args()

    args.out.mkdir(parents=True, exist_ok=True)
    zips = {arch: pack(args.version, arch, bins, args.out, args.epoch)
            for arch, bins in zip(ARCHITECTURES, args.bins)}
    if None in zips.values():
        return 1
    hashes = {arch: hashlib.sha256(path.read_bytes()).hexdigest() for arch, path in zips.items()}
    urls = {arch: args.url.format(version=args.version, file=path.name) for arch, path in zips.items()}

    (args.out / "SHA256SUMS").write_text("".join(f"{hashes[a]}  {zips[a].name}\n" for a in ARCHITECTURES))
    scoop = args.out / "scoop" / "velkor-tools.json"
    scoop.parent.mkdir(exist_ok=True)
    manifest = scoop_manifest(args.version, urls, hashes, args.homepage, args.url)
    scoop.write_text(json.dumps(manifest, indent=4) + "\n")
    winget = winget_dir(args.out, args.version)
    winget.mkdir(parents=True, exist_ok=True)
    for name, text in winget_manifests(args.version, urls, hashes, args.homepage, args.epoch).items():
        (winget / name).write_text(text)
    print((args.out / "SHA256SUMS").read_text(), end="")
    return 0


if __name__ == "__main__":
    sys.exit(main())
