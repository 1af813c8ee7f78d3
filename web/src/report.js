// The results of a run as a report: the inputs the program read, every printed table as an
// HTML table with its row and column names (the values as printed), the derived quantities,
// and the plots. A value that is zero to its table's print precision (below one unit of the
// fourth printed digit of the largest value of its kind: strains against strains and
// curvatures against curvatures in the relaxation table, each block A, B, D of the matrices
// against its block) is marked; in the relaxation table it shows as 0 (the printed value in
// its title, the CSV file and on paper), and a column of them is not drawn.
import { TABLE_TITLES } from './results.js';
import { relaxationPlots, plyStressPlots } from './plots.js';
import { LOADS, plyInterfaces } from './dialogue.js';
import { node } from './dom.js';

// A table: caption, column heads, rows whose first cell heads its row.
function htmlTable(caption, heads, rows, name) {
  const table = node('table', { class: 'report-table', 'data-table': name });
  table.append(node('caption', { text: caption }));
  table.append(node('thead', {}, node('tr', {}, ...heads.map((h) => node('th', { scope: 'col', text: h })))));
  const body = node('tbody');
  for (const row of rows) {
    const tr = node('tr');
    row.forEach((cell, i) => {
      const c = typeof cell === 'string' ? { text: cell } : cell;
      const td = node(i === 0 ? 'th' : 'td', i === 0 ? { scope: 'row' } : {});
      if (c.zero) {
        // Zero to print precision: 0 on the screen, the printed value on paper.
        td.classList.add('zero');
        td.title = `printed ${c.text}`;
        td.append(node('span', { class: 'screen-only', text: '0' }), node('span', { class: 'print-only', text: c.text }),
          node('span', { class: 'zero-mark', 'aria-label': ' (zero to print precision)', text: '*' }));
      } else if (c.noise) {
        // Round-off in its block: the printed text, marked.
        td.classList.add('noise');
        td.textContent = c.text;
        td.append(node('span', { class: 'zero-mark', 'aria-label': ' (round-off: zero to the print precision of its block)', text: '*' }));
      } else {
        td.textContent = c.text;
      }
      tr.append(td);
    });
    body.append(tr);
  }
  table.append(body);
  return node('div', { class: 'table-box' }, table);
}

// Whether a value is zero to the print precision of its kind: below one unit of the fourth
// printed digit of `scale`, the largest value of that kind.
const belowPrecision = (cell, scale) => cell.value !== null && scale > 0 && Math.abs(cell.value) < scale * 1e-4;
const largest = (cells) => cells.reduce((m, c) => (c.value === null ? m : Math.max(m, Math.abs(c.value))), 0);

// The test of the relaxation table: the strains (columns 1-3) against the largest strain,
// the curvatures (4-6) against the largest curvature.
export function zeroTest(table) {
  const strains = largest(table.rows.flatMap((row) => row.slice(1, 4)));
  const curvatures = largest(table.rows.flatMap((row) => row.slice(4, 7)));
  return (cell, column) => belowPrecision(cell, column <= 3 ? strains : curvatures);
}

// The test of a matrix (rows of [label, six cells]): A (membrane) and D (bending) entries
// against the largest of their block, B (coupling) entries against the geometric mean of
// the largest A and D, the scale of a coupling term; (i, j) count from 1.
export function matrixNoiseTest(table) {
  const block = (rows, columns) => largest(table.rows.slice(rows[0], rows[1]).flatMap((row) => row.slice(1 + columns[0], 1 + columns[1])));
  const a = block([0, 3], [0, 3]);
  const d = block([3, 6], [3, 6]);
  const b = Math.sqrt(a * d);
  return (cell, i, j) => belowPrecision(cell, i <= 3 && j <= 3 ? a : i > 3 && j > 3 ? d : b);
}

function inputTables(inputs, z) {
  const out = [];
  if (inputs.sets.length > 0) {
    out.push(htmlTable('Material sets (as typed)', ['set', 'E1', 'E2', 'nu12', 'G12', 'thickness', 'creep fraction'],
      inputs.sets.map((s, i) => [String(i + 1), s.e1 ?? '', s.e2 ?? '', s.nu12 ?? '',
        s.g12 ?? (s.e2 === undefined ? '' : 'E1/(2(1+nu12))'), s.thickness ?? '', s.creep ?? '']), 'sets'));
  }
  if (inputs.plies.length > 0) {
    out.push(htmlTable('Layup, bottom ply first (z from the mid-plane)', ['ply', 'set', 'angle (degrees)', 'z bottom', 'z top'],
      inputs.plies.map((p, i) => [String(i + 1), p.set ?? '', p.angle ?? '',
        z === null ? '' : String(Number(z[i].toPrecision(6))), z === null ? '' : String(Number(z[i + 1].toPrecision(6)))]), 'layup'));
  }
  const loads = LOADS.filter((l) => inputs.loads[l] !== undefined);
  if (loads.length > 0 || inputs.relaxation !== null) {
    const rows = loads.map((l) => [l, inputs.loads[l]]);
    if (inputs.relaxation !== null) rows.push(['relaxation time', inputs.relaxation]);
    out.push(htmlTable('Loads and relaxation time (as typed)', ['input', 'value'], rows, 'loads'));
  }
  return out;
}

