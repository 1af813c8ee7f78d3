// The kit's reader on every whole-program case's expected output, against the browser
// page's reader: the same tables, and each number with the same text and value. The count
// of numbers is checked against a count of the printed fields made from the text alone.
//   node read_cases.mjs KIT [CASES_DIR]
// With KIT_CHECKS_EMULATOR set (wine, qemu-aarch64), the kit runs through it.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { loadCases } from '../../web/test/cases.mjs';
import { readTranscript } from '../../web/src/transcript.js';

const root = join(dirname(fileURLToPath(import.meta.url)), '../..');
const kit = process.argv[2];
const cases = loadCases(process.argv[3] ?? join(root, 'tests/cases'));
const dir = mkdtempSync(join(tmpdir(), 'kit-read-'));

// The names of the page's cells, table by table, in the kit's names.
const DEFORMATIONS = ['eps-xx', 'eps-yy', 'eps-xy', 'kappa-xx', 'kappa-yy', 'kappa-xy'];
function pageQuantities(t) {
  const out = [];
  for (const [table, base] of [['stiffness', 'stiffness'], ['compliance', 'compliance']]) {
    (t[table]?.rows ?? []).forEach((row, i) =>
      row.slice(1).forEach((cell, j) => out.push([`${base}[${i + 1},${j + 1}]`, cell])));
  }
  (t.deformation?.rows ?? []).forEach((row) => out.push([row[0].text, row[1]]));
  (t.plyStresses?.rows ?? []).forEach((row, i) =>
    ['number', 'sigma-1', 'sigma-2', 'sigma-12'].forEach((n, j) => out.push([`ply[${i + 1}].${n}`, row[j]])));
  (t.relaxation?.rows ?? []).forEach((row, i) =>
    ['time', ...DEFORMATIONS].forEach((n, j) => out.push([`relaxation[${i + 1}].${n}`, row[j]])));
  return out;
}

// The printed fields counted from the text: every exponent-form number, and the ply number
// at the start of each stress row; a last line cut short (no line end) is not read.
function countFields(whole) {
  const text = whole.endsWith('\n') ? whole : whole.slice(0, whole.lastIndexOf('\n') + 1);
  const reals = (text.match(/-?\.\d{4}(E[+-]\d\d|[+-]\d{3})/g) ?? []).length;
  const plies = (text.match(/^ {2}[ \d]\d {2,3}-?\.\d{4}/gm) ?? []).length;
  return reals + plies;
}

let failures = 0;
let checked = 0;
for (const c of cases) {
  const file = join(dir, `${c.name}.txt`);
  writeFileSync(file, Buffer.from(c.stdout, 'latin1'));
  const page = readTranscript(c.stdout);
  let kitOut;
  try {
    const emulator = (process.env.KIT_CHECKS_EMULATOR ?? '').split(' ').filter((w) => w !== '');
    const command = [...emulator, kit, 'read', '--json', file];
    kitOut = JSON.parse(execFileSync(command[0], command.slice(1), { encoding: 'latin1' }));
  } catch (e) {
    if (page.transcript) {
      console.log(`${c.name}: the kit refuses what the page reads: ${e.stderr ?? e}`);
      failures++;
    }
    continue;
  }
  if (!page.transcript) {
    console.log(`${c.name}: the kit reads what the page refuses`);
    failures++;
    continue;
  }
  const expected = pageQuantities(page);
  const got = kitOut.quantities.filter((q) => q.kind === 'printed');
  const problems = [];
  if (got.length !== expected.length) problems.push(`${got.length} numbers, the page ${expected.length}`);
  if (got.length !== countFields(c.stdout)) problems.push(`${got.length} numbers, the text ${countFields(c.stdout)} fields`);
  expected.forEach(([name, cell], i) => {
    const q = got[i];
    if (q === undefined) return;
    if (q.name !== name || q.text !== cell.text || !Object.is(q.value, cell.value))
      problems.push(`${q.name} "${q.text}" ${q.value} vs the page's ${name} "${cell.text}" ${cell.value}`);
  });
  if (problems.length > 0) {
    console.log(`${c.name}: ${problems.slice(0, 5).join('; ')}`);
    failures++;
  }
  checked++;
}
rmSync(dir, { recursive: true });
console.log(`${checked} case outputs read, ${failures} disagreeing`);
process.exit(failures > 0 || checked === 0 ? 1 : 0);
