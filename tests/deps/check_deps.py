#!/usr/bin/env python3
"""Checks scripts/deps.txt, the one declaration of what the project uses from outside, against
what the project really uses and against the packages that provide it.

What is used is read from the sources themselves: the commands that the shell scripts run (their
syntax trees, from shfmt), the programs, shared libraries and modules that the Python drivers
run, load and import (their syntax trees, from Python's ast), and the find_package calls and
compilers of the CMake files and presets. Each use must be declared, and declared in a group
that is installed before that code runs: the groups a script installs itself
(scripts/install_deps.sh GROUP...), or for the tests the groups the test command installs.
Each declared entry must be in a group that some script installs; entries of the base group must
be in Debian's required set; and where a package is installed here, it must really provide the
file that its entry names.

Usage: check_deps.py [--root DIR]. Prints one line per fault and exits 1 if there is any.
"""

import argparse
import ast
import json
import os
import re
import shutil
import subprocess
import sys

KINDS = {"program", "library", "python", "cmake", "file"}
# Never installed by a script: Debian's required set, and what a fresh machine has beside it.
ASSUMED_GROUPS = {"base", "fresh"}
# Commands that run the command after them (after their own options and, for timeout, the time).
WRAPPERS = {"sudo", "exec", "command", "env", "nice", "xargs", "timeout"}
# Where each part of the tree runs: the script whose installs come before it.
RUN_BY = [("tests/windows/", "tests/windows/run.sh"), ("fuzz/", "scripts/fuzz_stage.sh"),
          ("tests/", "scripts/test.sh"), ("tools/bench/", "scripts/test.sh")]
# The rest of the CMake build runs after the installs of scripts/play.sh.
BUILD_BY = "scripts/play.sh"


class Entry:
    def __init__(self, name, kind, package, groups, line):
        self.name, self.kind, self.package, self.line = name, kind, package, line
        self.groups = set(groups)


def read_declaration(path, faults):
    entries = {}
    for number, text in enumerate(open(path, encoding="utf-8"), 1):
        fields = text.split("#", 1)[0].split()
        if not fields:
            continue
        where = f"{os.path.basename(path)}:{number}"
        if len(fields) not in (3, 4) or fields[1] not in KINDS:
            faults.append(f"{where}: want NAME KIND PACKAGE GROUPS, got {text.strip()!r}")
            continue
        name, kind, package, groups = (fields + [""])[:4]
        if name in entries:
            faults.append(f"{where}: {name} is declared twice")
            continue
        entries[name] = Entry(name, kind, package, [g for g in groups.split(",") if g], where)
    return entries


class Use:
    def __init__(self, name, kind, path, line, required=True):
        self.name, self.kind, self.path, self.line = name, kind, path, line
        # An optional CMake find: the build goes on without it.
        self.required = required

    def where(self):
        return f"{self.path}:{self.line}"


# --- shell scripts -------------------------------------------------------------------------------

def shell_builtins():
    done = subprocess.run(["bash", "-c", "compgen -b; compgen -k"], capture_output=True, text=True,
                          check=True)
    return set(done.stdout.split())


def word_text(word):
    """A word made only of literal parts, as the shell reads it; None for anything expanded."""
    text = ""
    for part in word.get("Parts", []):
        kind = part.get("Type")
        if kind == "Lit":
            text += part["Value"]
        elif kind in ("SglQuoted", "DblQuoted") and all(
                p.get("Type") == "Lit" for p in part.get("Parts", [])):
            text += part.get("Value", "") + "".join(p["Value"] for p in part.get("Parts", []))
        else:
            return None
    return text


def is_sudo_variable(word):
    parts = word.get("Parts", [])
    return (len(parts) == 1 and parts[0].get("Type") == "ParamExp" and
            parts[0].get("Param", {}).get("Value") == "sudo")


def walk_json(node):
    if isinstance(node, dict):
        yield node
        for value in node.values():
            yield from walk_json(value)
    elif isinstance(node, list):
        for value in node:
            yield from walk_json(value)


