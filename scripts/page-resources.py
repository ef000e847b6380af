#!/usr/bin/env python3
"""Turns page/ into the files the browser control loads and the resource
script that packs them into the program.

    page-resources.py [--page DIR] --stage OUT [--rc FILE]

OUT receives the page as it is served: main.html (UTF-8 with a byte-order
mark), css/, js/ (with jQuery and its JSON plug-in copied from the page's
npm packages) and images/ (drawn by page/tools/draw_images.py, plus any file
kept in page/images/). The page refers to its files by folder and file name;
the browser's res:// protocol looks such a reference up as resource type =
folder and name = file name, in capitals, so --rc writes one entry per file:

    200 HTML "OUT/main.html"
    MAIN.CSS CSS "OUT/css/main.css"

Every relative reference in the page and its style sheets must name a staged
file, or the build stops: a missing resource would only show at run time as a
page without its style, script or picture.
"""
import argparse
import importlib.util
import os
import re
import sys

FOLDERS = ('css', 'js', 'images')
BOM = b'\xef\xbb\xbf'
HTML_ID = 200

# npm package file -> staged file (the names the page refers to)
VENDORED = (
    (('jquery', 'dist', 'jquery.min.js'), ('js', 'jquery.min.js')),
    (('jquery-json', 'dist', 'jquery.json.min.js'), ('js', 'jquery.json.js')),
)
# Our own text files are stored with a byte-order mark so that the browser
# control reads their Chinese text as UTF-8 whatever the page's code page.
TEXT_WITH_BOM = ('.html', '.css', '.js')
RESOURCE_NAME = re.compile(r'^[A-Z][A-Z0-9_.]*$')


def fail(message):
    sys.stderr.write('page-resources: %s\n' % message)
    sys.exit(1)


def write_if_changed(path, data, produced=None):
    if produced is not None:
        produced.add(os.path.abspath(path))
    try:
        with open(path, 'rb') as f:
            if f.read() == data:
                return
    except OSError:
        pass
    with open(path, 'wb') as f:
        f.write(data)


def stage_text(src, dst, produced):
    with open(src, 'rb') as f:
        data = f.read()
    if not data.startswith(BOM):
        data = BOM + data
    try:
        data[3:].decode('utf-8')
    except UnicodeDecodeError as e:
        fail('%s is not UTF-8 (%s)' % (src, e))
    write_if_changed(dst, data, produced)


def stage_copy(src, dst, produced):
    with open(src, 'rb') as f:
        write_if_changed(dst, f.read(), produced)


def drawn_pictures(page):
    draw = os.path.join(page, 'tools', 'draw_images.py')
    if not os.path.isfile(draw):
        return {}
    loader_spec = importlib.util.spec_from_file_location('draw_images', draw)
    module = importlib.util.module_from_spec(loader_spec)
    loader_spec.loader.exec_module(module)
    return module.pictures()


def stage(page, out):
    modules = os.path.join(page, 'node_modules')
    if not os.path.isdir(modules):
        fail('%s is missing: run "npm ci" in %s first (scripts/setup.sh does this)' % (modules, page))
    for folder in FOLDERS:
        os.makedirs(os.path.join(out, folder), exist_ok=True)
    produced = set()

    stage_text(os.path.join(page, 'main.html'), os.path.join(out, 'main.html'), produced)
    for folder in FOLDERS:
        src_dir = os.path.join(page, folder)
        if not os.path.isdir(src_dir):
            continue
        for name in sorted(os.listdir(src_dir)):
            src = os.path.join(src_dir, name)
            if not os.path.isfile(src) or name.startswith('.'):
                continue
            dst = os.path.join(out, folder, name)
            if os.path.splitext(name)[1].lower() in TEXT_WITH_BOM:
                stage_text(src, dst, produced)
            else:
                stage_copy(src, dst, produced)

    for src_parts, dst_parts in VENDORED:
        src = os.path.join(modules, *src_parts)
        if not os.path.isfile(src):
            fail('%s is missing: run "npm ci" in %s' % (src, page))
        stage_copy(src, os.path.join(out, *dst_parts), produced)

    for name, data in sorted(drawn_pictures(page).items()):
        dst = os.path.join(out, 'images', name)
        if os.path.abspath(dst) in produced:
            fail('images/%s is both drawn and kept in page/images' % name)
        write_if_changed(dst, data, produced)

    # a file taken out of page/ must not stay packed from an earlier run
    for folder in FOLDERS:
        d = os.path.join(out, folder)
        for name in os.listdir(d):
            path = os.path.abspath(os.path.join(d, name))
            if os.path.isfile(path) and path not in produced:
                os.remove(path)


def staged_files(out):
    files = []
    for folder in FOLDERS:
        d = os.path.join(out, folder)
        for name in sorted(os.listdir(d)):
            if os.path.isfile(os.path.join(d, name)):
                files.append((folder, name))
    return files


REFERENCE = re.compile(r'''(?:\b(?:href|src)\s*=\s*["']([^"']+)["'])|(?:url\(\s*["']?([^"')]+)["']?\s*\))''')


def check_references(out):
    """Every relative reference of the page and its style sheets is staged."""
    known = set('%s/%s' % (f, n.lower()) for f, n in staged_files(out))
    sources = [('', os.path.join(out, 'main.html'))]
    sources += [('css', os.path.join(out, 'css', n)) for f, n in staged_files(out)
                if f == 'css' and n.endswith('.css')]
    missing = []
    for base, path in sources:
        with open(path, 'rb') as fh:
            text = fh.read().decode('utf-8', 'replace')
        for m in REFERENCE.finditer(text):
            ref = (m.group(1) or m.group(2)).strip()
            if re.match(r'^(?:[a-z]+:|#|//)', ref, re.I):
                continue
            target = os.path.normpath(os.path.join(base, ref.split('?')[0].split('#')[0])).replace(os.sep, '/')
            if target.lower() not in known:
                missing.append('%s refers to %s' % (os.path.relpath(path, out), ref))
    if missing:
        fail('references to files that are not in the page:\n  ' + '\n  '.join(missing))


def rc_string(path):
    return '"%s"' % os.path.abspath(path).replace('\\', '\\\\').replace('"', '\\"')


def write_rc(out, rc):
    lines = ['// Generated by scripts/page-resources.py from page/; do not edit.',
             '%d HTML %s' % (HTML_ID, rc_string(os.path.join(out, 'main.html')))]
    seen = set()
    for folder, name in staged_files(out):
        res_type, res_name = folder.upper(), name.upper()
        if not RESOURCE_NAME.match(res_name):
            fail('%s/%s: resource names must start with a letter and hold only letters, '
                 'digits, "_" and "."' % (folder, name))
        if (res_type, res_name) in seen:
            fail('%s/%s: two files give the same resource name' % (folder, name))
        seen.add((res_type, res_name))
        lines.append('%s %s %s' % (res_name, res_type, rc_string(os.path.join(out, folder, name))))
    data = ('\n'.join(lines) + '\n').encode('utf-8')
    # always rewritten: the resource object depends on this file's time stamp
    # to pick up changed page files whose paths stay the same
    with open(rc, 'wb') as f:
        f.write(data)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    ap.add_argument('--page', default=os.path.join(here, '..', 'page'))
    ap.add_argument('--stage', required=True)
    ap.add_argument('--rc')
    args = ap.parse_args()
    page = os.path.abspath(args.page)
    out = os.path.abspath(args.stage)
    stage(page, out)
    check_references(out)
    if args.rc:
        write_rc(out, args.rc)
    return 0


if __name__ == '__main__':
    sys.exit(main())
