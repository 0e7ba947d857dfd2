#!/usr/bin/env python3
"""Checks that every C and C++ source of the tree is formatted by the project's .clang-format:
clang-format --dry-run --Werror over all of them, which names each file and line that differs.

Usage: check_format.py --root DIR. Exits 1 if any file is not formatted.
"""

import argparse
import os
import subprocess
import sys

SUFFIXES = (".c", ".cpp", ".h")


def sources(root):
    """The sources under root, leaving out build directories and hidden ones."""
    found = []
    for folder, folders, files in os.walk(root):
        folders[:] = sorted(name for name in folders
                            if not name.startswith((".", "build")) and name != "node_modules")
        found += [os.path.join(folder, name) for name in sorted(files) if name.endswith(SUFFIXES)]
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    root = os.path.abspath(parser.parse_args().root)
    files = sources(root)
    if not files:
        print(f"check_format: no sources under {root}")
        return 1
    done = subprocess.run(["clang-format", "--dry-run", "--Werror", *files], cwd=root,
                          check=False)
    print(f"check_format: {len(files)} files, "
          f"{'all formatted' if done.returncode == 0 else 'some not formatted (above)'}")
    return 0 if done.returncode == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
