#!/usr/bin/env python3
"""Reads ThreadSanitizer log files and fails when a report's racing access
lies in this project's code.

Qt is not built with ThreadSanitizer, so the synchronisation inside it is
invisible and shows up as races whose accesses are all in Qt's libraries.
Those are counted and listed by their top frame; a report where the first
frame of any of its stacks is a file of this repository is a failure.

usage: tsanreport.py <repository root> <log files...>
"""
import re
import sys

FRAME = re.compile(r'^\s+#(\d+) (.*?) (\S+?)(?::\d+(?::\d+)?)? \((\S+?)\)(?: \(BuildId: \w+\))?\s*$')


def reports(text):
    current = None
    for line in text.splitlines():
        if line.startswith('WARNING: ThreadSanitizer:'):
            current = [line]
        elif current is not None:
            current.append(line)
            if line.startswith('SUMMARY: ThreadSanitizer:'):
                yield current
                current = None


def top_frames(report):
    """The first frame of every stack in the report."""
    tops = []
    for line in report:
        m = FRAME.match(line)
        if m and m.group(1) == '0':
            tops.append((m.group(2), m.group(3), m.group(4)))
    return tops


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    root = sys.argv[1].rstrip('/') + '/'
    ours, theirs = [], {}
    for path in sys.argv[2:]:
        try:
            text = open(path, errors='replace').read()
        except OSError:
            continue
        for report in reports(text):
            tops = top_frames(report)
            if any(f.startswith(root) for _, f, _ in tops):
                ours.append((path, report))
            else:
                key = report[-1].replace('SUMMARY: ThreadSanitizer: ', '')
                theirs[key] = theirs.get(key, 0) + 1
    for key, n in sorted(theirs.items()):
        print(f'tsan: {n} x inside Qt: {key}')
    for path, report in ours:
        print(f'tsan: report in this project\'s code ({path}):')
        print('\n'.join(report))
    print(f'tsan: {sum(theirs.values())} report(s) inside Qt, {len(ours)} in this project')
    return 1 if ours else 0


if __name__ == '__main__':
    sys.exit(main())
