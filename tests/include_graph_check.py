#!/usr/bin/env python3
"""Fails when the includes of the tree form a circle.

Two graphs are checked: the headers (a header that reaches itself through its includes), and
the library's subsystems (folder A's code includes folder B's while B's includes A's). Tests and
testing helpers may include any subsystem they exercise, so they are left out of the second.

    include_graph_check.py SOURCE_DIR
"""
import pathlib
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
TESTING = re.compile(r"(_test\.(cpp|h)$|/testing/)")


def includes(root, path):
    """The tree's files that `path` includes, as paths relative to root."""
    found = []
    for name in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
        for base in (root, path.parent):
            target = base / name
            if target.is_file():
                found.append(target.resolve().relative_to(root).as_posix())
                break
    return found


def cycle(graph):
    """One circle of the graph as a list of nodes, or None."""
    state = {}
    for start in sorted(graph):
        if start in state:
            continue
        stack = [(start, iter(sorted(graph.get(start, ()))))]
        path = [start]
        state[start] = "open"
        while stack:
            node, edges = stack[-1]
            nxt = next(edges, None)
            if nxt is None:
                state[node] = "done"
                stack.pop()
                path.pop()
            elif state.get(nxt) == "open":
                return path[path.index(nxt):] + [nxt]
            elif nxt not in state:
                state[nxt] = "open"
                stack.append((nxt, iter(sorted(graph.get(nxt, ())))))
                path.append(nxt)
    return None


def main():
    root = pathlib.Path(sys.argv[1]).resolve()
    files = [p for d in ("xrfoundation", "tools", "bench", "fuzz", "examples")
             for p in (root / d).rglob("*") if p.suffix in (".h", ".cpp") and p.is_file()]
    headers, folders = {}, {}
    for path in files:
        rel = path.relative_to(root).as_posix()
        targets = includes(root, path)
        if rel.endswith(".h"):
            headers[rel] = {t for t in targets if t.endswith(".h")}
        parts = rel.split("/")
        if parts[0] == "xrfoundation" and len(parts) > 2 and not TESTING.search(rel):
            for t in targets:
                tparts = t.split("/")
                if tparts[0] == "xrfoundation" and len(tparts) > 2 and tparts[1] != parts[1]:
                    folders.setdefault(parts[1], set()).add(tparts[1])
    failed = False
    for what, graph in (("headers", headers), ("subsystems", folders)):
        found = cycle(graph)
        if found:
            print(f"the {what} include each other: {' -> '.join(found)}")
            failed = True
    if not files or not folders:
        print("no library sources found under", root)
        failed = True
    if not failed:
        print(f"no circle among {len(headers)} headers and {len(folders)} subsystems; "
              + ", ".join(f"{k} -> {' '.join(sorted(v))}" for k, v in sorted(folders.items())))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
