// The WASI host: runs the program's WebAssembly module once, with standard input from the
// page (a terminal or the bytes of an answer file) and standard output and error to the
// page. The program only ever waits in a read of standard input; there the module is
// suspended until the page has the bytes, so the page never freezes. With JavaScript
// promise integration (where the browser has it) the engine suspends the module itself;
// elsewhere the module, transformed by asyncify at build time, unwinds its call stack into
// its own save area and is rewound when the bytes are there.

const ESUCCESS = 0;
const EBADF = 8;
const ENOSYS = 52;
const ESPIPE = 70;

const FILETYPE_CHARACTER_DEVICE = 2;
const FILETYPE_REGULAR_FILE = 4;
// All rights but seek and tell: what a terminal has.
const RIGHTS_ALL = 0x1fffffffn;
const RIGHTS_SEEK_TELL = (1n << 2n) | (1n << 5n);

const ASYNCIFY_NORMAL = 0;

export class ProcessExit extends Error {
  constructor(status) {
    super(`exit ${status}`);
    this.name = 'ProcessExit';
    this.status = status;
  }
}

// Whether the engine can suspend a module on a promise by itself.
export function hasPromiseIntegration() {
  return typeof WebAssembly.Suspending === 'function' && typeof WebAssembly.promising === 'function';
}

// Runs `module` (a compiled WebAssembly.Module) to its end and returns its exit status.
//   stdin: { isTerminal, read(count) } where read gives a Uint8Array of at most count bytes
//          (empty at the end of input), or a promise of one; a rejected promise ends the run
//          and is passed on to the caller.
//   stdout: { isTerminal, write(fd, bytes) } for descriptors 1 and 2.
//   suspension: 'jspi' or 'asyncify'.
export async function runModule(module, { stdin, stdout, suspension }) {
  let memory = null;
  let exports = null;
  const view = () => new DataView(memory.buffer);
  const bytesAt = (address, length) => new Uint8Array(memory.buffer, address, length);

  const ioVectors = (iovs, count) => {
    const dv = view();
    const vectors = [];
    for (let i = 0; i < count; i++) {
      vectors.push([dv.getUint32(iovs + 8 * i, true), dv.getUint32(iovs + 8 * i + 4, true)]);
    }
    return vectors;
  };

  // Copies a read's bytes into the program's buffers and stores the count.
  const deliver = (iovs, count, nreadAddress, bytes) => {
    let done = 0;
    for (const [address, length] of ioVectors(iovs, count)) {
      if (done >= bytes.length) break;
      const piece = bytes.subarray(done, done + length);
      bytesAt(address, piece.length).set(piece);
      done += piece.length;
    }
    view().setUint32(nreadAddress, done, true);
    return ESUCCESS;
  };

  const capacity = (iovs, count) => ioVectors(iovs, count).reduce((sum, [, length]) => sum + length, 0);

  // The read of standard input; suspends the module where the bytes are not there yet.
  let asyncify = null;  // the asyncify state, when asyncify suspends the module
  const fdRead = (fd, iovs, count, nreadAddress) => {
    if (fd !== 0) return EBADF;
    if (asyncify !== null && asyncify.rewinding) {
      exports.asyncify_stop_rewind();
      asyncify.rewinding = false;
      return deliver(iovs, count, nreadAddress, asyncify.result);
    }
    const bytes = stdin.read(capacity(iovs, count));
    if (!(bytes instanceof Promise)) return deliver(iovs, count, nreadAddress, bytes);
    if (suspension === 'jspi') return bytes.then((b) => deliver(iovs, count, nreadAddress, b));
    asyncify.pending = bytes;
    asyncify.startUnwind();
    return ESUCCESS;  // not seen by the program: the stack unwinds from here
  };

  const fdWrite = (fd, iovs, count, nwrittenAddress) => {
    if (fd !== 1 && fd !== 2) return EBADF;
    let written = 0;
    for (const [address, length] of ioVectors(iovs, count)) {
      stdout.write(fd, bytesAt(address, length).slice());
      written += length;
    }
    view().setUint32(nwrittenAddress, written, true);
    return ESUCCESS;
  };

  const fdFdstatGet = (fd, address) => {
    if (fd > 2) return EBADF;
    const terminal = fd === 0 ? stdin.isTerminal : stdout.isTerminal;
    const dv = view();
    dv.setUint8(address, terminal ? FILETYPE_CHARACTER_DEVICE : FILETYPE_REGULAR_FILE);
    dv.setUint16(address + 2, 0, true);
    const rights = terminal ? RIGHTS_ALL & ~RIGHTS_SEEK_TELL : RIGHTS_ALL;
    dv.setBigUint64(address + 8, rights, true);
    dv.setBigUint64(address + 16, rights, true);
    return ESUCCESS;
  };

  const noArguments = (countAddress, sizeAddress) => {
    view().setUint32(countAddress, 0, true);
    view().setUint32(sizeAddress, 0, true);
    return ESUCCESS;
  };

  const wasi = {
    fd_read: suspension === 'jspi' ? new WebAssembly.Suspending(fdRead) : fdRead,
    fd_write: fdWrite,
    fd_fdstat_get: fdFdstatGet,
    fd_seek: (fd) => (fd <= 2 ? ESPIPE : EBADF),
    fd_close: (fd) => (fd <= 2 ? ESUCCESS : EBADF),
    fd_prestat_get: () => EBADF,
    fd_prestat_dir_name: () => EBADF,
    // The program takes no arguments and reads no environment variable but the command
    // interpreter's, which a browser has not: both lists are empty.
    args_sizes_get: noArguments,
    args_get: () => ESUCCESS,
    environ_sizes_get: noArguments,
    environ_get: () => ESUCCESS,
    clock_time_get: (id, precision, address) => {
      view().setBigUint64(address, BigInt(Math.round(Date.now() * 1e6)), true);
      return ESUCCESS;
    },
    random_get: (address, length) => {
      crypto.getRandomValues(bytesAt(address, length));
      return ESUCCESS;
    },
    sched_yield: () => ESUCCESS,
    proc_exit: (status) => {
      throw new ProcessExit(status);
    },
  };

  // Anything else the module imports is there but not supported.
  const imports = {};
  for (const { module: space, name, kind } of WebAssembly.Module.imports(module)) {
    if (kind !== 'function') continue;
    imports[space] ??= {};
    imports[space][name] = space === 'wasi_snapshot_preview1' && name in wasi ? wasi[name] : () => ENOSYS;
  }

  const instance = await instantiate(module, imports);
  exports = instance.exports;
  memory = exports.memory;

  try {
    if (suspension === 'jspi') {
      await WebAssembly.promising(exports._start)();
    } else {
      asyncify = asyncifyState(exports, view);
      for (;;) {
        exports._start();
        if (exports.asyncify_get_state() === ASYNCIFY_NORMAL) break;
        exports.asyncify_stop_unwind();
        asyncify.result = await asyncify.pending;
        asyncify.pending = null;
        asyncify.startRewind();
      }
    }
  } catch (error) {
    if (error instanceof ProcessExit) return error.status;
    throw error;
  }
  return 0;
}

