#!/usr/bin/python3
"""Checks the manual, as its folder of pages or as the single built file: every
page reachable from index.html, every link, anchor and image resolves, no id
twice, and nothing comes from elsewhere (no scheme but data:, no script).
usage: check_links.py FOLDER_OR_FILE ...   (one line per fault, exit 1)"""
import os
import sys
from html.parser import HTMLParser
from urllib.parse import urlsplit


class Page(HTMLParser):
    def __init__(self, path):
        super().__init__()
        self.ids, self.refs, self.faults = [], [], []
        with open(path, encoding='utf-8') as f:
            self.feed(f.read())

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        self.ids += [a['id']] if 'id' in a else []
        self.faults += ['a script'] if tag == 'script' else []
        self.refs += [a[k] for k in ('href', 'src', 'srcset', 'poster') if k in a]


def check(arg):
    folder, names = (arg, sorted(n for n in os.listdir(arg) if n.endswith('.html'))) if os.path.isdir(arg) \
        else (os.path.dirname(arg), [os.path.basename(arg)])
    pages = {name: Page(os.path.join(folder, name)) for name in names}
    start = 'index.html' if os.path.isdir(arg) else names[0]
    faults, reached, todo = [], set(), [start]
    for name, page in pages.items():
        faults += [f'{name}: {f}' for f in page.faults]
        faults += [f'{name}: id "{i}" twice' for i in sorted(set(page.ids)) if page.ids.count(i) > 1]
        for ref in page.refs:
            parts = urlsplit(ref)
            target = parts.path or name
            if parts.scheme == 'data':
                continue
            if parts.scheme or ref.startswith('//'):
                faults.append(f'{name}: "{ref}" is not part of the manual')
            elif target.endswith('.html'):
                if target not in pages or (parts.fragment and parts.fragment not in pages[target].ids):
                    faults.append(f'{name}: link "{ref}" leads nowhere')
            elif not os.path.isfile(os.path.join(folder, target)):
                faults.append(f'{name}: "{ref}" is missing')
    while todo:
        name = todo.pop()
        if name in pages and name not in reached:
            reached.add(name)
            todo += [urlsplit(ref).path for ref in pages[name].refs if urlsplit(ref).path.endswith('.html')]
    return faults + [f'{name}: not reachable from {start}' for name in sorted(set(pages) - reached)]


faults = [fault for arg in sys.argv[1:] for fault in check(arg)]
print('\n'.join(faults) if faults else f'{len(sys.argv) - 1} checked')
sys.exit(1 if faults or len(sys.argv) < 2 else 0)
