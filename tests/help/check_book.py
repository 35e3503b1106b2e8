#!/usr/bin/env python3
"""Checks the help book: every page is in the contents, every link and
picture inside the book leads to a file (and anchor) that exists, every
picture is used; and, given the compiled book, that it is a CHM file holding
every page.

  check_book.py <help folder> --pages a.html|b.html [--chm <file.chm> [--chmls <chmls>]]
"""
import argparse
import html.parser
import os
import re
import subprocess
import sys
import urllib.parse

passes = 0
failures = 0


def check(what, ok, detail=""):
    global passes, failures
    if ok:
        passes += 1
        print("PASS: " + what)
    else:
        failures += 1
        print("FAIL: " + what + (": " + detail if detail else ""))


class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.links = []  # (tag, attribute, value)
        self.ids = set()
        self.title = None
        self._in_title = False

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if name in ("href", "src") and value is not None:
                self.links.append((tag, name, value))
            if name in ("id", "name") and value and tag != "meta":
                self.ids.add(value)
        if tag == "title":
            self._in_title = True
            self.title = ""

    def handle_endtag(self, tag):
        if tag == "title":
            self._in_title = False

    def handle_data(self, data):
        if self._in_title:
            self.title += data


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--pages", required=True, help="the contents, pages separated by |")
    parser.add_argument("--chm")
    parser.add_argument("--chmls")
    args = parser.parse_args()
    folder = os.path.abspath(args.folder)
    contents = [p for p in args.pages.split("|") if p]

    files = []
    for root, _, names in os.walk(folder):
        for name in names:
            files.append(os.path.relpath(os.path.join(root, name), folder).replace(os.sep, "/"))
    pages = sorted(f for f in files if f.endswith(".html"))
    images = sorted(f for f in files if f.startswith("images/"))

    check("the contents list every page (%d pages)" % len(pages),
          sorted(contents) == pages,
          "not listed: %s; listed but missing: %s" % (sorted(set(pages) - set(contents)),
                                                      sorted(set(contents) - set(pages))))
    check("the book opens on index.html", contents[:1] == ["index.html"])

    parsed = {}
    for page in pages:
        p = Page()
        with open(os.path.join(folder, page), encoding="utf-8") as f:
            p.feed(f.read())
        parsed[page] = p

    index_targets = {urllib.parse.urlsplit(v).path for t, a, v in parsed["index.html"].links if t == "a"} \
        if "index.html" in parsed else set()
    missing = [p for p in pages if p != "index.html" and p not in index_targets]
    check("the contents page links every other page", not missing, "not linked: %s" % missing)

    used = set()
    broken = []
    for page, p in parsed.items():
        check("%s has a title" % page, bool(p.title and p.title.strip()))
        check("%s uses the book's style" % page,
              any(t == "link" and v == "style.css" for t, a, v in p.links))
        base = os.path.dirname(page)
        for tag, attr, value in p.links:
            url = urllib.parse.urlsplit(value)
            if url.scheme or value.startswith("//"):
                broken.append("%s: %s leaves the book" % (page, value))
                continue
            target = os.path.normpath(os.path.join(base, urllib.parse.unquote(url.path))).replace(os.sep, "/") \
                if url.path else page
            if target not in files:
                broken.append("%s: %s=%s names no file" % (page, attr, value))
                continue
            used.add(target)
            if url.fragment:
                if target not in parsed or url.fragment not in parsed[target].ids:
                    broken.append("%s: %s has no anchor #%s" % (page, target, url.fragment))
    check("every link and picture inside the book resolves", not broken, "; ".join(broken))
    unused = [i for i in images if i not in used]
    check("every picture is shown on some page (%d pictures)" % len(images), not unused,
          "unused: %s" % unused)
    for image in images:
        with open(os.path.join(folder, image), "rb") as f:
            magic = f.read(8)
        check("%s is a PNG picture" % image, magic == b"\x89PNG\r\n\x1a\n")

    with open(os.path.join(folder, "style.css"), encoding="utf-8") as f:
        css = f.read()
    for ref in re.findall(r"url\(\s*['\"]?([^'\")]+)", css):
        check("style.css: %s exists" % ref, os.path.isfile(os.path.join(folder, ref)))

    if args.chm:
        text_size = sum(os.path.getsize(os.path.join(folder, p)) for p in pages)
        exists = os.path.isfile(args.chm)
        check("the compiled book %s exists" % args.chm, exists)
        if exists:
            with open(args.chm, "rb") as f:
                signature = f.read(4)
            check("it starts with the ITSF signature", signature == b"ITSF", repr(signature))
            size = os.path.getsize(args.chm)
            check("it is larger than the pages' text (%d > %d bytes)" % (size, text_size), size > text_size)
            if args.chmls:
                listing = subprocess.run([args.chmls, args.chm], capture_output=True, text=True).stdout
                inside = {line.split()[-1].lstrip("/") for line in listing.splitlines() if line.split()}
                absent = [f for f in files if f not in inside]
                check("it holds every file of the book (%d files)" % len(files), not absent,
                      "missing: %s" % absent)
                check("it has the contents and the index",
                      {"Kestrova_Help.hhc", "Kestrova_Help.hhk"} <= inside)

    print("%d passed, %d failed" % (passes, failures))
    return 0 if failures == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
