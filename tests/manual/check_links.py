#!/usr/bin/python3
"""Checks the manual, as its folder of pages or as the single built file: every
page reachable from the first, every link, anchor and image resolves, no id
twice, nothing from elsewhere (no scheme but data:, no script). One line per fault."""
import os
import sys
from html.parser import HTMLParser
from urllib.parse import urlsplit


class Page(HTMLParser):
    def __init__(self, path):
        super().__init__()
        self.ids, self.refs, self.faults = [], [], []
        self.feed(open(path, encoding='utf-8').read())

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        self.ids += [a['id']] if 'id' in a else []
        self.faults += ['a script'] if tag == 'script' else []
        self.refs += [urlsplit(a[k]) for k in ('href', 'src', 'srcset', 'poster') if k in a]


def check(arg):
    folder, names = (arg, ['index.html'] + sorted(set(n for n in os.listdir(arg) if n.endswith('.html')) - {'index.html'})) \
        if os.path.isdir(arg) else (os.path.dirname(arg), [os.path.basename(arg)])
    pages = {name: Page(os.path.join(folder, name)) for name in names}
    faults, reached, todo = [], set(), names[:1]
    for name, page in pages.items():
        faults += [f'{name}: {f}' for f in page.faults] + [f'{name}: id "{i}" twice' for i in set(page.ids) if page.ids.count(i) > 1]
        for ref in (r for r in page.refs if r.scheme != 'data'):
            target = ref.path or name
            if ref.scheme or ref.netloc:
                faults.append(f'{name}: "{ref.geturl()}" is not part of the manual')
            elif target.endswith('.html') and (target not in pages or ref.fragment and ref.fragment not in pages[target].ids):
                faults.append(f'{name}: link "{ref.geturl()}" leads nowhere')
            elif not target.endswith('.html') and not os.path.isfile(os.path.join(folder, target)):
                faults.append(f'{name}: "{ref.geturl()}" is missing')
    while todo:
        name = todo.pop()
        if name in pages and name not in reached:
            reached.add(name)
            todo += [ref.path for ref in pages[name].refs if ref.path.endswith('.html')]
    return faults + [f'{name}: not reachable from {names[0]}' for name in sorted(set(pages) - reached)]


faults = [fault for arg in sys.argv[1:] for fault in check(arg)]
print('\n'.join(faults) if faults else f'{len(sys.argv) - 1} checked')
sys.exit(1 if faults or len(sys.argv) < 2 else 0)
