// The WASI host: the program's module (the page's asyncify build, build-web/ or
// $LAMVIS2_ASYNCIFY_MODULE) run on every case file, its standard input given at once, as
// promises (the module suspended at each read) and a few bytes per read; standard output,
// standard error and the exit status must be the case's.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { runModule } from '../src/wasi-host.js';
import { loadCases } from './cases.mjs';

const root = join(dirname(fileURLToPath(import.meta.url)), '../..');
const modulePath = process.env.LAMVIS2_ASYNCIFY_MODULE ?? join(root, 'build-web/lamvis2-asyncify.wasm');
const module = new WebAssembly.Module(readFileSync(modulePath));
const cases = loadCases(join(root, 'tests/cases')).filter((c) => !c.name.includes('file_size_limit'));

// A standard input over `bytes`: each read gives at most `most` bytes, `later` as a promise.
function input(bytes, { most = Infinity, later = false }) {
  let offset = 0;
  return {
    isTerminal: false,
    read(count) {
      const piece = bytes.subarray(offset, offset + Math.min(count, most));
      offset += piece.length;
      return later ? new Promise((r) => setTimeout(() => r(piece), 0)) : piece;
    },
  };
}

async function run(c, how) {
  const written = { 1: '', 2: '' };
  const status = await runModule(module, {
    stdin: input(Buffer.from(c.stdin, 'latin1'), how),
    stdout: { isTerminal: false, write: (fd, bytes) => { written[fd] += Buffer.from(bytes).toString('latin1'); } },
    suspension: 'asyncify',
  });
  return { stdout: written[1], stderr: written[2], status };
}

const ways = [
  ['at once', {}],
  ['as promises', { later: true }],
  ['three bytes per read, as promises', { most: 3, later: true }],
];

for (const [name, how] of ways) {
  test(`every case file, standard input ${name}`, async () => {
    assert.ok(cases.length > 50);
    for (const c of cases) {
      const got = await run(c, how);
      assert.deepEqual(got, { stdout: c.stdout, stderr: c.stderr, status: c.status }, c.name);
    }
  });
}