def is_all_arguments(word):
    """The word "$@"."""
    parts = word.get("Parts", [])
    if len(parts) == 1 and parts[0].get("Type") == "DblQuoted":
        parts = parts[0].get("Parts", [])
    return (len(parts) == 1 and parts[0].get("Type") == "ParamExp" and
            parts[0].get("Param", {}).get("Value") == "@")


def wrapper_functions(tree):
    """The script's functions that run their arguments as a command ("$@"), each with the number
    of leading arguments it shifts away first."""
    wrappers = {}
    for node in walk_json(tree):
        if node.get("Type") != "FuncDecl":
            continue
        calls = [c for c in walk_json(node.get("Body", {})) if c.get("Type") == "CallExpr" and
                 c.get("Args")]
        if any(is_all_arguments(c["Args"][0]) for c in calls):
            shifts = [c["Args"] for c in calls if word_text(c["Args"][0]) == "shift"]
            wrappers[node["Name"]["Value"]] = sum(
                int(word_text(a[1]) or 1) if len(a) > 1 else 1 for a in shifts)
    return wrappers


def sourced_functions(root, tree):
    """The functions of the project's own files that the script sources (source FILE, a path
    from the top of the tree)."""
    found = set()
    for node in walk_json(tree):
        args = node.get("Args") if node.get("Type") == "CallExpr" else None
        if args and len(args) == 2 and word_text(args[0]) in ("source", ".") and word_text(args[1]):
            path = os.path.join(root, word_text(args[1]))
            if os.path.isfile(path):
                sourced = parse_shell(open(path, encoding="utf-8").read(), path)
                found |= {n["Name"]["Value"] for n in walk_json(sourced)
                          if n.get("Type") == "FuncDecl"}
    return found


def parse_shell(source, path):
    done = subprocess.run(["shfmt", "-ln", "bash", "-tojson"], input=source, capture_output=True,
                          text=True)
    if done.returncode != 0:
        raise SystemExit(f"check_deps: shfmt cannot read {path}: {done.stderr.strip()}")
    return json.loads(done.stdout)


def scan_shell(root, path, builtins, uses, installs, presets, source=None, line_offset=0):
    if source is None:
        source = open(os.path.join(root, path), encoding="utf-8").read()
    tree = parse_shell(source, path)
    functions = {node["Name"]["Value"] for node in walk_json(tree)
                 if node.get("Type") == "FuncDecl"} | sourced_functions(root, tree)
    wrappers = wrapper_functions(tree)
    for node in walk_json(tree):
        if node.get("Type") != "CallExpr" or not node.get("Args"):
            continue
        args = node["Args"]
        line = args[0]["Pos"]["Line"] + line_offset
        words = [word_text(arg) for arg in args]
        i = 0
        while i < len(words):
            word = words[i]
            if word is None and is_sudo_variable(args[i]):
                i += 1
                continue
            if word in wrappers:
                i += 1 + wrappers[word]
                continue
            if word in WRAPPERS:
                if word not in builtins:
                    uses.append(Use(word, "program", path, line))
                i += 1
                # The wrapper's own options, and timeout's time limit.
                while i < len(words) and words[i] is not None and (
                        words[i].startswith("-") or (word == "timeout" and words[i][0].isdigit())):
                    i += 1
                continue
            break
        if i >= len(words) or words[i] is None:
            continue
        command = words[i]
        if command.endswith("install_deps.sh"):
            installs.setdefault(path, []).append({w for w in words[i + 1:] if w})
            continue
        if command == "cmake" and "--preset" in words[i + 1:-1]:
            preset = words[words.index("--preset", i) + 1]
            if preset:
                presets.setdefault(preset, path)
        if command in ("bash", "sh") and words[i + 1:i + 2] == ["-c"] and \
                len(words) > i + 2 and words[i + 2]:
            # A command line handed to a shell: read as the script's own.
            scan_shell(root, path, builtins, uses, installs, presets, words[i + 2], line - 1)
        if "/" in command or command in builtins or command in functions or "=" in command:
            continue
        uses.append(Use(command, "program", path, line))


