// The page's reading of results, the kit's library as a WebAssembly module (kit.js, the
// module build-wasm/kit.wasm or $LAMVIS2_KIT_MODULE), on the outputs of the whole-program
// cases: the tables the report shows, and the CSV files made from them.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { readFileSync } from 'node:fs';
import { loadCases } from './cases.mjs';
import { loadKit, readRun } from '../src/kit.js';
import { resultTables } from '../src/results.js';
import { tableToCsv } from '../src/csv.js';

const root = join(dirname(fileURLToPath(import.meta.url)), '../..');
const cases = loadCases(join(root, 'tests/cases'));
await loadKit(readFileSync(process.env.LAMVIS2_KIT_MODULE ?? join(root, 'build-wasm/kit.wasm')));
const readTranscript = (stdout, stderr = null) => resultTables(readRun({ stdout, stderr }));

// The E12.4 field of a value that has four significant digits, formed from the value alone:
// the way back from what the reader gives to what the program printed.
function e12(value) {
  if (value === null) return null;
  if (value === 0) return '   .0000E+00';
  let exponent = Math.floor(Math.log10(Math.abs(value))) + 1;
  let digits = Math.round(Math.abs(value) / 10 ** (exponent - 4));
  if (digits >= 10000) {
    exponent += 1;
    digits = Math.round(digits / 10);
  } else if (digits < 1000) {
    exponent -= 1;
    digits = Math.round(Math.abs(value) / 10 ** (exponent - 4));
  }
  const sign = exponent < 0 ? '-' : '+';
  const shown = Math.abs(exponent) > 99
    ? `${sign}${String(Math.abs(exponent)).padStart(3, '0')}`
    : `E${sign}${String(Math.abs(exponent)).padStart(2, '0')}`;
  return `${value < 0 ? '-' : ''}.${digits}${shown}`.padStart(12);
}

const field = (cell) => e12(cell.value) ?? cell.text.padStart(12);

const DEFORMATION_PREFIX = {
  'eps-xx': '  eps-xx =', 'eps-yy': '  eps-yy =', 'eps-xy': '  eps-xy =',
  'kappa-xx': '  kappa-xx =', 'kappa-yy': '  kappa-yy= ', 'kappa-xy': '  kappa-xy =',
};

// The printed lines, rebuilt from the tables read: the layout of each table's records with
// each field formed again from its value.
function rebuiltLines(found) {
  const lines = [];
  for (const name of ['stiffness', 'compliance']) {
    for (const [, ...cells] of found[name]?.rows ?? []) {
      const f = cells.map(field);
      lines.push(`   ${f.slice(0, 3).join('')}  ${f.slice(3).join('')}`);
    }
  }
  for (const [component, cell] of found.deformation?.rows ?? []) {
    lines.push(DEFORMATION_PREFIX[component.text] + field(cell));
  }
  for (const [ply, ...cells] of found.plyStresses?.rows ?? []) {
    lines.push(`  ${ply.text.padStart(2)}${cells.map(field).join('')}`);
  }
  for (const cells of found.relaxation?.rows ?? []) {
    lines.push(cells.map(field).join('').slice(1));
  }
  return lines;
}

// The complete lines of a results text (a cut-off last line is no record) that show a
// number in the exponent form.
function printedNumberLines(text) {
  return text.split('\r\n').slice(0, -1).filter((line) => /\.\d{4}(E[+-]\d\d|[+-]\d{3})/.test(line));
}

test('every printed number line of every case is read, and its fields give back the printed text', () => {
  let tablesSeen = 0;
  for (const c of cases) {
    const found = readTranscript(c.stdout);
    assert.equal(found.transcript, c.stdout.startsWith('Viscoelastic laminate code, rev 9/11/99\r\n'), c.name);
    if (!found.transcript) continue;
    const rebuilt = rebuiltLines(found).sort();
    assert.deepEqual(rebuilt, printedNumberLines(c.stdout).sort(), c.name);
    tablesSeen += rebuilt.length;
  }
  assert.ok(tablesSeen > 500, `only ${tablesSeen} table lines in all cases`);
});

test('a results file reads the same with LF line ends, and with what the run wrote to standard error', () => {
  const printed = (found) => JSON.stringify(found.read.quantities.filter((q) => q.kind === 'printed'));
  for (const c of cases.filter((k) => k.stdout.startsWith('Viscoelastic'))) {
    const crlf = readTranscript(c.stdout);
    assert.equal(printed(readTranscript(c.stdout.replaceAll('\r\n', '\n'))), printed(crlf), c.name);
    assert.equal(printed(readTranscript(c.stdout, c.stderr)), printed(crlf), c.name);
  }
});

