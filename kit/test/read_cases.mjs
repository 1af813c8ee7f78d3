// The kit's reader on every whole-program case's expected output: the count of numbers
// against a count of the printed fields made from the text alone, and the kit's library as
// the browser page runs it (its WebAssembly module, kit/wasm_api.cc) against the command
// line: the same JSON but for the file's name.
//   node read_cases.mjs KIT [CASES_DIR [KIT_MODULE]]
// KIT_MODULE defaults to build-wasm/kit.wasm; without it only the counts are checked.
// With KIT_CHECKS_EMULATOR set (wine, qemu-aarch64), the kit runs through it.
import { execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { loadCases } from '../../web/test/cases.mjs';
import { loadKit, readRun } from '../../web/src/kit.js';

const root = join(dirname(fileURLToPath(import.meta.url)), '../..');
const kit = process.argv[2];
const cases = loadCases(process.argv[3] ?? join(root, 'tests/cases'));
const kitModule = process.argv[4] ?? join(root, 'build-wasm/kit.wasm');
const dir = mkdtempSync(join(tmpdir(), 'kit-read-'));
const withModule = existsSync(kitModule);
if (withModule) await loadKit(readFileSync(kitModule));
else console.log(`${kitModule} not built: the page's reading is not compared`);

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
  const page = withModule ? readRun({ stdout: c.stdout, name: file }) : null;
  let kitOut;
  try {
    const emulator = (process.env.KIT_CHECKS_EMULATOR ?? '').split(' ').filter((w) => w !== '');
    const command = [...emulator, kit, 'read', '--json', file];
    kitOut = JSON.parse(execFileSync(command[0], command.slice(1), { encoding: 'latin1' }));
  } catch (e) {
    if (page !== null && page.error === undefined) {
      console.log(`${c.name}: the kit refuses what the page reads: ${e.stderr ?? e}`);
      failures++;
    }
    continue;
  }
  if (page !== null && page.error !== undefined) {
    console.log(`${c.name}: the kit reads what the page refuses (${page.error})`);
    failures++;
    continue;
  }
  const got = kitOut.quantities.filter((q) => q.kind === 'printed');
  const problems = [];
  if (got.length !== countFields(c.stdout)) problems.push(`${got.length} numbers, the text ${countFields(c.stdout)} fields`);
  if (page !== null && JSON.stringify(page) !== JSON.stringify(kitOut)) {
    const a = JSON.stringify(page);
    const b = JSON.stringify(kitOut);
    let i = 0;
    while (a[i] === b[i]) i++;
    problems.push(`the page's reading differs at ${i}: ${a.slice(i - 30, i + 50)} / ${b.slice(i - 30, i + 50)}`);
  }
  if (problems.length > 0) {
    console.log(`${c.name}: ${problems.slice(0, 5).join('; ')}`);
    failures++;
  }
  checked++;
}
rmSync(dir, { recursive: true });
console.log(`${checked} case outputs read, ${failures} disagreeing`);
process.exit(failures > 0 || checked === 0 ? 1 : 0);
