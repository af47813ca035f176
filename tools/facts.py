#!/usr/bin/env python3
"""The product's facts the tools, tests and scripts need, read where they are defined: the C++
headers (texts in Windows-1251, given here decoded; numbers; format strings) and the build's
settings. Nothing else restates them.

    tools/facts.py OUT.json [NAME=VALUE...]   writes them all, with the build's settings given
                                              (the build does, into its own folder)
    tools/facts.py NAME [FACTS.json]          prints one (from the build's file when given)
    tools/facts.py --inputs                   the files they are read from
    tools/facts.py --dict NAME...             texts as libFuzzer dictionary entries

From Python: facts.load() (or facts.load(build_dir), which reads the build's file) returns a
dict keyed by the constants' own names: facts.load()["TitleText"].
"""
import json
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
HEADERS = {
    "app/Texts.h": ["TitleText", "Label3Initial", "Label4Initial", "Label4Acknowledged",
                    "TotalPrefix", "NewPrefix", "StampPrefix", "PageFileName", "IndexPath"],
    "app/Scanner.h": ["TotalMarker", "UsersMarker"],
    "app/Watcher.h": ["WatcherWindow", "StatusLabel", "UserList", "TotalLabel", "CounterLabel",
                      "WatcherTray"],
    "toolkit/window/Win.h": ["TrayCallbackMsg", "WinClassNameFormat"],
}
# The build's settings, with the defaults their CMake files give them.
SETTINGS = {"CMakeLists.txt": ["FORUM_SITE_ROOT"]}
CODE_PAGE = "cp1251"

_CONSTANT = re.compile(r"constexpr\s+[\w:]+\s+(\w+)(?:\[\])?\s*=\s*(.*?);", re.S)
_LITERAL = re.compile(r'"((?:[^"\\]|\\.)*)"')
_ESCAPE = re.compile(rb"\\(x[0-9A-Fa-f]{1,2}|.)")


def _c_string(code):
    """The bytes of adjacent C string literals; a \\x escape is one or two digits here, since the
    headers split a literal where a hex digit follows one."""
    raw = b"".join(m.group(1).encode("ascii") for m in _LITERAL.finditer(code))
    simple = {b"n": b"\n", b"t": b"\t", b"0": b"\0"}
    return _ESCAPE.sub(lambda m: bytes([int(m.group(1)[1:], 16)]) if m.group(1)[:1] == b"x"
                       else simple.get(m.group(1), m.group(1)), raw)


def _from_header(path, names):
    found = {m.group(1): m.group(2).strip() for m in _CONSTANT.finditer(
        open(os.path.join(ROOT, path), encoding="utf-8").read())}
    out = {}
    for name in names:
        if name not in found:
            raise KeyError("%s defines no %s" % (path, name))
        value = found[name]
        out[name] = _c_string(value).decode(CODE_PAGE) if value.startswith('"') else int(value, 0)
    return out


def _from_cmake(path, names):
    text = open(os.path.join(ROOT, path), encoding="utf-8").read()
    out = {}
    for name in names:
        m = re.search(r'set\(%s\s+"?([^"\s]*)"?\s+CACHE' % name, text)
        if not m:
            raise KeyError("%s sets no %s" % (path, name))
        out[name] = m.group(1)
    return out


def load(build_dir=None):
    """Every fact; with `build_dir`, as that build wrote them (its settings as configured)."""
    if build_dir:
        with open(os.path.join(build_dir, "facts.json"), encoding="utf-8") as f:
            return _derived(json.load(f))
    facts = {}
    for path, names in HEADERS.items():
        facts.update(_from_header(path, names))
    for path, names in SETTINGS.items():
        facts.update(_from_cmake(path, names))
    return _derived(facts)


def _derived(facts):
    facts["FORUM_PORT"] = port(facts["FORUM_SITE_ROOT"])
    return facts


def port(site_root):
    """The port of an http://host:port/ address."""
    return int(site_root.rsplit(":", 1)[1].strip("/"))


def main(argv):
    if argv[1:2] == ["--dict"]:  # libFuzzer dictionary entries, the texts in Windows-1251
        facts = load()
        for name in argv[2:]:
            print('%s="%s"' % (name, "".join(chr(b) if 32 <= b < 127 and b not in b'"\\' else
                                          "\\x%02X" % b for b in facts[name].encode(CODE_PAGE))))
        return 0
    if argv[1:] == ["--inputs"]:  # what the facts are read from, for the build's dependencies
        print(";".join(list(HEADERS) + list(SETTINGS)))
        return 0
    if len(argv) >= 2 and argv[1].endswith(".json"):
        facts = load()
        for name, value in (setting.split("=", 1) for setting in argv[2:]):
            facts[name] = int(value) if value.isdigit() else value
        _derived(facts)
        with open(argv[1], "w", encoding="utf-8") as f:
            json.dump(facts, f, ensure_ascii=False, indent=1, sort_keys=True)
            f.write("\n")
        return 0
    if len(argv) in (2, 3):
        print(load(os.path.dirname(argv[2]) if len(argv) == 3 else None)[argv[1]])
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
