#!/usr/bin/env bash
# Compiles every source of the project once more, syntax only, with clang for
# the MinGW target and the warnings that Visual Studio's /W4 raises but
# g++ -Wall -Wextra does not: narrowing conversions, names that hide others,
# signed/unsigned comparisons, and the macros the Windows SDK defines for
# every program (rpcndr.h, minwindef.h, combaseapi.h). Like cl.exe, it also
# reports what a standard library template does with the project's own types
# (for example a pair of wchar_t built from int), which clang otherwise hides
# as system-header code. No output and status 0 when nothing is found.
# Usage: tools/msvc-check.sh BUILD_DIR   (reads BUILD_DIR/compile_commands.json)
set -euo pipefail

build=${1:?usage: tools/msvc-check.sh BUILD_DIR}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
gcc_include=$(x86_64-w64-mingw32-g++-posix -print-file-name=include)

exec python3 - "$source_dir" "$build/compile_commands.json" "$gcc_include" <<'EOF'
import concurrent.futures, json, os, re, shlex, subprocess, sys

source_dir, database, gcc_include = sys.argv[1:4]
tree = source_dir.rstrip("/") + "/"
build_tree = tree + "build/"

# The libstdc++ of the cross g++ that builds the programs, so that both see the same library.
library = [gcc_include + "/c++", gcc_include + "/c++/x86_64-w64-mingw32", gcc_include + "/c++/backward"]
checks = [
    "-Wconversion", "-Wno-sign-conversion",  # C4244, C4267; cl.exe leaves plain sign changes alone
    "-Wsign-compare",                         # C4018, C4389
    "-Wshadow", "-Wshadow-field", "-Wshadow-field-in-constructor", "-Wshadow-uncaptured-local",  # C4456 to C4459
]
# Conversions inside libstdc++'s random engines and distributions are its own
# business; Visual Studio's library keeps its own equivalents quiet.
library_internals = ("random.h", "random.tcc", "uniform_int_dist.h")
sdk_macros = ["small=char", "hyper=__int64", "near=", "far=", "interface=struct", "pascal=__stdcall", "cdecl="]


def clang_command(entry):
    original = shlex.split(entry["command"]) if "command" in entry else entry["arguments"]
    kept = []
    args = iter(original[1:])
    for arg in args:
        if arg in ("-o", "-c"):
            next(args)
        elif arg.startswith(("-D", "-I", "-std=")) or arg in ("-isystem",):
            kept.append(arg)
            if arg in ("-D", "-I", "-isystem"):
                kept.append(next(args))
    command = ["clang++", "--target=x86_64-w64-windows-gnu", "-fsyntax-only", "-nostdinc++", "-Wno-everything"]
    for folder in library:
        command += ["-isystem", folder]
    command += ["-Wsystem-headers"] + checks + ["-D" + m for m in sdk_macros] + kept + [entry["file"]]
    return command


def in_project(path):
    path = os.path.normpath(path)
    return path.startswith(tree) and not path.startswith(build_tree)


location = re.compile(r"^(.+?):\d+:\d+: (warning|error|fatal error|note): ")


def findings(output):
    """Diagnostics in the project's files, or in headers on the way from one of them."""
    found, group, relevant, internal, pending = [], [], False, False, []
    for line in output.splitlines():
        match = location.match(line)
        if match and match.group(2) != "note":
            if group and relevant:
                found.append("\n".join(group))
            internal = match.group(1).startswith(gcc_include) and os.path.basename(match.group(1)) in library_internals
            relevant = not internal and (in_project(match.group(1)) or "error" in match.group(2))
            group, pending = pending + [line], []
        elif line.startswith("In file included from") or line.startswith("                 from"):
            pending.append(line)
        else:
            if match and in_project(match.group(1)) and not internal:
                relevant = True
            group.append(line)
    if group and relevant:
        found.append("\n".join(group))
    return found


def check(entry):
    run = subprocess.run(clang_command(entry), cwd=entry["directory"], capture_output=True, text=True)
    return entry["file"], findings(run.stderr), run.returncode


entries, seen = [], set()
for entry in json.load(open(database)):
    if in_project(entry["file"]) and entry["file"] not in seen:
        seen.add(entry["file"])
        entries.append(entry)

failed = 0
with concurrent.futures.ThreadPoolExecutor(os.cpu_count()) as pool:
    for file, found, status in pool.map(check, entries):
        if found or status:
            failed += 1
            print("\n".join(found) or file + ": clang failed", file=sys.stderr)
if failed:
    sys.exit(f"msvc-check: findings in {failed} of {len(entries)} sources")
EOF
