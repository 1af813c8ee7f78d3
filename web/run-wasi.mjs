// Runs a WASI command module (the program's WebAssembly build) with this process's standard
// descriptors, as the native program runs:
//   node web/run-wasi.mjs build-wasm/lamvis2.wasm < answers.txt > results.txt
// The module reads descriptor 0 and writes 1 and 2 through Node's WASI host, which reads
// and writes the descriptors directly (a pipe, a file or a terminal alike); its exit status
// is this process's. Nothing of Node's own reaches standard error: the host is still marked
// experimental, and that notice is not the program's.
import { readFile } from 'node:fs/promises';
import process from 'node:process';

process.removeAllListeners('warning');

const [modulePath] = process.argv.slice(2);
if (!modulePath) {
  process.stderr.write('usage: node run-wasi.mjs MODULE.wasm\n');
  process.exit(2);
}

const { WASI } = await import('node:wasi');
const wasi = new WASI({ version: 'preview1', args: [modulePath], env: {}, returnOnExit: true });
const module = await WebAssembly.compile(await readFile(modulePath));
const instance = await WebAssembly.instantiate(module, wasi.getImportObject());
process.exitCode = wasi.start(instance);
