#!/usr/bin/env bash
# Builds the reference manual (HTML) from the public headers and the pages in
# docs/ into OUTDIR (default build/docs; open OUTDIR/index.html). Any doxygen
# warning, an undocumented public name among them, fails the run; with
# --warnings-allowed (the build's manual target, cmake/docs.cmake) they are
# printed and the manual is made all the same.
#
# The function index page is generated from the headers on every run: a
# first doxygen pass writes XML of the headers, the Python below turns its
# functions into a Markdown table, and the second pass builds the HTML with
# that page included. So the index lists exactly what the headers declare.
#
# Usage: scripts/docs.sh [--warnings-allowed] [OUTDIR]
set -euo pipefail
warn_as_error=FAIL_ON_WARNINGS
if [ "${1:-}" = --warnings-allowed ]; then
  warn_as_error=NO
  shift
fi
out=${1:-build/docs}
mkdir -p "$out"
out=$(cd "$out" && pwd)
# A fresh manual each time, so pages of removed names do not linger; a
# folder that holds anything but an earlier manual is left alone.
marker=.corvane-manual
if [ -n "$(ls -A "$out")" ] && [ ! -e "$out/$marker" ]; then
  echo "docs.sh: $out is not empty and holds no earlier manual; give an empty folder" >&2
  exit 1
fi
find "$out" -mindepth 1 -delete
touch "$out/$marker"
cd "$(dirname "$0")/.."

if ! command -v doxygen >/dev/null; then
  echo "docs.sh: doxygen is not installed (scripts/deps.sh installs it)" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Pass 1: the headers as XML, warnings off (pass 2 reports them); its
# messages are shown only when it fails.
if ! {
  cat docs/Doxyfile
  echo 'INPUT = include/corvane'
  echo "OUTPUT_DIRECTORY = \"$work\""
  echo 'USE_MDFILE_AS_MAINPAGE ='
  echo 'GENERATE_HTML = NO'
  echo 'GENERATE_XML = YES'
  echo 'XML_OUTPUT = xml'
  echo 'WARNINGS = NO'
  echo 'WARN_IF_UNDOCUMENTED = NO'
  echo 'WARN_AS_ERROR = NO'
} | doxygen - >"$work/pass1.log" 2>&1; then
  cat "$work/pass1.log" >&2
  exit 1
fi

python3 - "$work/xml" "$work/function_index.md" <<'PY'
# Writes the function index: every free function of the public headers,
# subsystem by subsystem, in header and line order, overloads on one line.
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

xml_dir = Path(sys.argv[1])

def flat(node):
    return " ".join("".join(node.itertext()).split()) if node is not None else ""

def cell(text):
    return text.replace("|", "\\|")

index = ET.parse(xml_dir / "index.xml").getroot()
groups = [c.get("refid") for c in index.findall("compound") if c.get("kind") == "group"]
lines = [
    "# Function index {#function_index}",
    "",
    "Every function a game calls, subsystem by subsystem, in the order of its",
    "header. The name leads to the full description; overloads share a line.",
    "This page is generated from the headers each time the manual is built.",
    "",
]
listed = 0
for refid in groups:
    compound = ET.parse(xml_dir / f"{refid}.xml").getroot().find("compounddef")
    rows, seen = [], set()
    members = sorted(compound.iter("memberdef"),
                     key=lambda m: (m.find("location").get("file"), int(m.find("location").get("line"))))
    for member in members:
        name = member.findtext("name")
        kind = member.get("kind")
        # A function returning a function pointer is read as a variable.
        function_pointer = (kind == "variable" and "(*)" in (member.findtext("type") or "")
                            and (member.findtext("argsstring") or "").startswith("("))
        if not (kind == "function" or function_pointer) or name.startswith("operator") or name in seen:
            continue
        seen.add(name)
        header = member.find("location").get("file").removeprefix("include/")
        brief = flat(member.find("briefdescription"))
        rows.append(f"| @ref crv::{name} \"{name}\" | `{header}` | {cell(brief)} |")
    if not rows:
        continue
    title = compound.findtext("title")
    lines += [f"## {title}", "", f"@ref {compound.findtext('compoundname')} \"About {title.lower()}\"", "",
              "| function | header | what it does |", "|---|---|---|"]
    lines += rows + [""]
    listed += len(rows)
if listed == 0:
    sys.exit("docs.sh: no functions found in the headers")
Path(sys.argv[2]).write_text("\n".join(lines) + "\n")
PY

# The examples' screenshots, each under its example's name, since they are
# all called screenshot.png and doxygen copies images by name alone.
mkdir "$work/images"
for shot in examples/*/screenshot.png; do
  name=${shot#examples/}
  cp "$shot" "$work/images/${name%%/*}.png"
done

# Pass 2: the HTML, warnings as errors unless allowed.
{
  cat docs/Doxyfile
  echo "WARN_AS_ERROR = $warn_as_error"
  echo "IMAGE_PATH = \"$work/images\""
  echo "INPUT += \"$work/function_index.md\""
  echo "OUTPUT_DIRECTORY = \"$out\""
} | doxygen -
echo "Reference manual: $out/index.html"