# --- Python drivers ------------------------------------------------------------------------------

def argument_vectors(tree):
    """The list and tuple literals handed to a call or assigned to a name: where argument vectors
    are written."""
    for node in ast.walk(tree):
        if isinstance(node, ast.Call):
            yield from (a for a in node.args if isinstance(a, (ast.List, ast.Tuple)))
        elif isinstance(node, (ast.Assign, ast.AnnAssign)) and \
                isinstance(node.value, (ast.List, ast.Tuple)):
            yield node.value


def scan_python(root, path, declared_programs, uses):
    tree = ast.parse(open(os.path.join(root, path), encoding="utf-8").read(), path)
    here = os.path.dirname(os.path.join(root, path))
    for node in argument_vectors(tree):
        # An argument vector: a list that starts with the name of a program.
        first = node.elts[0] if node.elts else None
        if isinstance(first, ast.Constant) and isinstance(first.value, str):
            name = first.value
            if name and "/" not in name and not name.startswith("-") and \
                    (name in declared_programs or shutil.which(name)):
                uses.append(Use(name, "program", path, node.lineno))
    for node in ast.walk(tree):
        if isinstance(node, (ast.Import, ast.ImportFrom)):
            if isinstance(node, ast.ImportFrom) and node.level:
                continue
            names = [alias.name for alias in node.names] if isinstance(node, ast.Import) \
                else [node.module]
            for name in names:
                top = name.split(".")[0]
                # A module of the project's own, beside the file or in a folder above it (as
                # pytest's conftest puts them on the path).
                folders = [here]
                while os.path.abspath(folders[-1]) != os.path.abspath(root):
                    folders.append(os.path.dirname(folders[-1]))
                local = any(os.path.exists(os.path.join(folder, top + ".py")) or
                            os.path.isdir(os.path.join(folder, top)) for folder in folders)
                if top not in sys.stdlib_module_names and not local:
                    uses.append(Use(top, "python", path, node.lineno))
        elif isinstance(node, ast.Call):
            function = node.func
            called = function.attr if isinstance(function, ast.Attribute) else \
                function.id if isinstance(function, ast.Name) else ""
            argument = node.args[0] if node.args else None
            if not (isinstance(argument, ast.Constant) and isinstance(argument.value, str)):
                continue
            if called in ("CDLL", "LoadLibrary", "PyDLL"):
                uses.append(Use(argument.value, "library", path, node.lineno))
            elif called == "tool":
                # The drivers' helper that finds a program and names its package if it is missing.
                uses.append(Use(argument.value, "program", path, node.lineno))


# --- CMake ---------------------------------------------------------------------------------------

FIND_KEYWORDS = {"REQUIRED", "QUIET", "CONFIG", "MODULE", "NO_MODULE", "COMPONENTS",
                 "OPTIONAL_COMPONENTS", "EXACT", "GLOBAL"}


def scan_cmake(root, path, uses):
    text = open(os.path.join(root, path), encoding="utf-8").read()
    lines = [line.split("#", 1)[0] for line in text.splitlines()]
    joined = "\n".join(lines)
    for match in re.finditer(r"\bfind_package\s*\(([^)]*)\)", joined, re.I):
        words = match.group(1).split()
        line = joined.count("\n", 0, match.start()) + 1
        if not words or words[0].startswith("${"):
            continue
        required = "REQUIRED" in words
        uses.append(Use(words[0], "cmake", path, line, required))
        if "COMPONENTS" in words:
            for component in words[words.index("COMPONENTS") + 1:]:
                if component in FIND_KEYWORDS:
                    break
                uses.append(Use(f"{words[0]}/{component}", "cmake", path, line, required))


def scan_presets(root, path, uses):
    """The compilers the configure presets name, each a use in the preset ("FILE#PRESET")."""
    presets = json.load(open(os.path.join(root, path), encoding="utf-8"))
    for preset in presets.get("configurePresets", []):
        for key, value in preset.get("cacheVariables", {}).items():
            if key.endswith("_COMPILER") and isinstance(value, str):
                uses.append(Use(value, "program", f"{path}#{preset['name']}", 0))


