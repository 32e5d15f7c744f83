#!/usr/bin/env python3
"""Writes a site of N pages of about 20 KB each, for timing the pagefields command line.

    python3 bench/cli_site.py FOLDER [PAGES]

Pages are Windows-1251 text with every kind of field: title, meta description and keywords,
headings, a navigation bar of the same twelve links on every page, web, mail and internal
links to random pages (one page in fifty also to a missing file), noindex blocks and
entities. They sit 100 to a folder, in folders two levels deep. The same arguments give the
same site.
"""
import os
import random
import sys

WORDS = ("garage engine brake tyre wheel speed fast tuned tested road "
         "гараж двигатель тормоз шина колесо скорость дорога машина").split()


def words(rng, count):
    return " ".join(rng.choice(WORDS) for _ in range(count))


def page(rng, index, pages):
    parts = [
        "<HTML>\n<head>\n<title>Page %d &laquo;%s&raquo;</title>\n" % (index, words(rng, 4)),
        '<meta name="description" content="%s &ndash; %s">\n' % (words(rng, 8), words(rng, 4)),
        '<meta name="keywords" content="%s">\n</head>\n<body>\n' % ", ".join(
            rng.choice(WORDS) for _ in range(6)),
        "<h1>%s</h1>\n<h2>%s</h2>\n" % (words(rng, 5), words(rng, 3)),
    ]
    for section in range(12):
        first = section * 100 % pages
        parts.append('<a href="../%02d/p%05d.html">section %d</a>\n' % (
            first // 100 % 100, first, section))
    size = sum(map(len, parts))
    while size < 20000:
        kind = rng.randrange(10)
        if kind < 7:
            piece = "<p>%s&nbsp;%s</p>\n" % (words(rng, 20), words(rng, 10))
        elif kind == 7:
            target = rng.randrange(pages)
            piece = '<a href="../%02d/p%05d.html">%s</a>\n' % (target // 100 % 100, target,
                                                               words(rng, 3))
        elif kind == 8:
            piece = '<a href="https://example.com/%d">%s</a> <a href="mailto:shop@example.com">' \
                    'mail</a>\n' % (rng.randrange(1000), words(rng, 2))
        else:
            piece = "<noindex><p>%s &mdash; %s</p></noindex>\n" % (words(rng, 6), words(rng, 3))
        parts.append(piece)
        size += len(piece)
    if index % 50 == 0:
        parts.append('<a href="missing-%d.html">gone</a>\n' % index)
    parts.append("</body>\n</HTML>\n")
    return "".join(parts).encode("cp1251")


def main():
    folder = sys.argv[1]
    pages = int(sys.argv[2]) if len(sys.argv) > 2 else 10000
    rng = random.Random(20261209)
    for index in range(pages):
        sub = os.path.join(folder, "%02d" % (index // 10000), "%02d" % (index // 100 % 100))
        os.makedirs(sub, exist_ok=True)
        with open(os.path.join(sub, "p%05d.html" % index), "wb") as out:
            out.write(page(rng, index, pages))


if __name__ == "__main__":
    main()
