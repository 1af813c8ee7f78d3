// The strength part of the report, from the kit's strength quantities (kit.js readStrength,
// as `lamvis2-kit strength --json` names them): the first-ply failure of each criterion (its
// strength ratio R, ply, face, mode, margin and failure loads), highlighted where it is the
// least, and per ply and face the derived stresses in the material axes with each
// criterion's R and mode, the first-ply failure's face highlighted; without strengths, the
// derived stresses at the faces alone (kit.js readFaces).
import { node } from './dom.js';

const FACES = ['bottom', 'middle', 'top'];
const LOADS = ['nx', 'ny', 'nxy', 'mx', 'my', 'mxy'];

// A number as the kit's text of it, or its value to five significant digits.
const shown = (q) => (q === undefined ? '' : q.value === null ? q.text : String(Number(q.value.toPrecision(5))));

function table(caption, heads, rows, name) {
  const t = node('table', { class: 'report-table', 'data-table': name });
  t.append(node('caption', { text: caption }));
  t.append(node('thead', {}, node('tr', {}, ...heads.map((h) => node('th', { scope: 'col', text: h })))));
  const body = node('tbody');
  for (const { cells, highlight = [], rowClass = '' } of rows) {
    const tr = node('tr', rowClass === '' ? {} : { class: rowClass });
    cells.forEach((c, i) => {
      const td = node(i === 0 ? 'th' : 'td', i === 0 ? { scope: 'row' } : {});
      td.textContent = c;
      if (highlight.includes(i)) td.classList.add('first-ply');
      tr.append(td);
    });
    body.append(tr);
  }
  t.append(body);
  return node('div', { class: 'table-box' }, t);
}

const PLANES = ['nx,ny', 'nx,nxy', 'ny,nxy', 'mx,my', 'mx,mxy', 'my,mxy', 'nx,mx', 'ny,my', 'nxy,mxy', 'nx,my', 'ny,mx'];

// The first-ply failure envelope on request: a plane, a number of directions, and a button;
// `draw(plane, points)` gives a promise of the kit's { csv, svg } or { error }. The kit's
// plot (its axes named, the origin and the current load marked) goes into the report, with
// its CSV file.
function envelopeParts(draw, saveCsv) {
  const plane = node('select', { id: 'envelope-plane', 'aria-label': 'envelope plane' }, ...PLANES.map((p) => node('option', { value: p, text: p })));
  const points = node('input', { id: 'envelope-points', 'aria-label': 'envelope directions', value: '72', inputmode: 'numeric', size: '4' });
  const button = node('button', { type: 'button', id: 'envelope-draw', text: 'Draw the first-ply envelope' });
  const out = node('div', { id: 'envelope', class: 'envelope' });
  button.addEventListener('click', async () => {
    const n = Number(points.value);
    if (!Number.isInteger(n) || n < 4 || n > 720) {
      out.replaceChildren(node('p', { class: 'strength-error', text: 'The directions of an envelope are a whole number from 4 to 720.' }));
      return;
    }
    button.disabled = true;
    out.replaceChildren(node('p', { class: 'note', text: `Running the program ${n} times…` }));
    const made = await draw(plane.value, n);
    button.disabled = false;
    if (made.error !== undefined) {
      out.replaceChildren(node('p', { class: 'strength-error', text: `No envelope: ${made.error}` }));
      return;
    }
    const figure = node('figure', { class: 'plot-figure envelope-figure' });
    figure.innerHTML = made.svg;
    figure.append(node('figcaption', { class: 'plot-caption', text: `First-ply failure envelope in the plane ${plane.value} (the other loads as given), ${n} directions, each a run of the program; the current load marked.` }));
    const csv = node('button', { type: 'button', text: 'CSV: envelope', 'data-table': 'envelope' });
    csv.addEventListener('click', () => saveCsv(`envelope-${plane.value.replace(',', '-')}.csv`, made.csv));
    out.replaceChildren(figure, csv);
    performance.mark('lamvis2-envelope');
  });
  return [node('h3', { text: 'First-ply failure envelope' }),
    node('p', { class: 'envelope-controls' }, 'Plane ', plane, ' directions ', points, ' ', button), out];
}

// Last-ply failure on request: `find()` gives a promise of the kit's results per criterion;
// each criterion's table of steps (the kit's text) and its last-ply factor go into the report,
// and `found(quantities)` is told of the quantities.
function lastPlyParts(find, found) {
  const button = node('button', { type: 'button', id: 'last-ply-find', text: 'Find the last-ply failure' });
  const out = node('div', { id: 'last-ply', class: 'last-ply' });
  button.addEventListener('click', async () => {
    button.disabled = true;
    out.replaceChildren(node('p', { class: 'note', text: 'Running the program on each step of the ply discount…' }));
    const results = await find();
    button.disabled = false;
    const quantities = results.flatMap((r) => r.quantities ?? []);
    out.replaceChildren(...results.map((r) => (r.error !== undefined
      ? node('p', { class: 'strength-error', text: `${r.criterion}: ${r.error}` })
      : node('pre', { class: 'last-ply-text', 'data-criterion': r.criterion, text: r.text.replace(/^\n/, '') }))));
    found(quantities);
    performance.mark('lamvis2-last-ply');
  });
  return [node('h3', { text: 'Last-ply failure (ply discount)' }),
    node('p', { class: 'note' }, 'Each failed ply loses its stiffness for its mode and the load rises to the next failure, each step a run of the program. ', button), out];
}