# --- packages ------------------------------------------------------------------------------------

class Packages:
    """The installed packages, from dpkg's own records."""

    def __init__(self):
        self.native = subprocess.run(["dpkg", "--print-architecture"], capture_output=True,
                                     text=True).stdout.strip()
        done = subprocess.run(["dpkg-query", "-W", "-f",
                               "${db:Status-Abbrev}\t${Package}:${Architecture}\t"
                               "${Pre-Depends}, ${Depends}\n"], capture_output=True, text=True)
        self.depends = {}
        for line in done.stdout.splitlines():
            status, package, depends = (line.split("\t") + ["", ""])[:3]
            if status.startswith("ii"):
                self.depends[package] = re.findall(r"(?:^|[,|])\s*([a-z0-9][a-z0-9+.-]+(?::\w+)?)",
                                                   depends)

    def qualified(self, package):
        name, _, arch = package.partition(":")
        for candidate in ([f"{name}:{arch}"] if arch and arch != "any" else
                          [f"{name}:{self.native}", f"{name}:all"]):
            if candidate in self.depends:
                return candidate
        return None

    def files(self, package, depth=0):
        """The files an installed package provides, with those of the packages it depends on to
        that depth (imagemagick, wine and python3 only depend on the ones with the files); None
        when it is not installed here."""
        found = self.qualified(package)
        if found is None:
            return None
        name, arch = found.split(":")
        for candidate in (f"{name}:{arch}.list", f"{name}.list"):
            path = os.path.join("/var/lib/dpkg/info", candidate)
            if os.path.exists(path):
                files = open(path, encoding="utf-8", errors="replace").read().splitlines()
                break
        else:
            return None
        if depth > 0:
            for dependency in self.depends[found]:
                files += self.files(dependency, depth - 1) or []
        return files


def provides(entry, files):
    if entry.kind == "program":
        # The command itself, or what it resolves to here (Debian's alternatives, wrappers).
        found = {os.path.realpath(os.path.join(folder, entry.name))
                 for folder in os.environ.get("PATH", "").split(os.pathsep)
                 if os.access(os.path.join(folder, entry.name), os.X_OK)}
        return any(re.search(r"/s?bin/" + re.escape(entry.name) + "$", f) or f in found
                   for f in files)
    if entry.kind in ("library", "file"):
        return any(f.endswith("/" + entry.name) for f in files)
    if entry.kind == "python":
        return any(re.search(r"/dist-packages/" + re.escape(entry.name) + r"(/__init__|)\.py$", f)
                   for f in files)
    # A find_package name: what it finds is the package's files, not one named file.
    return True


def priorities(packages):
    done = subprocess.run(["dpkg-query", "-W", "-f", "${Package} ${Priority} ${Essential}\\n",
                           *packages], capture_output=True, text=True)
    found = {}
    for line in done.stdout.splitlines():
        fields = line.split()
        if len(fields) >= 2:
            found[fields[0]] = fields[1:]
    return found


# --- the checks ----------------------------------------------------------------------------------

def tracked_files(root):
    done = subprocess.run(["git", "-C", root, "ls-files"], capture_output=True, text=True)
    if done.returncode == 0 and done.stdout:
        return done.stdout.splitlines()
    found = []
    for folder, dirs, files in os.walk(root):
        dirs[:] = [d for d in dirs if not d.startswith(("build", "."))]
        found += [os.path.relpath(os.path.join(folder, f), root) for f in files]
    return found


