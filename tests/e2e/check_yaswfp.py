#!/usr/bin/python3
"""Reads every movie given with an independent SWF parser (Debian's
python3-yaswfp): every tag must parse with the length its header gives,
and the parse must end at the End tag with the file's stated length.
Prints one line per failing movie and 'N passed, N failed'."""
import sys

from yaswfp import swfparser


def check(path):
    with open(path, 'rb') as f:
        data = f.read()
    p = swfparser.parsefile(path)
    problems = []
    if p.header.FileLength != len(data):
        problems.append('header length %d, file %d' % (p.header.FileLength, len(data)))
    shows = 0
    for t in p.tags:
        kind = type(t).__name__
        name = getattr(t, 'name', kind)
        if kind == 'FailingObject':
            problems.append('tag %s does not parse within its length' % name)
        elif kind == 'UnknownObject' and name.startswith('UnspecifiedObject'):
            problems.append('unknown tag code: %s' % name)
        if name == 'ShowFrame':
            shows += 1
    if shows != p.header.FrameCount:
        problems.append('%d ShowFrame tags, header says %d frames' % (shows, p.header.FrameCount))
    return problems


def main():
    passed = failed = 0
    for path in sys.argv[1:]:
        try:
            problems = check(path)
        except Exception as e:  # the parser gave up
            problems = ['parser error: %r' % (e,)]
        if problems:
            failed += 1
            print('FAIL %s: %s' % (path, '; '.join(problems)))
        else:
            passed += 1
    print('%d passed, %d failed' % (passed, failed))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