// Each ply's stresses at its bottom, middle and top faces without strengths: `faces` the
// kit's JSON (kit.js readFaces) or { error }; `why` whether to say why there are none.
export function facesParts(faces, why) {
  const heading = node('h3', { text: 'Ply stresses at the faces (derived from the printed strains and curvatures)' });
  if (faces.error !== undefined) {
    return why ? [heading, node('p', { class: 'strength-error', text: `No face stresses: ${faces.error}` })] : [];
  }
  const q = new Map(faces.quantities.map((x) => [x.name, x]));
  const rows = [];
  for (let k = 1; q.has(`ply[${k}].bottom.sigma-1`); k++) {
    for (const face of FACES) {
      rows.push({ cells: [String(k), face, ...['sigma-1', 'sigma-2', 'sigma-12'].map((s) => shown(q.get(`ply[${k}].${face}.${s}`)))] });
    }
  }
  return [heading,
    table('Per ply and face: stresses in the material axes (derived)',
      ['ply', 'face', 'sigma-1', 'sigma-2', 'sigma-12'], rows, 'faces'),
    node('p', { class: 'note', text: 'Stresses at each ply\'s bottom, middle and top faces are derived from the printed mid-plane strains and curvatures and each ply\'s stiffness from the inputs; the middle ones agree with the printed stresses to their rounding. Their names are ply[k].FACE.sigma-1, .sigma-2 and .sigma-12 (FACE bottom, middle or top). Strengths in the form add each criterion\'s strength ratio.' })];
}

// The parts of the report for `strength` (the kit's JSON, or { error }); `envelope` (when
// given): { draw(plane, points), saveCsv(name, text), lastPly(), lastPlyFound(quantities) }.
export function strengthParts(strength, envelope = null) {
  const parts = [node('h3', { text: 'Strength (derived from the printed strains and curvatures)' })];
  if (strength.error !== undefined) {
    parts.push(node('p', { class: 'strength-error', text: `No strength numbers: ${strength.error}` }));
    return parts;
  }
  const q = new Map(strength.quantities.map((x) => [x.name, x]));
  const criteria = [...new Set(strength.quantities.map((x) => /^first-ply\.([a-z-]+)$/.exec(x.name)?.[1]).filter(Boolean))];
  const factor = criteria.some((c) => q.has(`first-ply.${c}.margin`));
  const loads = LOADS.filter((l) => criteria.some((c) => (q.get(`first-ply.${c}.${l}`)?.value ?? 0) !== 0));
  const least = Math.min(...criteria.map((c) => q.get(`first-ply.${c}`)?.value ?? Infinity));
  parts.push(table('First-ply failure: the factor R on all loads that brings the first ply to its failure surface',
    ['criterion', 'R', 'failure index 1/R', 'ply', 'face', 'mode', ...(factor ? ['margin R/F - 1'] : []), ...loads.map((l) => `${l} at failure`)],
    criteria.map((c) => {
      const base = `first-ply.${c}`;
      const r = q.get(base);
      return {
        rowClass: r?.value === least ? 'first-ply' : '',
        cells: [c, shown(r), r?.value ? String(Number((1 / r.value).toPrecision(5))) : '0', shown(q.get(`${base}.ply`)),
          q.get(`${base}.face`)?.text ?? '', q.get(`${base}.mode`)?.text ?? '',
          ...(factor ? [shown(q.get(`${base}.margin`))] : []), ...loads.map((l) => shown(q.get(`${base}.${l}`)))],
      };
    }), 'first-ply'));
  const rows = [];
  for (let k = 1; q.has(`ply[${k}].bottom.sigma-1`); k++) {
    for (const face of FACES) {
      const base = `ply[${k}].${face}`;
      const highlight = [];
      const perCriterion = criteria.map((c, i) => {
        const first = q.get(`first-ply.${c}.ply`)?.value === k && q.get(`first-ply.${c}.face`)?.text === face;
        if (first) highlight.push(5 + i);
        const r = q.get(`${base}.${c}`);
        return `${shown(r)} ${q.get(`${base}.${c}.mode`)?.text ?? ''}`.trim();
      });
      rows.push({ cells: [String(k), face, ...['sigma-1', 'sigma-2', 'sigma-12'].map((s) => shown(q.get(`${base}.${s}`))), ...perCriterion], highlight });
    }
  }
  parts.push(table('Per ply and face: stresses in the material axes (derived) and each criterion\'s R and mode',
    ['ply', 'face', 'sigma-1', 'sigma-2', 'sigma-12', ...criteria.map((c) => `${c} R, mode`)], rows, 'strength'));
  if (envelope !== null) {
    parts.push(...lastPlyParts(envelope.lastPly, envelope.lastPlyFound));
    parts.push(...envelopeParts(envelope.draw, envelope.saveCsv));
  }
  parts.push(node('p', { class: 'note', text: 'Highlighted: the first-ply failure (the least R) of each criterion; in the first table, the criterion with the least R. Stresses at each ply\'s bottom, middle and top faces are derived from the printed mid-plane strains and curvatures and each ply\'s stiffness; the middle ones agree with the printed stresses to their rounding.' }));
  return parts;
}