// The save area of asyncify: a static buffer of the module, whose address the module
// exports as a global, and whose size is stored in the module's data at the address of
// another. Its first two words are the current and the end address of the saved data.
function asyncifyState(exports, view) {
  const area = exports.lamvis2_suspend_area.value;
  const size = view().getUint32(exports.lamvis2_suspend_area_size.value, true);
  if (size <= 8) throw new Error('the module has no save area for suspending it');
  const state = {
    pending: null,
    result: null,
    rewinding: false,
    startUnwind() {
      const dv = view();
      dv.setUint32(area, area + 8, true);
      dv.setUint32(area + 4, area + size, true);
      exports.asyncify_start_unwind(area);
    },
    startRewind() {
      state.rewinding = true;
      exports.asyncify_start_rewind(area);
    },
  };
  return state;
}

// The module compiled from `bytes`, or a promise of it: at once where the engine compiles on
// the page's thread (so that the program can start in the same turn, its first prompt in
// the page's first frame), in the background where it does not (an engine may refuse a
// large module there: a RangeError).
export function compileModule(bytes) {
  try {
    return new WebAssembly.Module(bytes);
  } catch (error) {
    if (error instanceof RangeError) return WebAssembly.compile(bytes);
    throw error;
  }
}

// An instance of `module`, made at once where the engine allows it (as compileModule), else
// a promise of one.
function instantiate(module, imports) {
  try {
    return new WebAssembly.Instance(module, imports);
  } catch (error) {
    if (error instanceof RangeError) return WebAssembly.instantiate(module, imports);
    throw error;
  }
}

// Suspension by the engine where it can, else asyncify.
export function preferredSuspension() {
  return hasPromiseIntegration() ? 'jspi' : 'asyncify';
}
