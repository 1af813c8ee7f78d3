// The strength part of the report, from the kit's strength quantities (kit.js readStrength,
// as `lamvis2-kit strength --json` names them): the first-ply failure of each criterion (its
// strength ratio R, ply, face, mode, margin and failure loads), highlighted where it is the
// least, and per ply and face the derived stresses in the material axes with each
// criterion's R and mode, the first-ply failure's face highlighted.
const FACES = ['bottom', 'middle', 'top'];
const LOADS = ['nx', 'ny', 'nxy', 'mx', 'my', 'mxy'];

function node(name, attributes = {}, ...children) {
  const e = document.createElement(name);
  for (const [k, v] of Object.entries(attributes)) {
    if (k === 'text') e.textContent = v;
    else e.setAttribute(k, v);
  }
  e.append(...children);
  return e;
}

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

// The parts of the report for `strength` (the kit's JSON, or { error }).
export function strengthParts(strength) {
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
  parts.push(node('p', { class: 'note', text: 'Highlighted: the first-ply failure (the least R) of each criterion; in the first table, the criterion with the least R. Stresses at each ply\'s bottom, middle and top faces are derived from the printed mid-plane strains and curvatures and each ply\'s stiffness; the middle ones agree with the printed stresses to their rounding.' }));
  return parts;
}
