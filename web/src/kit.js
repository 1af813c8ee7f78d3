// The kit's library (kit/wasm_api.cc), built for WebAssembly: the one place where the page
// reads a run's results, names its numbers and derives quantities, with the same code as
// `lamvis2-kit read --json`. Texts go in as one character per byte; the JSON comes back.
// The module imports a few WASI calls that it never makes (its C library's file layer):
// each refuses.
const ENOSYS = 52;

let instance = null;
let ready = null;
let source = null;

// Loads the module from `bytes` (or a promise of them); returns kitReady().
export function loadKit(bytes) {
  source = () => bytes;
  return kitReady();
}

// Where the module's bytes will come from: `bytes()`, called when the library is first
// wanted (kitReady).
export function kitSource(bytes) {
  source = bytes;
}

function start() {
  return Promise.resolve(source()).then((b) => WebAssembly.compile(b))
    .then((module) => {
      const imports = {};
      for (const { module: space, name, kind } of WebAssembly.Module.imports(module)) {
        if (kind !== 'function') continue;
        imports[space] ??= {};
        imports[space][name] = () => ENOSYS;
      }
      return WebAssembly.instantiate(module, imports);
    })
    .then((made) => {
      instance = made.exports;
      instance._initialize();
    });
  return ready;
}

// Resolves once the library can be called (after loadKit), starting to load it if need be.
export function kitReady() {
  ready ??= start();
  return ready;
}

const utf8 = new TextDecoder();

// Copies `text` (one character per byte) or an Int32Array into the module's memory.
function place(value) {
  const size = value instanceof Int32Array ? value.byteLength : value.length;
  const at = instance.kit_alloc(size);
  if (value instanceof Int32Array) new Int32Array(instance.memory.buffer, at, value.length).set(value);
  else {
    const bytes = new Uint8Array(instance.memory.buffer, at, size);
    for (let i = 0; i < size; i++) bytes[i] = value.charCodeAt(i) & 0xff;
  }
  return { at, size };
}

// `lamvis2-kit read --json` of a run, as an object: `stdout` what it printed, `stderr` what
// it wrote to standard error and `status` its exit status (null: not known, as for a results
// file), `answers` the lines given to it with `asked` (one entry a line and one after: the
// length of standard output when that line was asked for, -1 if never), `name` its name.
// A text that is not a results file gives { error, line }.
export function readRun(run) {
  return call('kit_read', run);
}

// `lamvis2-kit strength --json` of a run (the arguments of readRun) with `strengths`, a
// strengths file's text (TOML: a [[set]] table a set, in order), `criteria` a list as
// --criteria takes it ('all', 'tsai-wu,hashin') and `factor` the load factor (null: none).
// { error } when there are no strength numbers, and why.
export function readStrength(run, { strengths, criteria = 'all', factor = null }) {
  return call('kit_strength', run, [strengths, criteria], factor ?? NaN);
}

// Each ply's stresses and strains at its bottom, middle and top faces, which need no
// strengths, of a run (the arguments of readRun): readRun's JSON with the quantities
// ply[k].FACE.sigma-1 ... gamma-12 that `lamvis2-kit strength --json` names, or { error }
// when the run printed no ply stresses or its inputs are not known or do not belong to it.
export function readFaces(run) {
  return call('kit_faces', run);
}

function call(entry, { stdout, stderr = null, status = null, answers = null, asked = null, name = '' }, texts = [], number = null, numbers = []) {
  if (instance === null) throw new Error('the kit library is not loaded yet');
  const placed = [];
  const put = (value) => {
    const p = place(value);
    placed.push(p);
    return p;
  };
  const out = put(stdout);
  const err = stderr === null ? null : put(stderr);
  const ans = answers === null ? null : put(answers);
  const pos = asked === null ? null : put(Int32Array.from(asked));
  const label = put(name);
  const extra = texts.flatMap((t) => {
    const p = put(utf8Bytes(t));
    return [p.at, p.size];
  });
  const size = instance[entry](out.at, out.size, err?.at ?? 0, err === null ? -1 : err.size,
    status ?? -1, ans?.at ?? 0, ans?.size ?? 0, pos?.at ?? 0, asked === null ? 0 : asked.length,
    label.at, label.size, ...extra, ...(number === null ? [] : [number]), ...numbers);
  const json = utf8.decode(new Uint8Array(instance.memory.buffer, instance.kit_result(), size));
  for (const p of placed) instance.kit_free(p.at);
  return JSON.parse(json);
}

// The first-ply failure envelope of a run (the arguments of readRun) in `plane` ('nx,ny'),
// with `points` directions, each point a run of the program: `runProgram(answers)` runs it on
// an answer file's text and gives a promise of { stdout, stderr, status }. Resolves to
// { csv, svg } as `lamvis2-kit envelope` writes them, or { error }.
export async function envelope(run, { strengths, criteria = 'all', plane = 'nx,ny', points = 72, title = '' }, runProgram) {
  const started = call('kit_envelope_start', run, [strengths, criteria, plane], null, [points]);
  if (started.error !== undefined) return started;
  const base = started.runs[0].direction === null ? 1 : 0;
  for (let i = 0; i < started.runs.length; i++) {
    const { stdout, stderr, status } = await runProgram(started.runs[i].answers);
    const taken = callRaw('kit_envelope_run', [i - base], [stdout, stderr], [status]);
    if (taken.error !== undefined) return taken;
  }
  return callRaw('kit_envelope_finish', [], [title], []);
}

// Last-ply failure by ply discount for `criterion` (one name) of a run (the arguments of
// readRun), each step a run of the program by `runProgram` (as for envelope). Resolves to
// { text, quantities } as `lamvis2-kit strength --last-ply` gives them, or { error }.
export async function lastPly(run, { strengths, criterion }, runProgram) {
  let step = call('kit_last_ply_start', run, [strengths, criterion]);
  while (step.error === undefined && !step.done) {
    const { stdout, stderr, status } = await runProgram(step.answers);
    step = callRaw('kit_last_ply_run', [], [stdout, stderr], [status]);
  }
  return step;
}

// An entry of the module with numbers and texts (each as address and size) in this order:
// `before` numbers, the texts, `after` numbers.
function callRaw(entry, before, texts, after) {
  const placed = texts.map((t) => place(t));
  const size = instance[entry](...before, ...placed.flatMap((p) => [p.at, p.size]), ...after);
  const json = utf8.decode(new Uint8Array(instance.memory.buffer, instance.kit_result(), size));
  for (const p of placed) instance.kit_free(p.at);
  return JSON.parse(json);
}

// A text as one character per byte of its UTF-8 form.
const utf8Bytes = (text) => String.fromCharCode(...new TextEncoder().encode(text));

// `lamvis2-kit case --json` of a case file's text (TOML): the case as the kit reads it, with
// the answers it gives the program; { error: 'NAME:LINE: what' } when it breaks a rule.
export function readCase(text, name = 'case.toml') {
  if (instance === null) throw new Error('the kit library is not loaded yet');
  const bytes = new TextEncoder().encode(text);
  const at = instance.kit_alloc(bytes.length);
  new Uint8Array(instance.memory.buffer, at, bytes.length).set(bytes);
  const label = place(name);
  const size = instance.kit_case(at, bytes.length, label.at, label.size);
  const json = utf8.decode(new Uint8Array(instance.memory.buffer, instance.kit_result(), size));
  instance.kit_free(at);
  instance.kit_free(label.at);
  return JSON.parse(json);
}
