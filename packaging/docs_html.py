#!/usr/bin/python3
"""Writes a Markdown document as one HTML file a Windows user opens with a double click.

    docs_html.py INPUT.md OUTPUT.html

The pictures it shows are put inside the file, the links between the README and the four
references (the protocol's, the page author's, the recording's format, FlightGear's link) lead to their HTML
siblings, links to files of the source tree that the downloads do not hold become plain words, and the headings keep the anchors the Markdown's own
links use, so the file needs nothing beside it and reads as the repository shows it.
"""
import base64
import html
import pathlib
import re
import sys

import markdown

# Each Markdown file and the name of its HTML form, as the documents link to one another.
HTML_NAMES = {"README.md": "README.html", "protocol.md": "protocol.html", "pages.md": "pages.html",
              "recording.md": "recording.html", "flightgear.md": "flightgear.html"}

STYLE = """
body { font-family: Segoe UI, Helvetica, Arial, sans-serif; max-width: 60em; margin: 2em auto;
       padding: 0 1em; line-height: 1.45; color: #1f2328; }
code, pre { font-family: Consolas, Menlo, monospace; font-size: 0.92em; background: #f3f4f6; }
code { padding: 0.1em 0.3em; border-radius: 3px; }
pre { padding: 0.8em; overflow-x: auto; border-radius: 5px; }
pre code { padding: 0; background: none; }
table { border-collapse: collapse; margin: 1em 0; }
th, td { border: 1px solid #d0d7de; padding: 0.3em 0.6em; vertical-align: top; }
img { max-width: 100%; }
h1, h2 { border-bottom: 1px solid #d0d7de; padding-bottom: 0.2em; }
"""


def github_anchor(text, separator):
    """The anchor a heading gets where the documents are read as Markdown."""
    return re.sub(r"[^\w\- ]", "", text.strip().lower()).replace(" ", separator)


def unindent_fences(text):
    """Fenced blocks inside list items (two spaces in) are taken out of the list, so that they
    show as code: the converter only knows fences at the start of a line."""
    return re.sub(r"^  (```[^\n]*\n.*?\n)  ```$",
                  lambda m: re.sub(r"^  ", "", m.group(1), flags=re.M) + "```",
                  text, flags=re.M | re.S)


def relink(match):
    """A link to one of the documents leads to its HTML sibling; a link to any other file of the
    source tree (a header, a script, a page's source), which the downloads do not hold, becomes
    its words alone."""
    target, words = match.group(1), match.group(2)
    if re.match(r"^[a-z]+:", target) or target.startswith("#"):
        return match.group(0)
    path, _, anchor = target.partition("#")
    name = HTML_NAMES.get(pathlib.PurePosixPath(path).name)
    if name is None:
        return words
    return f'<a href="{name}{"#" + anchor if anchor else ""}">{words}</a>'


def inline_picture(folder):
    def replace(match):
        picture = folder / match.group(2)
        data = base64.b64encode(picture.read_bytes()).decode("ascii")
        return match.group(1) + "data:image/png;base64," + data + '"'
    return replace


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: docs_html.py INPUT.md OUTPUT.html")
    source = pathlib.Path(sys.argv[1])
    text = unindent_fences(source.read_text(encoding="utf-8"))
    title = next((line[2:].strip() for line in text.splitlines() if line.startswith("# ")), source.stem)
    body = markdown.markdown(
        text, extensions=["tables", "fenced_code", "toc", "sane_lists"],
        extension_configs={"toc": {"slugify": github_anchor}}, output_format="html")
    body = re.sub(r'<a href="([^"]*)">(.*?)</a>', relink, body, flags=re.S)
    body = re.sub(r'(<img[^>]* src=")([^":]+\.png)"', inline_picture(source.parent), body)
    page = ('<!doctype html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n'
            f"<title>{html.escape(title)}</title>\n<style>{STYLE}</style>\n</head>\n<body>\n"
            f"{body}\n</body>\n</html>\n")
    pathlib.Path(sys.argv[2]).write_text(page, encoding="utf-8")


if __name__ == "__main__":
    main()
