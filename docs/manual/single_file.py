#!/usr/bin/python3
"""Joins the manual's pages into one HTML file: each page becomes a section
named after its file, links between pages become in-page anchors, the style
sheet goes into the head and the images become data: URIs. The pages come in
the order the contents page first links them; the output depends only on the
input files.

usage: single_file.py MANUAL_FOLDER OUTPUT_FILE
"""
import base64
import os
import re
import sys

ATTR = re.compile(r'\b(id|href|src)="([^"]*)"')
MAIN = re.compile(r'<main>(.*)</main>', re.S)
PAGE_LINK = re.compile(r'href="([a-z0-9-]+)\.html(?:#[^"]*)?"')
TYPES = {'.png': 'image/png', '.jpg': 'image/jpeg', '.svg': 'image/svg+xml'}


def read(path):
    with open(path, encoding='utf-8') as f:
        return f.read()


def page_order(folder):
    order, todo = [], ['index']
    while todo:
        name = todo.pop(0)
        if name in order:
            continue
        order.append(name)
        todo += PAGE_LINK.findall(read(os.path.join(folder, name + '.html')))
    return order


def section(folder, name):
    body = MAIN.search(read(os.path.join(folder, name + '.html')))
    if not body:
        sys.exit(f'{name}.html: no <main> element')

    def rewrite(match):
        attr, value = match.groups()
        if attr == 'id':
            return f'id="{name}--{value}"'
        if attr == 'src' and not re.match(r'[a-z]+:', value):
            path = os.path.join(folder, value)
            kind = TYPES.get(os.path.splitext(value)[1].lower(), 'application/octet-stream')
            with open(path, 'rb') as f:
                data = base64.b64encode(f.read()).decode('ascii')
            return f'src="data:{kind};base64,{data}"'
        if attr == 'href':
            m = re.fullmatch(r'([a-z0-9-]+)\.html(?:#(.*))?|#(.*)', value)
            if m:
                page, frag, own = m.groups()
                if own is not None:
                    return f'href="#{name}--{own}"'
                return f'href="#{page}--{frag}"' if frag else f'href="#{page}"'
        return match.group(0)

    return f'<section id="{name}">\n{ATTR.sub(rewrite, body.group(1)).strip()}\n</section>\n'


def main():
    folder, output = sys.argv[1], sys.argv[2]
    css = read(os.path.join(folder, 'manual.css'))
    parts = [
        '<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n'
        '<meta name="viewport" content="width=device-width, initial-scale=1">\n'
        '<title>Tavrine Dictate Manual</title>\n<style>\n', css, '</style>\n</head>\n<body>\n<main>\n'
    ]
    parts += [section(folder, name) for name in page_order(folder)]
    parts.append('</main>\n</body>\n</html>\n')
    os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
    temporary = output + '.part'
    with open(temporary, 'w', encoding='utf-8') as f:
        f.write(''.join(parts))
    os.replace(temporary, output)


if __name__ == '__main__':
    main()
