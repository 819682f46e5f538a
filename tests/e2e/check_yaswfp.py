#!/usr/bin/python3
"""Reads every movie given with an independent SWF parser (Debian's
python3-yaswfp): every tag must parse with the length its header gives,
and the parse must end at the End tag with the file's stated length. A
movie's link button must read as the converter writes it: three records
(up, over, down, each with hit test) and one GetURL to a new window on
release. A movie that loops as the GIF says has one DoAction, right before
its last ShowFrame: a Stop, or the pass counter that jumps over the Stop
while it is below the passes.
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
        if name == 'DefineButton2':
            problems += check_link(t)
    if shows != p.header.FrameCount:
        problems.append('%d ShowFrame tags, header says %d frames' % (shows, p.header.FrameCount))
    names = [getattr(t, 'name', '') for t in p.tags]
    if 'DoAction' in names:
        problems += check_loop(p.tags, names)
    return problems


COUNTER = ['Push', 'Push', 'GetVariable', 'Increment', 'SetVariable', 'Push', 'GetVariable', 'Push', 'Less', 'If',
           'Stop']


def check_loop(tags, names):
    problems = []
    at = [i for i, n in enumerate(names) if n == 'DoAction']
    last_show = max(i for i, n in enumerate(names) if n == 'ShowFrame')
    if at != [last_show - 1]:
        problems.append('DoAction tags at %r, the last ShowFrame at %d' % (at, last_show))
    acts = tags[at[-1]].Actions
    kinds = [a.name[len('Action'):] for a in acts]
    if kinds == COUNTER:
        if acts[9].BranchOffset != 1 or acts[7].Type != 7 or acts[7].Integer < 2:
            problems.append('the pass counter jumps %d, compares with %r' % (acts[9].BranchOffset, vars(acts[7])))
    elif kinds != ['Stop']:
        problems.append('loop actions %r' % (kinds,))
    return problems


def check_link(t):
    problems = []
    states = [(r.ButtonStateUp, r.ButtonStateOver, r.ButtonStateDown, r.ButtonStateHitTest) for r in t.Characters]
    if states != [(1, 0, 0, 1), (0, 1, 0, 1), (0, 0, 1, 1)]:
        problems.append('link button records have the states %r' % (states,))
    conds = t.Actions
    if len(conds) != 1 or not conds[0].CondOverDownToOverUp:
        problems.append('link button does not act on release alone')
    else:
        acts = conds[0].Actions
        if len(acts) != 1 or type(acts[0]).__name__ != 'ActionGetURL' or acts[0].TargetString != '_blank':
            problems.append('link button actions: %r' % (acts,))
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
