#!/usr/bin/python3
"""Checks that every link between shipped documents works as shipped: each relative link names
a file in the same folder, and the anchor it names is in it. Links to the web are not followed.

    check_links.py FOLDER FILE...      prints each broken link and fails when there is one
"""
import html.parser
import pathlib
import sys


class Links(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.hrefs, self.ids = [], set()

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "a" and "href" in attrs:
            self.hrefs.append(attrs["href"])
        if "id" in attrs:
            self.ids.add(attrs["id"])


def read(path):
    links = Links()
    links.feed(path.read_text(encoding="utf-8"))
    return links


def main():
    folder = pathlib.Path(sys.argv[1])
    documents = {name: read(folder / name) for name in sys.argv[2:]}
    broken = []
    for name, links in documents.items():
        for href in links.hrefs:
            if href.startswith(("http:", "https:", "mailto:", "file:", "ws:")):
                continue
            target, _, anchor = href.partition("#")
            target = target or name
            if target not in documents and not (folder / target).exists():
                broken.append(f"{name}: {href} (no such file)")
            elif anchor and target in documents and anchor not in documents[target].ids:
                broken.append(f"{name}: {href} (no such anchor)")
    for line in broken:
        print(line)
    sys.exit(1 if broken else 0)


if __name__ == "__main__":
    main()
