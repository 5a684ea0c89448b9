"""The licence as the installer's licence page shows it: each paragraph on one line, paragraphs
apart by an empty line, CR LF. The page wraps lines to its own width, so the 80-column line breaks
of LICENSE would otherwise cut every other line of the page short.

Usage: licence_page.py LICENSE OUTPUT
"""
import sys

source, output = sys.argv[1:]
with open(source, encoding="utf-8") as text:
    paragraphs = [" ".join(block.split()) for block in text.read().split("\n\n") if block.strip()]
with open(output, "w", encoding="utf-8", newline="\r\n") as page:
    page.write("\n\n".join(paragraphs) + "\n")
