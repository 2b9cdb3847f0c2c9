"""Reads what `dorvalix-cli refine` writes with real parsers: the CIF with gemmi (Debian's
python3-gemmi), the CSV with the csv module, the JSON with the json module; and checks
that the three say the same.

usage: check_output_formats.py DORVALIX_CLI EXAMPLE_LAT
"""
import csv
import io
import json
import math
import os
import shlex
import subprocess
import sys
import tempfile

import gemmi

CLI, EXAMPLE = sys.argv[1], sys.argv[2]
# A cross build runs the program through its emulator (qemu-user).
EMULATOR = shlex.split(os.environ.get('DORVALIX_EMULATOR', ''))
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def refine(*args, status=0):
    p = subprocess.run([*EMULATOR, CLI, 'refine', *args], capture_output=True)
    check(p.returncode == status,
          f'{args}: status {p.returncode}, expected {status}: {p.stderr.decode()}')
    return p.stdout.decode()


def close(a, b, rel=1e-12):
    return math.isclose(float(a), float(b), rel_tol=rel, abs_tol=1e-300)


with tempfile.TemporaryDirectory() as tmp:
    # --- CIF, read by gemmi, against the JSON of the same run ---------------------------
    for options in [[], ['--exclude', '3'], ['--zero-shift'], ['--xray', 'Mo-Ka'],
                    ['--fit', '2theta', '--wavelength', '1.5405', '--lattice', 'C']]:
        path = os.path.join(tmp, 'out.cif')
        with open(path, 'w', encoding='utf-8') as f:
            f.write(refine(EXAMPLE, '--format', 'cif', *options))
        doc = gemmi.cif.read_file(path)
        block = doc.sole_block()
        report = json.loads(refine(EXAMPLE, '--format', 'json', '--details', *options))
        details = report['details']
        fit = details['two_theta_fit']
        texts = (fit or details)['direct_text']
        check(block.name == 'Diopside_monoclinic_C2_c', f'{options}: block {block.name}')
        check(block.find_value('_space_group_crystal_system') == 'monoclinic', 'system')
        for key, name in [('a', '_cell_length_a'), ('b', '_cell_length_b'),
                          ('c', '_cell_length_c'), ('alpha', '_cell_angle_alpha'),
                          ('beta', '_cell_angle_beta'), ('gamma', '_cell_angle_gamma'),
                          ('volume', '_cell_volume')]:
            check(block.find_value(name) == texts[key],
                  f'{options}: {name} {block.find_value(name)} != {texts[key]}')
        # gemmi's own reading of the cell.
        cell = gemmi.make_small_structure_from_block(block).cell
        direct = (fit or report)['direct']
        check(abs(cell.a - direct['a']) < 0.02 and abs(cell.beta - direct['beta']) < 0.2,
              f'{options}: gemmi cell {cell}')
        check(block.find_value('_cell_measurement_reflns_used') == str(report['n_included']),
              'reflns_used')
        has_wavelength = bool(set(options) & {'--zero-shift', '--xray', '--fit', '--wavelength'})
        wavelength = block.find_value('_cell_measurement_wavelength')
        check((wavelength is not None) == has_wavelength, f'{options}: wavelength {wavelength}')
        if wavelength is not None:
            check(close(gemmi.cif.as_number(wavelength),
                        details['figures_of_merit']['wavelength']), 'wavelength value')
            low = gemmi.cif.as_number(block.find_value('_cell_measurement_theta_min'))
            high = gemmi.cif.as_number(block.find_value('_cell_measurement_theta_max'))
            check(0 < low < high < 90, f'theta range {low} {high}')
        loop = block.find('_', ['refln_index_h', 'refln_index_k', 'refln_index_l',
                                'dorvalix_refln_d_spacing_obs', 'refln_d_spacing',
                                'refln_include_status'])
        rows = [list(r) for r in loop]
        check(len(rows) == 7, f'{options}: {len(rows)} reflections')
        for row, obs in zip(rows, report['observations']):
            check([int(row[0]), int(row[1]), int(row[2])] == [obs['h'], obs['k'], obs['l']],
                  f'hkl {row}')
            check(close(gemmi.cif.as_number(row[3]), float(obs['d_obs_text'])), f'd_obs {row}')
            check(row[5] == ('x' if obs['excluded'] else 'o'), f'status {row}')
            check(gemmi.cif.is_null(row[4]) == obs['excluded'], f'd_calc {row}')
            if not obs['excluded'] and fit is None:
                check(abs(gemmi.cif.as_number(row[4]) - obs['d_calc']) <= 5e-6, f'd {row}')

    # A sample name that is no CIF name: Japanese, quotes, blanks.
    odd = os.path.join(tmp, 'odd.lat')
    with open(EXAMPLE, encoding='utf-8', newline='') as f:
        lines = [line for line in f.read().splitlines() if line.strip()]
    lines[-1] = '透輝石 "sample" #7 \'x\''
    with open(odd, 'w', encoding='utf-8', newline='') as f:
        f.write('\r\n'.join(lines) + '\r\n')
    path = os.path.join(tmp, 'odd.cif')
    with open(path, 'w', encoding='utf-8') as f:
        f.write(refine(odd, '--format', 'cif'))
    check(gemmi.cif.read_file(path).sole_block().name == 'sample_7_x', 'odd sample name')

    # --- CSV ------------------------------------------------------------------------------
    text = refine(EXAMPLE, '--format', 'csv', '--exclude', '3')
    check('\r\n' in text and text.endswith('\r\n'), 'CSV lines end with CR LF')
    records = list(csv.reader(io.StringIO(text, newline='')))
    header = records[0]
    check(header == ['row', 'h', 'k', 'l', 'd_obs', 'd_calc', 'd_diff', 'q_obs', 'q_calc',
                     'q_diff', 'two_theta_obs', 'two_theta_calc', 'leverage', 'studentized',
                     'cook', 'excluded'], f'header {header}')
    report = json.loads(refine(EXAMPLE, '--format', 'json', '--details', '--exclude', '3'))
    diagnostics = iter(report['details']['observations'])
    check(len(records) == 8, f'{len(records)} CSV records')
    for record, obs in zip(records[1:], report['observations']):
        row = dict(zip(header, record))
        check(int(row['row']) == obs['row'], f'row {record}')
        check(row['excluded'] == ('true' if obs['excluded'] else 'false'), f'excluded {record}')
        if obs['excluded']:
            # Not fitted: the fit's prediction, no regression diagnostics.
            check(float(row['d_calc']) > 0 and row['leverage'] == '', f'excluded values {record}')
            check(close(row['d_diff'], float(row['d_obs']) - float(row['d_calc']), 1e-12),
                  f'excluded d_diff {record}')
            continue
        diag = next(diagnostics)
        for key in ['d_obs', 'd_calc', 'd_diff', 'q_obs', 'q_calc', 'q_diff', 'two_theta_obs',
                    'two_theta_calc', 'leverage', 'studentized', 'cook']:
            float(row[key])  # every one a number with a dot
        check(close(row['d_calc'], obs['d_calc'], 1e-9), f'd_calc {record}')
        check(close(row['leverage'], diag['leverage']), f'leverage {record}')
        check(close(row['studentized'], diag['studentized']), f'studentized {record}')

    # --- Summary ---------------------------------------------------------------------------
    missing = os.path.join(tmp, 'missing, "quoted".lat')
    text = refine(EXAMPLE, missing, EXAMPLE, '--format', 'summary', '--zero-shift', status=1)
    records = list(csv.reader(io.StringIO(text, newline='')))
    check(len(records) == 4, f'{len(records)} summary records')
    header = records[0]
    check(header[-3:] == ['zero', 'su_zero', 'error'], f'summary header {header}')
    check([r[0] for r in records[1:]] == [EXAMPLE, missing, EXAMPLE], 'order of the files')
    check(records[1] == records[3], 'the same file gives the same row')
    check(records[2][-1].startswith('No such file or directory'), f'error {records[2]}')
    first = dict(zip(header, records[1]))
    fit = json.loads(refine(EXAMPLE, '--format', 'json', '--zero-shift'))['details']['two_theta_fit']
    check(close(first['a'], fit['direct']['a']), 'summary a')
    check(close(first['zero'], fit['zero']) and close(first['su_zero'], fit['zero_su']), 'zero')
    check(first['su_alpha'] == '' and first['error'] == '', f'summary row {first}')

if failures:
    print('\n'.join(failures))
    sys.exit(1)
print('CIF, CSV and JSON agree')
