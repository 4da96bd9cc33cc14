#!/usr/bin/python3
# The manual as its page folder or its single file: every page reached from the first, every link, anchor and
# image resolving, no id twice, no script, no scheme but data:. Prints one line per fault.
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
        self.refs += [urlsplit(a[k]) for k in ('href', 'src') if k in a]


def check(arg, faults):
    folder, names = (arg, ['index.html'] + sorted(set(n for n in os.listdir(arg) if n.endswith('.html')) - {'index.html'})) \
        if os.path.isdir(arg) else (os.path.dirname(arg), [os.path.basename(arg)])
    pages, reached, todo = {name: Page(os.path.join(folder, name)) for name in names}, set(), names[:1]
    for name, page in pages.items():
        faults += [f'{name}: {f}' for f in page.faults] + [f'{name}: id {i} twice' for i in set(page.ids) if page.ids.count(i) > 1]
        for ref in (r for r in page.refs if r.scheme != 'data'):
            page_file, target = (ref.path or name).endswith('.html'), ref.path or name
            if ref.scheme or ref.netloc or (page_file and (target not in pages or ref.fragment not in pages[target].ids + [''])) \
                    or (not page_file and not os.path.isfile(os.path.join(folder, target))):
                faults.append(f'{name}: "{ref.geturl()}" leads nowhere in the manual')
    while todo:
        name = todo.pop()
        if name in pages and name not in reached:
            reached.add(name)
            todo += [ref.path for ref in pages[name].refs if ref.path.endswith('.html')]
    faults += [f'{name}: not reachable from {names[0]}' for name in sorted(set(pages) - reached)]


faults = []
for arg in sys.argv[1:]:
    check(arg, faults)
print('\n'.join(faults) if faults else f'{len(sys.argv) - 1} checked')
sys.exit(1 if faults or len(sys.argv) < 2 else 0)
