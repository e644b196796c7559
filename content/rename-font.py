#!/usr/bin/env python3
"""Writes a copy of a TrueType font as the regular face of another family.

    rename-font.py IN OUT FAMILY

Every name record that names the family or the face (family, style, unique
id, full name, PostScript name, typographic family and style, and the
records that would still carry the old family) is rewritten, so fontconfig
lists OUT under FAMILY alone. The face is marked as the family's regular
style (weight 400, neither bold nor italic) whatever the glyphs look like,
so a page that asks for FAMILY in normal weight and style gets exactly
this face. The copyright and licence records are kept as they are.

The output depends on the input alone: the creation and modification dates
in 'head' are the input's, so the same input always gives the same bytes.
"""
import os
import sys

from fontTools.ttLib import TTFont

STYLE = "Regular"

# Names that identify the family or the face.
FAMILY = 1
SUBFAMILY = 2
UNIQUE_ID = 3
FULL_NAME = 4
VERSION = 5
POSTSCRIPT_NAME = 6
TYPOGRAPHIC_FAMILY = 16
TYPOGRAPHIC_SUBFAMILY = 17
# These would still name the old family, and have nothing to say for a
# one-face family: the Macintosh compatible full name, the WWS family and
# style, and the prefix of variation instance names.
DROPPED = (18, 21, 22, 25)

# Bits of OS/2 fsSelection and of head macStyle.
FS_ITALIC, FS_BOLD, FS_REGULAR, FS_OBLIQUE = 1 << 0, 1 << 5, 1 << 6, 1 << 9
MAC_BOLD, MAC_ITALIC = 1 << 0, 1 << 1


def postscript_name(family):
    # Printable ASCII without blanks and the characters PostScript reserves.
    kept = "".join(c for c in family if 33 <= ord(c) <= 126 and c not in "[](){}<>/%")
    return f"{kept}-{STYLE}"[:63]


def rename(source, target, family):
    font = TTFont(source, recalcTimestamp=False)
    names = font["name"]
    old_postscript = names.getDebugName(POSTSCRIPT_NAME) or "?"
    version = names.getDebugName(VERSION) or "?"
    postscript = postscript_name(family)

    values = {
        FAMILY: family,
        SUBFAMILY: STYLE,
        UNIQUE_ID: f"{postscript}; {version}; made from {old_postscript}",
        FULL_NAME: family,  # the regular face's full name is the family's
        POSTSCRIPT_NAME: postscript,
        TYPOGRAPHIC_FAMILY: family,
        TYPOGRAPHIC_SUBFAMILY: STYLE,
    }
    # Every platform, encoding and language that named the family names the new one.
    places = sorted({(r.platformID, r.platEncID, r.langID) for r in names.names if r.nameID == FAMILY})
    if not places:
        raise ValueError(f"{source} has no family name to replace")
    for name_id in (*values, *DROPPED):
        names.removeNames(nameID=name_id)
    for name_id, value in values.items():
        for place in places:
            names.setName(value, name_id, *place)

    os2 = font["OS/2"]
    os2.usWeightClass = 400
    os2.fsSelection = (os2.fsSelection & ~(FS_ITALIC | FS_BOLD | FS_OBLIQUE)) | FS_REGULAR
    font["head"].macStyle &= ~(MAC_BOLD | MAC_ITALIC)

    # A failed run leaves no half-written font behind for the build to take.
    partial = target + ".part"
    font.save(partial)
    os.replace(partial, target)


def main(argv):
    if len(argv) != 4:
        print("usage: rename-font.py IN OUT FAMILY", file=sys.stderr)
        return 2
    source, target, family = argv[1:]
    # The Macintosh records are Mac Roman, so the family stays plain ASCII.
    if not family.strip() or not family.isascii() or not family.isprintable():
        print(f"rename-font.py: the family must be printable ASCII, not {family!r}", file=sys.stderr)
        return 2
    try:
        rename(source, target, family)
    except (OSError, KeyError, ValueError) as error:
        print(f"rename-font.py: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
