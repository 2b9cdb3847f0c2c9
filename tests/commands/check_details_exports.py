"""Reads the CIF and the CSV that the refinement details window saves with real parsers: the
CIF with gemmi (Debian's python3-gemmi), the CSV with the csv module; and checks them against
what the window shows of the same run.

usage: check_details_exports.py WRITE_DETAILS_EXPORTS
"""
import csv
import math
import os
import shlex
import subprocess
import sys
import tempfile

import gemmi

WRITER = sys.argv[1]
# A cross build runs the program through its emulator (qemu-user).
EMULATOR = shlex.split(os.environ.get('DORVALIX_EMULATOR', ''))
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def rounds_to(value, text):
    """Whether the number rounds to the text's digits."""
    decimals = len(text.split('.')[1]) if '.' in text else 0
    return math.isclose(round(float(value), decimals), float(text), abs_tol=10 ** -(decimals + 3))


with tempfile.TemporaryDirectory() as tmp:
    shown = subprocess.run([*EMULATOR, WRITER, tmp], capture_output=True, text=True, check=True).stdout
    cell = {}
    rows = []
    for line in shown.splitlines():
        kind, rest = line.split(' ', 1)
        if kind == 'cell':
            name, value = rest.split(' = ')
            cell[name] = value.split('°')[0].split(' ')[0]
        else:
            rows.append(rest.split(' '))

    # --- CIF --------------------------------------------------------------------------------
    block = gemmi.cif.read_file(f'{tmp}/diopside.cif').sole_block()
    check(block.name == 'Diopside_monoclinic_C2_c', f'block {block.name}')
    for name, tag in [('a', '_cell_length_a'), ('b', '_cell_length_b'), ('c', '_cell_length_c'),
                      ('α', '_cell_angle_alpha'), ('β', '_cell_angle_beta'),
                      ('γ', '_cell_angle_gamma'), ('V', '_cell_volume')]:
        check(block.find_value(tag) == cell[name],
              f'{tag} {block.find_value(tag)} != {cell[name]} shown')
    check(block.find_value('_cell_measurement_wavelength') == '1.54178', 'wavelength')
    check(block.find_value('_audit_creation_method').strip("'").endswith('2-theta'), 'method')
    # gemmi's own reading of the numbers in s.u. notation.
    structure = gemmi.make_small_structure_from_block(block)
    check(abs(structure.cell.a - 9.78) < 0.005, f'gemmi a {structure.cell.a}')
    loop = block.find(['_refln_index_h', '_refln_index_k', '_refln_index_l', '_refln_d_spacing',
                       '_refln_include_status'])
    check(len(loop) == len(rows) == 7, f'{len(loop)} reflections in the CIF, {len(rows)} shown')
    for cif_row, row in zip(loop, rows):
        check([cif_row[0], cif_row[1], cif_row[2]] == row[1:4], f'indices {list(cif_row)}')
        check(cif_row[3] == row[5], f'd calc {cif_row[3]} != {row[5]} shown')
        check(cif_row[4] == 'o', f'status {cif_row[4]}')

    # --- CSV --------------------------------------------------------------------------------
    with open(f'{tmp}/diopside.csv', newline='', encoding='utf-8') as f:
        text = f.read()
    check(text.endswith('\r\n') and '\n' not in text.replace('\r\n', ''), 'CR LF line ends')
    records = list(csv.reader(text.splitlines()))
    header = records[0]
    check(header[-6:] == ['excluded', 'two_theta_fit_d_calc', 'two_theta_fit_residual',
                          'two_theta_fit_leverage', 'two_theta_fit_studentized',
                          'two_theta_fit_cook'], f'header {header}')
    check(len(records) == 8, f'{len(records)} CSV records')
    for record, row in zip(records[1:], rows):
        values = dict(zip(header, record))
        check(len(record) == len(header), f'fields {record}')
        check(values['row'] == row[0] and values['excluded'] == 'false', f'row {record}')
        # The window's table shows the fit on 2θ: d calc, Δ2θ, leverage, t and Cook's D.
        for key, shown_text in [('two_theta_fit_d_calc', row[5]),
                                ('two_theta_fit_residual', row[9]),
                                ('two_theta_fit_leverage', row[11]),
                                ('two_theta_fit_studentized', row[12]),
                                ('two_theta_fit_cook', row[13])]:
            check(rounds_to(values[key], shown_text), f'{key} {values[key]} != {shown_text}')

if failures:
    print('\n'.join(failures))
    sys.exit(1)
print('the CIF and the CSV say what the window shows')
