// The results of a run as a report: the inputs the program read, every printed table as an
// HTML table with its row and column names (the values as printed), and the plots. A value
// of the relaxation table that is zero to the table's print precision (its four digits,
// against the largest value of the table) is shown as 0 with a mark (the printed value in
// its title and in the CSV file), and a column of them is not drawn.
import { TABLE_TITLES } from './transcript.js';
import { relaxationPlots, plyStressPlot } from './plots.js';
import { LOADS, plyInterfaces } from './dialogue.js';

function node(name, attributes = {}, ...children) {
  const e = document.createElement(name);
  for (const [k, v] of Object.entries(attributes)) {
    if (k === 'text') e.textContent = v;
    else e.setAttribute(k, v);
  }
  e.append(...children);
  return e;
}

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
      td.textContent = c.zero ? '0' : c.text;
      if (c.zero) {
        td.classList.add('zero');
        td.title = `printed ${c.text}`;
        td.append(node('span', { class: 'zero-mark', 'aria-label': ' (zero to print precision)', text: '*' }));
      }
      tr.append(td);
    });
    body.append(tr);
  }
  table.append(body);
  return node('div', { class: 'table-box' }, table);
}

// Whether a value is zero to the print precision of `table`: below one unit of the fourth
// printed digit of the largest value of the table.
export function zeroTest(table) {
  let largest = 0;
  for (const row of table.rows) {
    for (const cell of row.slice(1)) if (cell.value !== null) largest = Math.max(largest, Math.abs(cell.value));
  }
  return (cell) => cell.value !== null && largest > 0 && Math.abs(cell.value) < largest * 1e-4;
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
      parts.push(htmlTable(title, t.columns, t.rows.map((row) => [row[0].text, ...row.slice(1)]), name));
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
        const zero = i > 0 && isZero(cell);
        marked ||= zero;
        return { text: cell.text, zero };
      }));
      parts.push(htmlTable(`${title} (time in the unit of the relaxation time)`, t.columns, rows, name));
      if (marked) {
        parts.push(node('p', { class: 'note', text: '0* zero to the print precision of this table: printed as a value below one unit in the fourth digit of the table\'s largest value (single-precision rounding noise; the printed value is in the cell\'s tooltip and the CSV file). A column of them is not drawn.' }));
      }
    }
  }
  box.replaceChildren(...parts);
  const plots = [];
  if (found.relaxation && found.relaxation.rows.length > 0) plots.push(...relaxationPlots(found.relaxation, zeroTest(found.relaxation)));
  if (found.plyStresses && found.plyStresses.rows.length > 0) {
    const plot = plyStressPlot(found.plyStresses, z);
    if (plot !== null) plots.push(plot);
  }
  return plots;
}
