// A run's results as the report shows them: the kit's quantities (kit.js, doc/names.md)
// arranged by name into the printed tables, the inputs the program read and the derived
// quantities. Nothing here reads the program's text: every cell is a quantity of the kit,
// with its name, its text as printed (without the blanks before it) and its value.

export const TABLE_TITLES = {
  stiffness: 'laminate stiffness matrix',
  compliance: 'laminate compliance matrix',
  deformation: 'midplane strains and rotations',
  plyStresses: 'ply stresses',
  relaxation: 'relaxation table',
};

const LOADS = ['Nx', 'Ny', 'Nxy', 'Mx', 'My', 'Mxy'];
export const DEFORMATIONS = ['eps-xx', 'eps-yy', 'eps-xy', 'kappa-xx', 'kappa-yy', 'kappa-xy'];
const SET_FIELDS = { e1: 'e1', e2: 'e2', nu12: 'nu12', g12: 'g12', thickness: 'thickness', 'creep-fraction': 'creep' };

const cellOf = (q) => ({ name: q.name, text: q.text.trim(), value: q.value });
const label = (text) => ({ text, value: null, label: true });

// The tables of `read` (the kit's JSON of a run), each { columns, rows of cells } or null
// when the run did not print it; `inputs` as the form and the report hold them; `derived`
// the kit's derived quantities; `error` when the text is not a results file.
export function resultTables(read) {
  if (read.error !== undefined) return { transcript: false, error: read.error, line: read.line };
  const byName = new Map(read.quantities.map((q) => [q.name, q]));
  const printed = new Set(read.tables.map((t) => t.name));
  const matrix = (name, rowNames, columnNames) => {
    if (!printed.has(name)) return null;
    const rows = [];
    for (let i = 1; i <= 6; i++) {
      const cells = [];
      for (let j = 1; j <= 6; j++) {
        const q = byName.get(`${name}[${i},${j}]`);
        if (q !== undefined) cells.push(cellOf(q));
      }
      if (cells.length === 0) break;
      rows.push([label(rowNames[i - 1]), ...cells]);
    }
    return { columns: ['row', ...columnNames], rows };
  };
  const deformation = printed.has('deformation') ? {
    columns: ['component', 'value'],
    rows: DEFORMATIONS.filter((n) => byName.has(n)).map((n) => [label(n), cellOf(byName.get(n))]),
  } : null;
  const plyRows = [];
  for (let k = 1; byName.has(`ply[${k}].number`); k++) {
    plyRows.push(['number', 'sigma-1', 'sigma-2', 'sigma-12'].map((n) => byName.get(`ply[${k}].${n}`)).filter(Boolean).map(cellOf));
  }
  const relaxationRows = [];
  for (let n = 1; byName.has(`relaxation[${n}].time`); n++) {
    relaxationRows.push(['time', ...DEFORMATIONS].map((c) => byName.get(`relaxation[${n}].${c}`)).filter(Boolean).map(cellOf));
  }
  return {
    transcript: true,
    read,
    stiffness: matrix('stiffness', LOADS, DEFORMATIONS),
    compliance: matrix('compliance', DEFORMATIONS, LOADS),
    deformation,
    plyStresses: printed.has('stresses') ? { columns: ['ply', 'sigma-1', 'sigma-2', 'sigma-12'], rows: plyRows } : null,
    relaxation: printed.has('relaxation') ? { columns: ['time', ...DEFORMATIONS], rows: relaxationRows } : null,
    inputs: inputsOf(read.quantities),
    derived: read.quantities.filter((q) => q.kind === 'derived'),
  };
}

// The inputs the program read, from the kit's dialogue quantities (a name given again means
// the last); null when the run's inputs are not known (a results file alone).
function inputsOf(quantities) {
  const dialogue = quantities.filter((q) => q.kind === 'input');
  if (dialogue.length === 0) return null;
  const inputs = { sets: [], plies: [], loads: {}, relaxation: null };
  let m;
  for (const q of dialogue) {
    if (/ends the (material sets|layup)/.test(q.note ?? '')) continue;
    if ((m = /^set\[(\d+)\]\.(.+)$/.exec(q.name)) !== null && SET_FIELDS[m[2]] !== undefined) {
      inputs.sets[m[1] - 1] ??= {};
      inputs.sets[m[1] - 1][SET_FIELDS[m[2]]] = q.answer;
    } else if ((m = /^ply\[(\d+)\]\.(set|angle)$/.exec(q.name)) !== null) {
      inputs.plies[m[1] - 1] ??= {};
      inputs.plies[m[1] - 1][m[2]] = q.answer;
    } else if (LOADS.some((l) => l.toLowerCase() === q.name)) {
      inputs.loads[LOADS.find((l) => l.toLowerCase() === q.name)] = q.answer;
    } else if (q.name === 'relaxation-time') {
      inputs.relaxation = q.answer;
    }
  }
  inputs.sets = inputs.sets.filter(Boolean);
  inputs.plies = inputs.plies.filter((p) => p && p.angle !== undefined);
  return inputs;
}

// The names and values of a run, as `lamvis2-kit read --json` lists them.
export function quantitiesOf(read) {
  return read.error !== undefined ? [] : read.quantities.map((q) => ({ name: q.name, value: q.value, text: q.text, kind: q.kind }));
}
