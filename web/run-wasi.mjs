// Runs a WASI command module (the program's WebAssembly build) with this process's standard
// descriptors, as the native program runs:
//   node web/run-wasi.mjs build-wasm/lamvis2.wasm < answers.txt > results.txt
// Node's WASI host reads and writes the descriptors directly, whether they are pipes, files
// or a terminal; the module's exit status is this process's. Nothing of Node's own reaches
// standard error: the host is still marked experimental, and that notice is not the
// program's.
//
// The global `process` is used as it is, not imported: importing node:process reads every
// property of it, which opens Node's own stream on standard input and so makes descriptor 0
// non-blocking, and a read made before the answer is there would then fail.
import { readFile } from 'node:fs/promises';

process.removeAllListeners('warning');

const [modulePath] = process.argv.slice(2);
if (!modulePath) {
  process.stderr.write('usage: node run-wasi.mjs MODULE.wasm\n');
  process.exit(2);
}

if (Number(process.versions.node.split('.')[0]) < 18) {
  process.stderr.write(`run-wasi.mjs needs Node.js 18 or later; this is ${process.version}\n`);
  process.exit(2);
}

const { WASI } = await import('node:wasi');
const wasi = new WASI({ version: 'preview1', args: [modulePath], env: {}, returnOnExit: true });
const module = await WebAssembly.compile(await readFile(modulePath));
// The import object is made from `wasi.wasiImport`, which every Node from 18 up has
// (`getImportObject()` came with Node 20).
const instance = await WebAssembly.instantiate(module, { wasi_snapshot_preview1: wasi.wasiImport });
try {
  process.exitCode = wasi.start(instance);
} catch (error) {
  if (!(error instanceof WebAssembly.RuntimeError)) throw error;
  // A trap is how the module aborts: end as an aborted native process ends.
  process.kill(process.pid, 'SIGABRT');
}
