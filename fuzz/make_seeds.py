#!/usr/bin/env python3
"""Writes the seed corpus: small, marker-rich documents for every field and a few MaxLen."""
import hashlib
import os
import struct

DOCS = [
    b"<title>A&nbsp;B</title><h1>x<h1>y</h1><h2></h2>",
    b"<TITLE>\xc0\xe1 \xb8\xbf</title>",
    b"<meta name=description content=\"Fast cars\"><meta name=keywords content='a, b'>",
    b"<meta name=\"Description\" content=\"q\"><meta\r\n  name='keywords'  content = x=y >",
    b"<meta name=description>\n<meta name=description content=\"D\" />",
    b"<metadata name=keywords a=b content=\"cars\"><meta\tname=description content=z>",
    b"<a href=\"http://x\">a</a><a href=https://y><a href='//z'><a href=mailto:m@x>",
    b"<a title=\"<a href=b>\" href=a.htm#top><a href=c d.htm><a href=\"?q\"><a href=#>",
    b"<a href=d><a href=d/e.htm?x=1#f><a href=javascript:x()><area href=nope.htm><abbr>",
    b"<a data-href=\"b\" href=zz><a href= b x><a href=\"x>y\"><a href=>",
    b"<a href=\"tel:1\"><a href=\"1x:y\"><a href=ab#:><a href=missing.htm><a href=b",
    b"a\r\nb<p>c<BR>d<br/>e<<b>>f>g<!-- x > y -->h\r\r\n\n<i",
    b"&nbsp;<p><P></p>\x00z<q>",
    b"<noindex>A</noindex>x<NOINDEX>C</noindex><noindex class=x>D</noindex>",
    b"<noindex>A<noindex>B</noindex>C</noindex><noindex> <b> w </b> </noindex>",
    b"<noindex>\r</noindex><noindex>\na\r\nb\x00c</noindex><noindex><x</noindex>",
    b"<noindex>&laquo;x&raquo;&quot;&nbsp;&ndash;&mdash;&amp;&NBSP;</noindex>",
    b"<a<a<a<a href=\"<a\" x<a href=q",
    b"<meta<meta<meta name=keywords content=k<meta>",
    b"<><><b><b>x<>",
    b"<noindex><noindex><noindex></noindex><noindex>",
    "<title>Дом — café &laquo;x&raquo;</title><h1>Ж&mdash;</h1>".encode(),
    "<meta name=description content='Дом \r\n мир'><noindex>Дом</noindex>\xc4".encode()
    + b"<noindex>\xc4\x98\xee</noindex>",
    b"<title>\xd0\x94\xc4</title><h2>\xe2\x80\x94\xed\xa0\x80\xf0\x9d\x84\x9e\xc0\xaf</h2>",
    "<noindex>Ж<noindex>ЖЖ</noindex>—</noindex><a href=дом.html>".encode(),
]
FIELDS = list(range(-1, 19))
MAX_LENS = [1024, 0, 1, 2, 5]


def seed(field, max_len, doc, html):
    selector = (field + 1) | (0x80 if html else 0)
    return bytes([selector]) + struct.pack("<H", max_len + 2) + doc


def main():
    here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
    os.makedirs(here, exist_ok=True)
    seeds = []
    for field in FIELDS:
        for i, doc in enumerate(DOCS):
            seeds.append(seed(field, MAX_LENS[i % len(MAX_LENS)], doc, True))
    seeds.append(seed(0, 10, b"x" * 53 + b"<html>", False))
    seeds.append(seed(0, 10, b"x" * 54 + b"<html>", False))
    seeds.append(seed(3, 10, b"<HtMl><meta name=description content=a>", False))
    for data in seeds:
        name = hashlib.sha1(data).hexdigest()
        with open(os.path.join(here, name), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main()
