#!/usr/bin/python3
"""The peer of extract_bench: the same extraction done with lxml and XPath.

    extract_lxml.py bench SECONDS NAME=PATH ...   prints "NAME MB/s HITS" per page
    extract_lxml.py dump NAME PATH                prints "title<TAB>url" per hit

NAME picks the XPath of a page (the real pages by their file name, "synthetic" for the
generated page). Each run parses the whole page and takes every hit's title and URL, as a
script run of the interpreter does.
"""
import sys
import time
from urllib.parse import parse_qs, urlsplit

import lxml.html


def text(node):
    return " ".join(node.text_content().split())


def unwrap(href):
    # Google's redirect links carry the target in q.
    return parse_qs(urlsplit(href).query).get("q", [href])[0]


def hits(name, root):
    """(title, url) of every organic hit, in page order."""
    if name == "yahoo-1":
        return [(text(a), a.get("href")) for a in root.xpath("//ol/li/big/a")]
    if name == "ask-1":
        return [(text(a), a.get("href")) for a in root.xpath(
            "//a[starts-with(@id,'r') and substring(@id,string-length(@id)-1)='_t']")]
    if name == "google-1":
        return [(text(a.xpath(".//h3")[0]), a.get("href"))
                for a in root.xpath("//div[@class='yuRUbf']/a")]
    if name == "google-2":
        return [(text(a), unwrap(a.get("href")))
                for a in root.xpath("//h3[@class='r']/a[starts-with(@href,'/url?q=')]")]
    if name == "google-3":
        return [(text(a.xpath(".//h3")[0]), unwrap(a.get("href")))
                for a in root.xpath("//div[contains(@class,'egMi0')]/a")]
    if name == "bing-1":
        return [(text(a), a.get("href")) for a in root.xpath("//li[@class='b_algo']//h2/a")]
    if name == "brave-1":
        return [(text(a.xpath(".//span[@class='snippet-title']")[0]), a.get("href"))
                for a in root.xpath("//div[contains(@class,'fdb')]/a[@class='result-header']")]
    if name == "wikipedia-1":
        return [(text(a), a.get("href"))
                for a in root.xpath("//div[@class='mw-search-result-heading']/a")]
    if name == "open-tags":
        # No tag closes, so no li carries the class: nothing, as in the script's run.
        return [(text(li), li.get("href")) for li in root.xpath(
            "//li[contains(concat(' ', normalize-space(@class), ' '), ' r ')]")]
    if name == "old-bing":
        # Bing's script takes each hit's preview as well.
        return [(text(li.xpath(".//h3/a")[0]), li.xpath(".//h3/a/@href")[0],
                 text(li.xpath(".//p")[0])) for li in root.xpath("//li[@class='sa_wr']")]
    if name == "synthetic":
        # The synthetic site's script takes each hit's preview as well.
        return [(text(div.xpath("h3/a")[0]), div.xpath("h3/a/@href")[0],
                 text(div.xpath("p")[0])) for div in root.xpath("//div[@class='hit']")]
    raise SystemExit("no XPath for " + name)


# Every page here is UTF-8 (or ASCII), some without saying so, as the UTF8 sites are read.
PARSER = lxml.html.HTMLParser(encoding="utf-8")


def extract(name, data):
    return hits(name, lxml.html.fromstring(data, parser=PARSER))


def main():
    if sys.argv[1] == "dump":
        with open(sys.argv[3], "rb") as f:
            for hit in extract(sys.argv[2], f.read()):
                print("\t".join(hit))
        return
    seconds = float(sys.argv[2])
    for arg in sys.argv[3:]:
        name, path = arg.split("=", 1)
        with open(path, "rb") as f:
            data = f.read()
        count = len(extract(name, data))
        # Processor time, as the C++ side measures it, so that other work on the machine
        # does not tilt the ratio.
        runs = 0
        start = time.process_time()
        while time.process_time() - start < seconds:
            extract(name, data)
            runs += 1
        elapsed = time.process_time() - start
        print("%s %.3f %d" % (name, runs * len(data) / elapsed / 1e6, count), flush=True)


if __name__ == "__main__":
    main()
