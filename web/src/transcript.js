// The transcript reader: finds the printed tables in what the program wrote (a page run, or
// a results file of the native program on any platform, CR LF or LF line ends) by the
// layout of their records, and reads every number from its printed field. A field of the
// exponent form is "-.dddd" and an exponent ("E+03", or three digits with their sign when
// the exponent has three); a field that overflowed holds asterisks and has no value.

export const BANNER = 'Viscoelastic laminate code, rev 9/11/99';

const LOADS = ['Nx', 'Ny', 'Nxy', 'Mx', 'My', 'Mxy'];
const DEFORMATIONS = ['eps-xx', 'eps-yy', 'eps-xy', 'kappa-xx', 'kappa-yy', 'kappa-xy'];

// The label of each strain and curvature line, as printed (kappa-yy has its blank after
// the equals sign).
const DEFORMATION_LABELS = [
  '  eps-xx =', '  eps-yy =', '  eps-xy =', '  kappa-xx =', '  kappa-yy= ', '  kappa-xy =',
];

const EXPONENT_FORM = /^(-?)\.(\d+)(?:[ED]([+-]\d+)|([+-]\d{3}))$/;

// A matrix row: three blanks (the fourth of its four went as carriage control), three
// fields of 12, two blanks, three fields of 12.
const MATRIX_ROW = /^ {3}(.{12})(.{12})(.{12}) {2}(.{12})(.{12})(.{12})$/;
// A ply's stresses: two blanks, the ply number in two columns, three fields of 12.
const STRESS_ROW = /^ {2}(.{2})(.{12})(.{12})(.{12})$/;
// A row of the relaxation table: seven fields of 12, the first without its first column,
// which went as carriage control.
const RELAXATION_ROW = /^(.{11})(.{12})(.{12})(.{12})(.{12})(.{12})(.{12})$/;

const STRESS_HEADING = ' ply     sigma-1     sigma-2    sigma-12';

// One printed real field: its text without the blanks before it, and its value (null for a
// field of asterisks). Returns null when the text is not such a field.
export function readRealField(field) {
  const text = field.replace(/^ +/, '');
  if (/^\*+$/.test(text)) return { text, value: null };
  const m = EXPONENT_FORM.exec(text);
  if (m === null) return null;
  const exponent = m[3] ?? m[4];
  return { text, value: Number(`${m[1]}0.${m[2]}e${exponent}`) };
}

function readIntegerField(field) {
  const text = field.replace(/^ +/, '');
  if (/^\*+$/.test(text)) return { text, value: null };
  if (!/^-?\d+$/.test(text)) return null;
  return { text, value: Number(text) };
}

function label(text) {
  return { text, value: null, label: true };
}

// The fields of `line` by `pattern`, each read as a real; null unless all of them are.
function realFields(pattern, line) {
  const m = pattern.exec(line);
  if (m === null) return null;
  const cells = m.slice(1).map(readRealField);
  return cells.every((cell) => cell !== null) ? cells : null;
}

function splitLines(text) {
  return text.split('\n').map((line) => (line.endsWith('\r') ? line.slice(0, -1) : line));
}

// The 6 by 6 matrix printed after `heading`: an empty line, three rows, an empty line and
// three rows. A run that ended early leaves fewer rows.
function readMatrix(lines, heading, rowNames, columnNames) {
  let i = lines.indexOf(heading);
  if (i < 0) return null;
  const rows = [];
  for (i += 1; i < lines.length && rows.length < 6; i++) {
    if (lines[i] === '' && (rows.length === 0 || rows.length === 3)) continue;
    const cells = realFields(MATRIX_ROW, lines[i]);
    if (cells === null) break;
    rows.push([label(rowNames[rows.length]), ...cells]);
  }
  return { columns: ['row', ...columnNames], rows };
}

function readDeformation(lines) {
  let i = lines.indexOf('midplane strains:');
  if (i < 0) return null;
  const rows = [];
  for (i += 1; i < lines.length && rows.length < 6; i++) {
    if (lines[i] === '' || (lines[i] === 'rotations:' && rows.length === 3)) continue;
    const prefix = DEFORMATION_LABELS[rows.length];
    const printed = lines[i].startsWith(prefix) && lines[i].length === prefix.length + 12;
    const cell = printed ? readRealField(lines[i].slice(prefix.length)) : null;
    if (cell === null) break;
    rows.push([label(DEFORMATIONS[rows.length]), cell]);
  }
  return { columns: ['component', 'value'], rows };
}

function readPlyStresses(lines) {
  let i = lines.indexOf(STRESS_HEADING);
  if (i < 0) return null;
  const rows = [];
  for (i += 1; i < lines.length; i++) {
    if (lines[i] === '' && rows.length === 0) continue;
    const m = STRESS_ROW.exec(lines[i]);
    if (m === null) break;
    const ply = readIntegerField(m[1]);
    const stresses = m.slice(2).map(readRealField);
    if (ply === null || stresses.some((cell) => cell === null)) break;
    rows.push([ply, ...stresses]);
  }
  return { columns: ['ply', 'sigma-1', 'sigma-2', 'sigma-12'], rows };
}

// The rows after the prompt for the relaxation time; a copy of a terminal's screen has the
// typed time on the line between.
function readRelaxation(lines) {
  let i = lines.indexOf('Enter relaxation time');
  if (i < 0) return null;
  const rows = [];
  if (i + 2 < lines.length && realFields(RELAXATION_ROW, lines[i + 1]) === null &&
      realFields(RELAXATION_ROW, lines[i + 2]) !== null) i += 1;
  for (i += 1; i < lines.length; i++) {
    const cells = realFields(RELAXATION_ROW, lines[i]);
    if (cells === null) break;
    rows.push(cells);
  }
  return { columns: ['time', ...DEFORMATIONS], rows };
}

// Reads a transcript. `text` holds one character per byte. Returns { transcript: false }
// when the text is not one; otherwise the tables found, each { columns, rows } (rows of
// cells { text, value }) or null when the run did not get that far.
export function readTranscript(text) {
  const lines = splitLines(text);
  const first = lines.find((line) => line !== '');
  if (first !== BANNER) return { transcript: false };
  return {
    transcript: true,
    stiffness: readMatrix(lines, 'laminate stiffness matrix:', LOADS, DEFORMATIONS),
    compliance: readMatrix(lines, 'laminate compliance matrix:', DEFORMATIONS, LOADS),
    deformation: readDeformation(lines),
    plyStresses: readPlyStresses(lines),
    relaxation: readRelaxation(lines),
  };
}

export const TABLE_TITLES = {
  stiffness: 'laminate stiffness matrix',
  compliance: 'laminate compliance matrix',
  deformation: 'midplane strains and rotations',
  plyStresses: 'ply stresses',
  relaxation: 'relaxation table',
};
