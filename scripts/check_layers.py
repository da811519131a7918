#!/usr/bin/env python3
"""Fails when an include or a link runs upward through the layers of the tree.

The layers, lowest first: the platform layers (platform/), the socket control (winsock/), the
renamer (renamer/), and on top the tools, whole-program tests and benchmarks, which may use
anything. Within each, LAYERS below names the folders a folder may use directly. Qt belongs to
renamer/shell alone: no other folder includes a Qt header or links a Qt target.

Checked: every `#include "..."` of a tracked C++ file that names a file of this tree, and every
target named in a CMakeLists.txt's target_link_libraries(), LIBS of vantel_unit_test() or the
libraries of vantel_fuzz_target(). Test code (unit tests, fuzzers, test support and test doubles)
may in addition use the shared test support in tools/testsupport.

Usage: scripts/check_layers.py [ROOT]   (exit 0 clean, 1 with one line per violation)
"""

import os
import re
import subprocess
import sys

PLATFORM = ["platform/registry", "platform/user", "platform/com", "platform/ws2", "platform/shell",
            "platform/netif"]
CONTROL_BASE = ["winsock/ocx/base"]
# The control's public contract: its error codes and its interface. A host (the renamer) may use
# these, never the control's implementation.
CONTROL_PUBLIC = CONTROL_BASE + ["winsock/ocx/interface"]
RENAMER_LOW = ["renamer/common", "renamer/http", "renamer/lookup", "renamer/engine"]

# Folder -> folders it may include or link, besides itself. A folder not listed (and not under
# a top folder) is an error, so a new folder has to take its place in the map.
LAYERS = {
    "platform/registry": [],
    "platform/user": [],
    "platform/com": ["platform/registry", "platform/user"],
    "platform/ws2": ["platform/user"],
    "platform/shell": ["platform/user", "platform/registry"],
    "platform/netif": [],
    "winsock/ocx/base": PLATFORM,
    "winsock/ocx/interface": PLATFORM + CONTROL_BASE,
    "winsock/trace": PLATFORM + CONTROL_BASE,
    "winsock/ocx/binding": PLATFORM + CONTROL_BASE + ["winsock/trace"],
    "winsock/ocx/socket": PLATFORM + CONTROL_BASE + ["winsock/ocx/binding"],
    "winsock/ocx/secure": PLATFORM + CONTROL_BASE + ["winsock/ocx/binding", "winsock/ocx/socket"],
    "winsock/ocx": PLATFORM + CONTROL_PUBLIC + ["winsock/ocx/binding", "winsock/ocx/socket",
                                               "winsock/ocx/secure", "winsock/trace"],
    "winsock": [],
    "renamer/common": PLATFORM,
    "renamer/http": PLATFORM + CONTROL_PUBLIC + ["renamer/common"],
    "renamer/lookup": PLATFORM + CONTROL_PUBLIC + ["renamer/common", "renamer/http"],
    "renamer/engine": PLATFORM + CONTROL_PUBLIC + ["renamer/common", "renamer/http",
                                                 "renamer/lookup"],
    "renamer/cli": PLATFORM + CONTROL_PUBLIC + RENAMER_LOW,
    "renamer/shell": PLATFORM + CONTROL_PUBLIC + RENAMER_LOW,
    "renamer": [],
    "platform": [],
}
TOP = ("tools", "tests", "bench")  # may use anything
TEST_SUPPORT = "tools/testsupport"
QT_FOLDER = "renamer/shell"

TEST_FILE = re.compile(r"(_test\.cpp|_fuzz\.cpp|_test\.h|test_support\.h|/test_[^/]*|"
                       r"/fake_[^/]*|_bench\.cpp)$")
TEST_TARGET = re.compile(r"(_test|_fuzz|testpeer|testserver|_stub|ws2stub|test_server)$")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
QT_HEADER = re.compile(r"^(Q[A-Z]\w*|Qt\w*/|QtCore|QtGui|QtWidgets|QtTest)")


def layer_of(path, folders):
    """The deepest folder of the map that holds path, or None."""
    parts = path.split("/")
    for n in range(len(parts) - 1, 0, -1):
        folder = "/".join(parts[:n])
        if folder in folders:
            return folder
    return None


def allowed(src_folder, dst_folder, is_test):
    if src_folder == dst_folder or src_folder.split("/")[0] in TOP:
        return True
    if is_test and dst_folder.startswith(TEST_SUPPORT):
        return True
    if dst_folder.split("/")[0] in TOP:
        return False
    return dst_folder in LAYERS.get(src_folder, [])