def is_shell(root, path):
    if path.endswith(".sh"):
        return True
    try:
        with open(os.path.join(root, path), "rb") as file:
            return re.match(rb"#!.*\b(ba)?sh\b", file.readline()) is not None
    except OSError:
        return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", default=os.path.join(os.path.dirname(__file__), "..", ".."))
    parser.add_argument("--declaration", help="default: scripts/deps.txt under the root")
    options = parser.parse_args()
    root = os.path.abspath(options.root)
    faults = []
    entries = read_declaration(options.declaration or os.path.join(root, "scripts", "deps.txt"),
                               faults)

    uses, installs, presets = [], {}, {}
    builtins = shell_builtins()
    programs = {name for name, entry in entries.items() if entry.kind == "program"}
    for path in tracked_files(root):
        if path.startswith(("build", ".git/")) or not os.path.isfile(os.path.join(root, path)):
            continue
        if path.endswith(".py"):
            scan_python(root, path, programs, uses)
        elif os.path.basename(path) == "CMakeLists.txt" or path.endswith(".cmake"):
            scan_cmake(root, path, uses)
        elif path == "CMakePresets.json":
            scan_presets(root, path, uses)
        elif is_shell(root, path):
            scan_shell(root, path, builtins, uses, installs, presets)

    installed_groups = set().union(*(g for calls in installs.values() for g in calls))
    known_groups = installed_groups | ASSUMED_GROUPS

    def groups_before(path, required):
        """The groups installed before this file's code runs; None for any group."""
        if "#" in path:
            # A configure preset runs after the installs of the script that configures it.
            path = presets.get(path.split("#", 1)[1], path.split("#", 1)[0])
        script = path if path in installs else next(
            (by for prefix, by in RUN_BY if path.startswith(prefix)), None)
        if script is None and (path.endswith(".cmake") or path.endswith("CMakeLists.txt") or
                               path == "CMakePresets.json"):
            script = BUILD_BY
        if script is None or not required or script not in installs:
            return None
        calls = installs[script]
        # The CMake build must find what it needs on every path through the script.
        if script == BUILD_BY and path != BUILD_BY:
            return set.intersection(*calls) | ASSUMED_GROUPS
        return set().union(*calls) | ASSUMED_GROUPS

    for use in uses:
        entry = entries.get(use.name)
        if entry is None:
            faults.append(f"{use.name}: used in {use.where()} but not declared in scripts/deps.txt")
            continue
        if entry.kind != use.kind:
            faults.append(f"{use.name}: used in {use.where()} as a {use.kind}, declared as a "
                          f"{entry.kind}")
        wanted = groups_before(use.path, use.required)
        if wanted is not None and entry.groups and not entry.groups & wanted:
            faults.append(f"{use.name} (Debian package {entry.package}): used in {use.where()}, "
                          f"where groups {', '.join(sorted(wanted - ASSUMED_GROUPS))} are "
                          f"installed, but declared only in {', '.join(sorted(entry.groups))}")

    for entry in entries.values():
        if not entry.groups & known_groups:
            faults.append(f"{entry.name} (Debian package {entry.package}, {entry.line}): installed "
                          f"by no group" + (f" (its groups {', '.join(sorted(entry.groups))} are "
                                            f"installed by no script)" if entry.groups else ""))

    base = [e for e in entries.values() if "base" in e.groups]
    found = priorities(sorted({e.package for e in base}))
    for entry in base:
        priority, essential = (found.get(entry.package) or ["?", "?"])[:2]
        # A minimal Debian (debootstrap's or mmdebstrap's minbase) is the required set and apt.
        if priority != "required" and essential != "yes" and entry.package != "apt":
            faults.append(f"{entry.name}: its package {entry.package} is in group base, but is "
                          f"not in Debian's required set (priority {priority})")

    checked = 0
    packages = Packages()
    for entry in entries.values():
        files = packages.files(entry.package, depth=2)
        if files is None:
            continue
        checked += 1
        if not provides(entry, files):
            faults.append(f"{entry.name}: the installed package {entry.package} provides no "
                          f"{entry.kind} of that name ({entry.line})")

    for fault in faults:
        print(f"FAIL: {fault}")
    print(f"check_deps: {len(uses)} uses in the sources, {len(entries)} declared entries, "
          f"{checked} checked against their installed packages, groups installed by scripts: "
          f"{', '.join(sorted(installed_groups))}")
    print(f"check_deps: {'passed' if not faults else f'{len(faults)} fault(s)'}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
