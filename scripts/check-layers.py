#!/usr/bin/env python3
"""Fails when an include in the engine's sources points to a higher layer.

The layer order is read from docs/architecture.md, from its line

    Layer order (top to bottom): cli -> engine -> maint -> db -> log -> config -> platform -> base

Every quoted include ("db/db_queries.h", "zarezodud/engine/ini_file_processor.h") is placed in
the layer of its first path component (after an optional leading "zarezodud/", the public
header folder, whose paths mirror src/); an include without a folder stays in the including
file's own folder. A file in src/<layer>/... or in cli/ may include its own layer and the layers
below it, nothing above. export.h, the export macro, sits on the ground floor with base.

Usage: scripts/check-layers.py [ROOT]     (ROOT defaults to the checkout holding this script)
Exit status 0 when every include runs downwards, 1 with one line per offending include
(file:line: what it includes, which layer it is on) otherwise, 2 when the order is unreadable.
"""
import pathlib
import re
import sys

ORDER_LINE = re.compile(r"Layer order \(top to bottom\):\s*(.+)$")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def read_order(root: pathlib.Path):
    doc = root / "docs" / "architecture.md"
    try:
        text = doc.read_text(encoding="utf-8")
    except OSError as error:
        sys.exit(f"check-layers: cannot read {doc}: {error.strerror}")
    for line in text.splitlines():
        match = ORDER_LINE.search(line.replace("`", ""))
        if match:
            layers = [name.strip() for name in match.group(1).split("->")]
            if len(layers) >= 2 and all(re.fullmatch(r"[a-z_]+", name) for name in layers):
                return layers
    print(f"check-layers: no 'Layer order (top to bottom): a -> b -> ...' line in {doc}", file=sys.stderr)
    sys.exit(2)


def layer_of_path(relative: pathlib.PurePath, layers):
    """The layer of a source file, from its place under src/ or cli/; None when it has none."""
    parts = relative.parts
    if parts[0] == "cli":
        return "cli"
    if parts[0] == "src" and len(parts) >= 2:
        if parts[1] == "export.h":
            return layers[-1]
        if parts[1] in layers:
            return parts[1]
    if parts[0] == "include" and len(parts) >= 3 and parts[1] == "zarezodud":
        if parts[2] == "export.h":
            return layers[-1]
        if parts[2] in layers:
            return parts[2]
    return None


def layer_of_include(target: str, own_layer: str, layers):
    parts = target.split("/")
    if parts[0] == "zarezodud" and len(parts) >= 2:
        parts = parts[1:]
    if len(parts) == 1:
        return layers[-1] if parts[0] == "export.h" else own_layer
    return parts[0] if parts[0] in layers else None


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    layers = read_order(root)
    rank = {name: index for index, name in enumerate(layers)}
    problems = []
    checked = 0
    for folder in ("src", "cli", "include"):
        base = root / folder
        if not base.is_dir():
            continue
        for path in sorted(base.rglob("*")):
            if path.suffix not in (".h", ".cc", ".hpp", ".cpp") or not path.is_file():
                continue
            relative = path.relative_to(root)
            own = layer_of_path(relative, layers)
            if own is None:
                continue
            checked += 1
            for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                target_layer = layer_of_include(match.group(1), own, layers)
                if target_layer is not None and rank[target_layer] < rank[own]:
                    problems.append(f"{relative}:{number}: includes \"{match.group(1)}\" from layer "
                                    f"{target_layer}, above {own}")
    for problem in problems:
        print(problem)
    if problems:
        print(f"check-layers: {len(problems)} include(s) run up the layers "
              f"({' -> '.join(layers)})", file=sys.stderr)
        return 1
    print(f"check-layers: {checked} files, every include runs down ({' -> '.join(layers)})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
