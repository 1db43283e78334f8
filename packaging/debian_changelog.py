#!/usr/bin/env python3
"""Writes the Debian package's changelog from the project's CHANGELOG.md.

CHANGELOG.md is the one record of what each release holds: "## [VERSION] -
YYYY-MM-DD" headings, "### Added" / "### Changed" / "### Fixed" sections and
"- " items. Each release becomes one Debian changelog entry, newest first,
its items as "* Section: text" wrapped at 78 columns with the Markdown marks
taken out, signed by the maintainer on the release's date. An
"[Unreleased]" section is left out.

The newest release in CHANGELOG.md must be VERSION, the version the package
is built as: a version raised without its changelog entry stops the build.

Usage: debian_changelog.py CHANGELOG.md PACKAGE VERSION MAINTAINER OUTPUT
"""
import datetime
import email.utils
import re
import sys
import textwrap

RELEASE = re.compile(r"^## \[([^\]]+)\](?: - (\d{4})-(\d{2})-(\d{2}))?\s*$")
SECTION = re.compile(r"^### (.+?)\s*$")


def plain(text):
    """Markdown inline marks out: links keep their text, code and emphasis their words."""
    text = re.sub(r"\[([^\]]+)\]\([^)]*\)", r"\1", text)
    return re.sub(r"[`*]", "", text)


def releases(lines):
    """[(version, date, [(section, item text)])] in the file's order."""
    found, release, section, item = [], None, None, None

    def finish_item():
        if release is not None and item is not None:
            release[2].append((section, plain(" ".join(item))))

    for number, line in enumerate(lines, 1):
        heading = RELEASE.match(line)
        if heading:
            finish_item()
            item, section = None, None
            version = heading.group(1)
            if version.lower() == "unreleased":
                release = None
                continue
            if not heading.group(2):
                raise ValueError(f"line {number}: release {version} has no date")
            date = datetime.date(*(int(heading.group(i)) for i in (2, 3, 4)))
            release = (version, date, [])
            found.append(release)
            continue
        if release is None:
            continue
        heading = SECTION.match(line)
        if heading:
            finish_item()
            item, section = None, heading.group(1)
        elif line.startswith("- "):
            finish_item()
            if section is None:
                raise ValueError(f"line {number}: an item outside a section")
            item = [line[2:].strip()]
        elif line.startswith("  ") and line.strip() and item is not None:
            item.append(line.strip())
        elif line.strip():
            finish_item()
            item = None
    finish_item()
    return found


def entry(package, version, date, items, maintainer):
    lines = [f"{package} ({version}) unstable; urgency=medium", ""]
    for section, text in items:
        lines += textwrap.wrap(f"{section}: {text}", width=78, initial_indent="  * ",
                               subsequent_indent="    ", break_on_hyphens=False)
    noon = datetime.datetime.combine(date, datetime.time(12, 0), datetime.timezone.utc)
    lines += ["", f" -- {maintainer}  {email.utils.format_datetime(noon)}", ""]
    return "\n".join(lines)


def main():
    if len(sys.argv) != 6:
        sys.exit(__doc__.strip().splitlines()[-1])
    source, package, version, maintainer, output = sys.argv[1:]
    try:
        with open(source, encoding="utf-8") as f:
            found = releases(f.read().splitlines())
    except (OSError, ValueError) as error:
        sys.exit(f"debian_changelog.py: {source}: {error}")
    if not found or found[0][0] != version:
        newest = found[0][0] if found else "none"
        sys.exit(f"debian_changelog.py: {source}: the newest release is {newest}, "
                 f"the package is {version}: write its entry first")
    for release_version, _, items in found:
        if not items:
            sys.exit(f"debian_changelog.py: {source}: release {release_version} lists nothing")
    text = "\n".join(entry(package, v, d, items, maintainer) for v, d, items in found)
    with open(output, "w", encoding="utf-8") as out:
        out.write(text)


if __name__ == "__main__":
    main()
