// What the browser drivers share: the checks and their count, the native program run the
// ways the page runs it, and the README's session.
import { spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

export const root = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
const ptyRunner = join(root, 'web/test/native-pty.py');

// The README's example session: the lines typed at the prompts.
export const README_SESSION = ['100', '100', '0.25', '1', '0.5', '-1', '1', '0', '-1', '10', '0', '0', '0', '0', '0', '1.0'];

export const EXAMPLES = readdirSync(join(root, 'examples')).filter((f) => f.endsWith('.txt')).sort();

export const latin1 = (buffer) => Buffer.from(buffer).toString('latin1');

const counts = { passed: 0, failed: 0 };

// One check: prints "ok - NAME" or "not ok - NAME: DETAIL".
export function check(name, condition, detail = '') {
  if (condition) counts.passed += 1;
  else counts.failed += 1;
  console.log(`${condition ? 'ok' : 'not ok'} - ${name}${!condition && detail ? `: ${detail}` : ''}`);
}

// Prints the count and ends the process with its status.
export function finish() {
  console.log(`${counts.passed} passed, ${counts.failed} failed`);
  process.exit(counts.failed === 0 ? 0 : 1);
}

// The first difference of two byte strings, for a readable failure.
export function difference(got, expected) {
  if (got === expected) return '';
  let i = 0;
  while (i < got.length && got[i] === expected[i]) i++;
  const show = (s) => JSON.stringify(s.slice(Math.max(0, i - 40), i + 40));
  return `first difference at byte ${i} of ${got.length}/${expected.length}: got ${show(got)}, expected ${show(expected)}`;
}

// The native program on a pseudo-terminal with these typed lines ("\x04" alone: Ctrl-D).
export function nativeTyped(program, lines) {
  const typed = lines.map((line) => (line === '\x04' ? line : `${line}\n`)).join('');
  const run = spawnSync('python3', [ptyRunner, program], { input: typed, maxBuffer: 1 << 28 });
  return { out: latin1(run.stdout), status: run.status };
}

// The native program with a file as standard input; standard output and error go to one
// pipe, in the order written, as they reach a console.
export function nativeRedirected(program, file) {
  const run = spawnSync('sh', ['-c', '"$0" < "$1" 2>&1', program, file], { maxBuffer: 1 << 28 });
  return { out: latin1(run.stdout), status: run.status };
}

// The kit beside the program: `read --json RESULTS --answers ANSWERS` of the program's run
// on an answer file (its JSON), and `answers CASE` (the answers of a case file).
const kitOf = (program) => join(dirname(program), 'lamvis2-kit');
export function kitRead(program, answersFile) {
  const results = spawnSync(program, [], { input: readFileSync(answersFile) }).stdout;
  const dir = mkdtempSync(join(tmpdir(), 'lamvis2-kit-read-'));
  writeFileSync(join(dir, 'results.txt'), results);
  const run = spawnSync(kitOf(program), ['read', '--json', join(dir, 'results.txt'), '--answers', answersFile], { encoding: 'utf8' });
  rmSync(dir, { recursive: true });
  return JSON.parse(run.stdout);
}
// `strength --json RESULTS --answers ANSWERS --strengths STRENGTHS` of a case file's run (its
// answers, its sets' strengths as a strengths file, the program's results), as the page is
// given them (the JSON); `args` more options (--factor, --criteria, --last-ply).
export function kitStrength(program, caseFile, args = [], format = '--json') {
  const kit = kitOf(program);
  const dir = mkdtempSync(join(tmpdir(), 'lamvis2-kit-strength-'));
  const answers = spawnSync(kit, ['answers', caseFile]).stdout;
  const sets = JSON.parse(spawnSync(kit, ['case', '--json', caseFile], { encoding: 'utf8' }).stdout).sets;
  const strengths = sets.map((s) => ['[[set]]', ...Object.entries(s.strengths ?? {}).filter(([, v]) => v !== null).map(([k, v]) => `${k} = ${v}`)].join('\n')).join('\n\n');
  writeFileSync(join(dir, 'answers.txt'), answers);
  writeFileSync(join(dir, 'strengths.toml'), `${strengths}\n`);
  writeFileSync(join(dir, 'results.txt'), spawnSync(program, [], { input: answers }).stdout);
  const run = spawnSync(kit, ['strength', ...(format === '' ? [] : [format]), ...args, join(dir, 'results.txt'), '--answers', join(dir, 'answers.txt'),
    '--strengths', join(dir, 'strengths.toml')], { encoding: 'utf8', env: { ...process.env, LAMVIS2_PROGRAM: program } });
  rmSync(dir, { recursive: true });
  return format === '' ? run.stdout : JSON.parse(run.stdout);
}
// Each ply's stresses and strains at its faces in the program's run on an answer file, as
// `lamvis2-kit strength --json` names them (ply[k].FACE.sigma-1 ... gamma-12): they need no
// strengths, so any will do (the same for each of the ten sets a run may have).
export const FACE_QUANTITY = /^ply\[\d+\]\.(bottom|middle|top)\.(sigma-(1|2|12)|eps-(1|2)|gamma-12)$/;
export function kitFaces(program, answersFile) {
  const dir = mkdtempSync(join(tmpdir(), 'lamvis2-kit-faces-'));
  writeFileSync(join(dir, 'results.txt'), spawnSync(program, [], { input: readFileSync(answersFile) }).stdout);
  writeFileSync(join(dir, 'strengths.toml'), '[[set]]\nxt = 1500\nxc = 1200\nyt = 50\nyc = 200\ns = 70\n\n'.repeat(10));
  const run = spawnSync(kitOf(program), ['strength', '--json', join(dir, 'results.txt'), '--answers', answersFile,
    '--strengths', join(dir, 'strengths.toml')], { encoding: 'utf8' });
  rmSync(dir, { recursive: true });
  return JSON.parse(run.stdout).quantities.filter((q) => FACE_QUANTITY.test(q.name));
}
export const namesAndValues = (quantities) => JSON.stringify(quantities.map((q) => [q.name, q.value]));
export const kitAnswers = (program, caseFile) => spawnSync(kitOf(program), ['answers', caseFile], { encoding: 'latin1' }).stdout;

export const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

// The README's example session as its screen shows it (the lines before its "..."), each
// without the blanks at its end, as a terminal's copy gives them.
export function readmeScreen() {
  const readme = readFileSync(join(root, 'README.md'), 'utf8');
  const block = readme.slice(readme.indexOf('```', readme.indexOf('## Example session')) + 4);
  const lines = block.slice(0, block.indexOf('```')).split('\n');
  return lines.slice(0, lines.indexOf('  ...')).map((l) => l.trimEnd());
}
