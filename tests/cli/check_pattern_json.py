# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads the JSON of `dorvalix-cli pattern` and `dorvalix-cli peaks` with Python's json module
and checks its fields against the pattern it wrote: two Gaussian lines of Cu Kα1 alone.

usage: check_pattern_json.py DORVALIX_CLI
"""
import json
import math
import os
import shlex
import subprocess
import sys
import tempfile

CLI = sys.argv[1]
EMULATOR = shlex.split(os.environ.get('DORVALIX_EMULATOR', ''))
LINES = [(30.0, 5000.0), (45.0, 3000.0)]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def run(*args):
    p = subprocess.run([*EMULATOR, CLI, *args], capture_output=True)
    check(p.returncode == 0, f'{args}: status {p.returncode}: {p.stderr.decode()}')
    return json.loads(p.stdout.decode())


with tempfile.TemporaryDirectory() as folder:
    path = os.path.join(folder, 'two lines.xy')
    with open(path, 'w') as f:
        for i in range(2001):
            x = 20 + 0.02 * i
            y = 100 + sum(h * math.exp(-4 * math.log(2) * ((x - c) / 0.1) ** 2) for c, h in LINES)
            f.write(f'{x:.2f} {y:.3f}\n')

    read = run('pattern', path, '--format', 'json')
    check(read['format'] == 'xy' and read['wavelength']['stated'] is False, 'pattern header')
    scan = read['scans'][0]
    check(scan['points'] == 2001 and len(scan['two_theta']) == 2001 and len(scan['counts']) == 2001,
          'pattern points')
    check(scan['two_theta_min'] == 20 and scan['two_theta_max'] == 60 and scan['su'] is None,
          'pattern range')

    found = run('peaks', path, '--xray', 'Cu-Ka1', '--format', 'json')
    check(found['file'] == path and found['scan'] == 1, 'peaks header')
    w = found['wavelength']
    check(w == {'ka1': 1.540593, 'ka2': None, 'ratio': None, 'ratio_su': None, 'from': 'option'},
          f'peaks wavelength {w}')
    check(found['background']['method'] == 'SNIP' and found['background']['width'] > 0,
          'peaks background')
    peaks = found['peaks']
    check(len(peaks) == 2, f'{len(peaks)} peaks')
    for p, (c, h) in zip(peaks, LINES):
        check(set(p) >= {'two_theta', 'two_theta_su', 'd', 'fwhm', 'height', 'area'}, 'peak fields')
        check(abs(p['two_theta'] - c) < 0.001, f'peak at {p["two_theta"]}, drawn at {c}')
        check(abs(p['d'] - 1.540593 / (2 * math.sin(math.radians(c / 2)))) < 1e-4, 'peak d')
        check(abs(p['fwhm'] - 0.1) < 0.005 and abs(p['height'] / h - 1) < 0.02, 'peak size')
        # The area of a Gaussian of height h and FWHM w is h w √(π / ln 2) / 2.
        area = h * 0.1 * math.sqrt(math.pi / math.log(2)) / 2
        check(abs(p['area'] / area - 1) < 0.03, f'peak area {p["area"]}, drawn {area}')

for f in failures:
    print('FAILED:', f)
sys.exit(1 if failures else 0)
