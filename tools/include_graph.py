#!/usr/bin/env python3
"""Prints the include graph of src/ by module (a header and its .cpp count as one) and checks it:
modules include only their own layer or those below (platform <- board <- eval <- search <-
shell), and no chain of includes leads from a module back to itself. Exits 1 when either rule is
broken."""
import pathlib
import re
import sys

LAYERS = ["platform", "board", "eval", "search", "shell"]
root = pathlib.Path(__file__).resolve().parent.parent / "src"

graph = {}
for path in sorted(root.rglob("*")):
    if path.suffix not in (".h", ".cpp"):
        continue
    module = str(path.relative_to(root).with_suffix(""))
    deps = graph.setdefault(module, set())
    for line in path.read_text().splitlines():
        m = re.match(r'\s*#\s*include\s+"([^"]+)\.h"', line)
        if m and m.group(1) != module:
            deps.add(m.group(1))

faults = []
for module, deps in sorted(graph.items()):
    print(f"{module} -> {' '.join(sorted(deps)) or '(none)'}")
    layer = LAYERS.index(module.split("/")[0])
    for dep in deps:
        if LAYERS.index(dep.split("/")[0]) > layer:
            faults.append(f"upward include: {module} -> {dep}")

# Depth-first search for a cycle; the path on the stack names it.
state = {}
def visit(module, stack):
    state[module] = "open"
    stack.append(module)
    for dep in sorted(graph.get(module, ())):
        if state.get(dep) == "open":
            faults.append("circle: " + " -> ".join(stack[stack.index(dep):] + [dep]))
        elif dep not in state:
            visit(dep, stack)
    stack.pop()
    state[module] = "done"

for module in sorted(graph):
    if module not in state:
        visit(module, [])

for fault in faults:
    print(fault)
print(f"{len(graph)} modules, {sum(map(len, graph.values()))} includes, {len(faults)} faults")
sys.exit(1 if faults else 0)
