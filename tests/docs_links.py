#!/usr/bin/env python3
"""The links of the README and the manual (docs/*.md): every page of the
manual is linked from the README, and every relative link of either, to a
file or to a heading (#anchor, as the repository's web view names headings),
leads somewhere.

Usage: docs_links.py SOURCE_ROOT
"""
import re
import sys
from pathlib import Path

LINK = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)\)")
FENCE = re.compile(r"^\s*(```|~~~)")
# A code span: a run of backticks to the next run as long, within a paragraph.
CODE_SPAN = re.compile(r"(`+)(?:(?!\n\s*\n).)*?\1", re.DOTALL)


def prose_lines(text):
    """(line number, line) outside fenced blocks, with code spans blanked
    (their line breaks kept)."""
    fenced = False
    prose = []
    for line in text.splitlines():
        if FENCE.match(line):
            fenced = not fenced
            line = ""
        prose.append("" if fenced else line)
    blanked = CODE_SPAN.sub(lambda span: "\n" * span.group(0).count("\n"), "\n".join(prose))
    yield from enumerate(blanked.split("\n"), 1)


def anchors(text):
    """The anchors of a page's headings: lowercase, punctuation dropped but
    '-' and '_', spaces as '-', a repeated one numbered from -1."""
    seen = {}
    names = set()
    for _, line in prose_lines(text.replace("`", "")):
        heading = re.match(r"^#{1,6}\s+(.*?)\s*#*\s*$", line)
        if not heading:
            continue
        slug = re.sub(r"[^\w\- ]", "", heading.group(1).lower()).replace(" ", "-")
        count = seen.get(slug, 0)
        seen[slug] = count + 1
        names.add(slug if count == 0 else f"{slug}-{count}")
    return names


def main():
    root = Path(sys.argv[1]).resolve()
    readme = root / "README.md"
    pages = sorted((root / "docs").glob("*.md"))
    failures = []
    linked_from_readme = set()
    texts = {}

    def text_of(path):
        if path not in texts:
            texts[path] = path.read_text(encoding="utf-8")
        return texts[path]

    for page in [readme] + pages:
        name = page.relative_to(root).as_posix()
        for number, line in prose_lines(text_of(page)):
            for target in LINK.findall(line):
                if re.match(r"^[a-z][a-z0-9+.-]*:", target):
                    continue  # http:, https:, mailto:
                where = f"{name}:{number}: {target}"
                file_part, _, anchor = target.partition("#")
                destination = (page.parent / file_part).resolve() if file_part else page
                try:
                    relative = destination.relative_to(root).as_posix()
                except ValueError:
                    failures.append(f"{where}: leads out of the source tree")
                    continue
                if page == readme:
                    linked_from_readme.add(relative)
                if not destination.exists():
                    failures.append(f"{where}: no such file")
                    continue
                if anchor and destination.suffix == ".md":
                    if anchor not in anchors(text_of(destination)):
                        failures.append(f"{where}: {relative} has no heading #{anchor}")

    for page in pages:
        relative = page.relative_to(root).as_posix()
        if relative not in linked_from_readme:
            failures.append(f"README.md: no link to {relative}")

    for failure in failures:
        print(failure)
    if failures:
        print(f"{len(failures)} link fault(s) in the README and docs/")
        return 1
    print("docs links: the README links every page of docs/ and every link leads somewhere")
    return 0


if __name__ == "__main__":
    sys.exit(main())