// Figures of the laminates of the hand-worked cases, from lamination theory (see each
// case's comment): [case, table, row, column, value].
const ISO_A11 = 100 / 0.9375;
const ISO_A12 = 25 / 0.9375;
const HAND_FIGURES = [
  ['hand_isotropic_unit_ply', 'stiffness', 0, 1, ISO_A11],
  ['hand_isotropic_unit_ply', 'stiffness', 0, 2, ISO_A12],
  ['hand_isotropic_unit_ply', 'stiffness', 2, 3, 40],
  ['hand_isotropic_unit_ply', 'stiffness', 3, 4, ISO_A11 / 12],
  ['hand_isotropic_unit_ply', 'stiffness', 5, 6, 40 / 12],
  ['hand_isotropic_unit_ply', 'stiffness', 0, 4, 0],
  ['hand_isotropic_unit_ply', 'compliance', 0, 1, ISO_A11 / (ISO_A11 ** 2 - ISO_A12 ** 2)],
  ['hand_isotropic_unit_ply', 'compliance', 0, 2, -ISO_A12 / (ISO_A11 ** 2 - ISO_A12 ** 2)],
  ['hand_isotropic_unit_ply', 'compliance', 2, 3, 1 / 40],
  ['hand_isotropic_unit_ply', 'compliance', 5, 6, 12 / 40],
  ['hand_ten_sets', 'stiffness', 0, 1, 2 * ISO_A11],
  ['hand_ten_sets', 'stiffness', 3, 4, (2 * ISO_A11) / 3],
  ['hand_no_plies', 'stiffness', 5, 6, 0],
];

test('the hand-worked figures are read from their printed fields', () => {
  for (const [name, table, row, column, expected] of HAND_FIGURES) {
    const found = readTranscript(cases.find((c) => c.name === name).stdout);
    const value = found[table].rows[row][column].value;
    const tolerance = Math.abs(expected) * 5e-4;
    assert.ok(Math.abs(value - expected) <= tolerance, `${name} ${table}(${row + 1},${column}): ${value} for ${expected}`);
  }
});

// Relaxation tables: [case, rows, relaxation time]; the times are the relaxation time over
// 100 times 10 to the k/4.
const SWEEPS = [
  ['hand_isotropic_unit_ply', 16, 1],
  ['hand_relaxation_091', 17, 0.91],
  ['hand_creep_cross_ply', 16, 1],
  ['hand_ten_sets', 0, -1],
];

test('the relaxation tables have their rows at quarter decades of time', () => {
  for (const [name, count, relaxationTime] of SWEEPS) {
    const { relaxation } = readTranscript(cases.find((c) => c.name === name).stdout);
    assert.equal(relaxation.rows.length, count, name);
    relaxation.rows.forEach((row, k) => {
      const expected = (relaxationTime / 100) * 10 ** (k / 4);
      assert.ok(Math.abs(row[0].value - expected) <= expected * 5e-4, `${name} row ${k + 1}: ${row[0].value}`);
    });
  }
});

test('runs that ended early leave the tables they did not reach empty or absent', () => {
  const noPlies = readTranscript(cases.find((c) => c.name === 'hand_no_plies').stdout);
  assert.equal(noPlies.stiffness.rows.length, 6);
  assert.equal(noPlies.compliance, null);
  assert.equal(noPlies.relaxation, null);
  const zeroTime = readTranscript(cases.find((c) => c.name === 'hand_relaxation_zero').stdout);
  assert.equal(zeroTime.plyStresses.rows.length > 0, true);
  assert.equal(zeroTime.relaxation.rows.length, 0);
});

test('texts that are not transcripts are told apart', () => {
  const notTranscripts = [
    '',
    '\r\n\r\n',
    readFileSync(join(root, 'examples/carbon_quasi_isotropic.txt'), 'latin1'),
    String.fromCharCode(...Array.from({ length: 4096 }, (_, i) => (i * 7919) % 256)),
    'Viscoelastic laminate code\r\n',
  ];
  for (const text of notTranscripts) assert.equal(readTranscript(text).transcript, false, JSON.stringify(text.slice(0, 30)));
});

test('CSV files hold the printed values of each table', () => {
  const found = readTranscript(cases.find((c) => c.name === 'hand_creep_cross_ply').stdout);
  for (const name of ['stiffness', 'compliance', 'deformation', 'plyStresses', 'relaxation']) {
    const csv = tableToCsv(found[name]);
    assert.ok(csv.endsWith('\r\n'), name);
    const lines = csv.slice(0, -2).split('\r\n').map((line) => line.split(','));
    assert.deepEqual(lines[0], found[name].columns, name);
    assert.deepEqual(lines.slice(1), found[name].rows.map((row) => row.map((cell) => cell.text)), name);
  }
});
