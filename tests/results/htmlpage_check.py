"""Reads an exported HTML page as a browser would and prints what it shows.

The page is parsed from its bytes by html5lib in strict mode: any HTML5 parse
error (a missing DOCTYPE, a stray end tag, a control character) fails with
status 1. The character encoding comes from the page itself. Prints one line
per element of the body that shows text: "li", the link's address and text,
and the item's whole text; "p" and its text; "h3" and its text; tab-separated.
"""
import sys

import html5lib


def text(element):
    return "".join(element.itertext())


def main():
    with open(sys.argv[1], "rb") as page:
        parser = html5lib.HTMLParser(strict=True, namespaceHTMLElements=False)
        try:
            document = parser.parse(page)
        except html5lib.html5parser.ParseError as error:
            print("parse error:", error, file=sys.stderr)
            return 1
    print("title\t" + text(document.find("head/title")))
    for element in document.find("body").iter():
        if element.tag == "li":
            link = element.find("a")
            href = link.get("href") if link is not None else ""
            shown = text(link) if link is not None else ""
            print("li\t%s\t%s\t%s" % (href, shown, text(element)))
        elif element.tag in ("p", "h3"):
            print("%s\t%s" % (element.tag, text(element)))
    return 0


if __name__ == "__main__":
    sys.stdout.reconfigure(encoding="utf-8")
    sys.exit(main())