// Renders into `box` the report of `found` (the transcript reader's tables) and `inputs`
// (the dialogue's, or null when not known). `tables`: the names of the tables printed. Returns
// the plots.
export function renderReport(box, found, inputs, tables) {
  const z = inputs === null ? null : plyInterfaces(inputs);
  const parts = [];
  if (inputs !== null) {
    const shown = inputTables(inputs, z);
    if (shown.length > 0) parts.push(node('h3', { text: 'Inputs' }), ...shown);
  }
  parts.push(node('h3', { text: 'Printed tables' }));
  const plyInputs = inputs?.plies ?? [];
  for (const name of tables) {
    const t = found[name];
    const title = TABLE_TITLES[name];
    if (name === 'stiffness' || name === 'compliance') {
      const noise = matrixNoiseTest(t);
      let marked = false;
      const rows = t.rows.map((row, i) => [row[0].text, ...row.slice(1).map((cell, j) => {
        const isNoise = noise(cell, i + 1, j + 1);
        marked ||= isNoise;
        return { text: cell.text, noise: isNoise };
      })]);
      parts.push(htmlTable(title, t.columns, rows, name));
      if (marked) {
        parts.push(node('p', { class: 'note', text: '* round-off: below one unit in the fourth digit of the largest entry of its block (A and D against their own, B against the geometric mean of the largest A and D): zero to print precision, as printed.' }));
      }
    } else if (name === 'deformation') {
      parts.push(htmlTable(title, t.columns, t.rows.map((row) => [row[0].text, row[1]]), name));
    } else if (name === 'plyStresses') {
      parts.push(htmlTable(`${title} at mid-thickness, material axes`, ['ply', 'set', 'angle', 'z mid', 'sigma-1', 'sigma-2', 'sigma-12'],
        t.rows.map((row, i) => [row[0].text, plyInputs[i]?.set ?? '', plyInputs[i]?.angle ?? '',
          z === null || z[i + 1] === undefined ? '' : String(Number(((z[i] + z[i + 1]) / 2).toPrecision(6))), ...row.slice(1)]), name));
    } else if (name === 'relaxation') {
      const isZero = zeroTest(t);
      let marked = false;
      const rows = t.rows.map((row) => row.map((cell, i) => {
        const zero = i > 0 && isZero(cell, i);
        marked ||= zero;
        return { text: cell.text, zero };
      }));
      parts.push(htmlTable(`${title} (time in the unit of the relaxation time)`, t.columns, rows, name));
      if (marked) {
        parts.push(node('p', { class: 'note', text: '0* zero to the print precision of this table: printed as a value below one unit in the fourth digit of the largest value of its kind (strains against strains, curvatures against curvatures; single-precision rounding noise). The printed value is in the CSV file, shown when the cell is pointed at, and printed on paper. A column of them is not drawn.' }));
      }
    }
  }
  if (found.derived.length > 0) parts.push(...derivedTables(found.derived));
  box.replaceChildren(...parts);
  const plots = [];
  if (found.relaxation && found.relaxation.rows.length > 0) plots.push(...relaxationPlots(found.relaxation, zeroTest(found.relaxation)));
  if (found.plyStresses && found.plyStresses.rows.length > 0) plots.push(...plyStressPlots(found.plyStresses, z));
  return plots;
}

// The derived quantities (the kit's, marked derived): the laminate's thickness and its
// engineering constants, with the kit's note (where B is not zero, they describe a laminate
// free to curve).
const DERIVED_MEANING = {
  thickness: 'laminate thickness h',
  Ex: 'membrane modulus in x, 1/(h a11)',
  Ey: 'membrane modulus in y, 1/(h a22)',
  Gxy: 'membrane shear modulus, 1/(h a66)',
  nuxy: 'Poisson ratio, -a12/a11',
  nuyx: 'Poisson ratio, -a12/a22',
  Efx: 'flexural modulus in x, 12/(h³ d11)',
  Efy: 'flexural modulus in y, 12/(h³ d22)',
  Gfxy: 'flexural shear modulus, 12/(h³ d66)',
};

function derivedTables(derived) {
  const rows = derived.map((q) => [q.name, { text: q.text }, DERIVED_MEANING[q.name] ?? '', q.note ?? '']);
  return [
    node('h3', { text: 'Derived from the printed compliance (not printed by the program)' }),
    htmlTable('Engineering constants (derived)', ['quantity', 'value', 'what it is', 'derived from'], rows, 'derived'),
  ];
}
