#!/usr/bin/env python3
"""Writes a patch that holds COUNT copies of a patch file side by side, for the live-play
benchmark: every module, connection, source and change is repeated under the names
NAME_1 .. NAME_COUNT, and each copy's outputs become outputs of their own.

    bench/play-copies.py examples/shape-demo.json 32 > /tmp/demo-32.json
"""
import json
import re
import sys


def strip_comments(text):
    # The patch format allows // comments outside strings.
    return re.sub(r'^\s*//.*$', '', text, flags=re.MULTILINE)


def renamed(pin, copy):
    module, _, name = pin.partition('.')
    return f'{module}_{copy}.{name}'


def copies_of(patch, count):
    result = {key: patch[key] for key in ('sampleRate', 'blockSize', 'duration') if key in patch}
    result.update(modules={}, connections=[], sources={}, changes=[], outputs=[])
    for copy in range(1, count + 1):
        for name, module in patch['modules'].items():
            result['modules'][f'{name}_{copy}'] = module
        for wire in patch.get('connections', []):
            result['connections'].append(dict(wire, **{'from': renamed(wire['from'], copy), 'to': renamed(wire['to'], copy)}))
        for pin, source in patch.get('sources', {}).items():
            result['sources'][renamed(pin, copy)] = source
        for change in patch.get('changes', []):
            result['changes'].append(dict(change, set=renamed(change['set'], copy)))
        result['outputs'] += [renamed(pin, copy) for pin in patch['outputs']]
    return result


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1]) as file:
        patch = json.loads(strip_comments(file.read()))
    json.dump(copies_of(patch, int(sys.argv[2])), sys.stdout, indent=1)


if __name__ == '__main__':
    main()