def tracked(root, patterns):
    out = subprocess.run(["git", "-C", root, "ls-files", "--cached", "--others",
                          "--exclude-standard", *patterns],
                         check=True, capture_output=True, text=True).stdout
    return [p for p in out.split("\n") if p and os.path.exists(os.path.join(root, p))]


def folders_of_tree(root, files):
    folders = set(LAYERS)
    for f in files:
        d = os.path.dirname(f)
        if d.split("/")[0] in TOP:
            folders.add(d)
    return folders


def check_includes(root, sources, folders, errors):
    for src in sources:
        src_folder = layer_of(src, folders)
        if src_folder is None:
            if src.split("/")[0] in ("platform", "winsock", "renamer"):
                errors.append(f"{src}: folder has no place in the layer map of "
                              f"scripts/check_layers.py")
            continue
        is_test = bool(TEST_FILE.search(src))
        with open(os.path.join(root, src), encoding="utf-8", errors="replace") as fh:
            text = fh.read()
        for m in INCLUDE.finditer(text):
            kind, name = m.group(1), m.group(2)
            line = text.count("\n", 0, m.start()) + 1
            if kind == "<" and QT_HEADER.match(name) and src_folder != QT_FOLDER:
                errors.append(f"{src}:{line}: Qt header <{name}> outside {QT_FOLDER}")
                continue
            if kind != '"' or not os.path.exists(os.path.join(root, name)):
                continue
            dst_folder = layer_of(name, folders)
            if dst_folder and not allowed(src_folder, dst_folder, is_test):
                errors.append(f"{src}:{line}: includes {name} ({src_folder} may not use "
                              f"{dst_folder})")


LINK_CALL = re.compile(r"\b(target_link_libraries|vantel_unit_test|vantel_fuzz_target)\s*\(",
                       re.I)
DEFINE = re.compile(r"\badd_(library|executable)\s*\(\s*([\w.-]+)", re.I)


def call_args(text, start):
    """The text between the parenthesis opened just before start and its match."""
    depth, i = 1, start
    while i < len(text) and depth:
        depth += {"(": 1, ")": -1}.get(text[i], 0)
        i += 1
    body = re.sub(r"#[^\n]*", "", text[start:i - 1])
    return body.split()


def check_links(root, cmake_files, folders, errors):
    owner = {}  # target -> folder of the CMakeLists.txt that defines it
    texts = {}
    for cm in cmake_files:
        with open(os.path.join(root, cm), encoding="utf-8") as fh:
            texts[cm] = fh.read()
        folder = os.path.dirname(cm) or "."
        for m in DEFINE.finditer(texts[cm]):
            owner[m.group(2)] = folder
        for m in re.finditer(r"\bvantel_(unit_test|fuzz_target)\s*\(\s*([\w.-]+)", texts[cm]):
            owner[m.group(2)] = folder
    for cm, text in texts.items():
        folder = os.path.dirname(cm) or "."
        src_folder = layer_of(cm, folders) if folder != "." else None
        for m in LINK_CALL.finditer(text):
            args = call_args(text, m.end())
            if not args:
                continue
            kind = m.group(1).lower()
            if kind == "vantel_unit_test":
                target = args[0]
                libs = args[args.index("LIBS") + 1:] if "LIBS" in args else []
            elif kind == "vantel_fuzz_target":
                target, libs = args[0], args[2:]
            else:
                target, libs = args[0], args[1:]
            is_test = kind != "target_link_libraries" or bool(TEST_TARGET.search(target))
            line = text.count("\n", 0, m.start()) + 1
            for lib in libs:
                if lib.startswith("Qt6::") or lib.startswith("Qt::"):
                    if src_folder != QT_FOLDER:
                        errors.append(f"{cm}:{line}: {target} links {lib} outside {QT_FOLDER}")
                    continue
                if lib not in owner or src_folder is None:
                    continue
                dst_folder = layer_of(owner[lib] + "/CMakeLists.txt", folders)
                if dst_folder and not allowed(src_folder, dst_folder, is_test):
                    errors.append(f"{cm}:{line}: {target} links {lib} ({src_folder} may not "
                                  f"use {dst_folder})")


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    root = os.path.abspath(root)
    sources = tracked(root, ["*.cpp", "*.h"])
    cmake_files = tracked(root, ["CMakeLists.txt", "*/CMakeLists.txt"])
    folders = folders_of_tree(root, sources + cmake_files)
    errors = []
    check_includes(root, sources, folders, errors)
    check_links(root, cmake_files, folders, errors)
    for e in errors:
        print(e)
    if errors:
        print(f"check_layers: {len(errors)} upward dependencies")
        return 1
    print(f"check_layers: {len(sources)} files and {len(cmake_files)} CMake lists keep the layers")
    return 0


if __name__ == "__main__":
    sys.exit(main())
