#!/usr/bin/env python3
"""Includes point downwards: the layers and the few upward includes that
docs/architecture.md lists are the only ones the tree may have.

    layers_test.py SOURCE_DIR
"""
import os, re, sys

root = sys.argv[1]
doc = open(os.path.join(root, "docs/architecture.md"), encoding="utf-8").read()
layers_block = re.search(r"```layers\n(.*?)```", doc, re.S).group(1).split("\n")
order = layers_block[0].split()
hosts = layers_block[1].split(":", 1)[1].split()
rank = {name: i for i, name in enumerate(order)}
rank.update({name: len(order) for name in hosts})
allowed = {tuple(line.split(" -> ")) for line in
           re.search(r"```upward\n(.*?)```", doc, re.S).group(1).strip().split("\n")}

failures = []
src = os.path.join(root, "src")
for folder in sorted(os.listdir(src)):
    if os.path.isdir(os.path.join(src, folder)) and folder not in rank:
        failures.append(f"src/{folder} is not in the layers of docs/architecture.md")
seen = set()
for dirpath, _, files in os.walk(src):
    for name in sorted(files):
        path = os.path.join(dirpath, name)
        relative = os.path.relpath(path, src)
        layer = relative.split(os.sep)[0]
        for include in re.findall(r'^#include "([^"]+)"', open(path, encoding="utf-8").read(), re.M):
            target = include.split("/")[0]
            if target == "chkimport" or target not in rank or layer not in rank:
                continue
            if rank[target] > rank[layer] or (target in hosts and target != layer):
                if (relative, include) in allowed:
                    seen.add((relative, include))
                else:
                    failures.append(f"src/{relative} includes {include}, a layer above its own")
for stale in sorted(allowed - seen):
    failures.append(f"docs/architecture.md lists {stale[0]} -> {stale[1]}, which is no longer there")

for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
