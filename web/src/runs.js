// The runs of the program: at the terminal (typed, or answered by the form), or with an
// answer file as its redirected standard input; how each ended; and the kit's reading of a
// run (its output, its exit status, and the lines it read with where it asked for each).
import { LineDiscipline, Interrupted } from './line-discipline.js';
import { runModule } from './wasi-host.js';
import { askedBy } from './dialogue.js';
import { bytesToText } from './bytes.js';
import { kitReady, readRun } from './kit.js';

// The exit status of a run ended by Ctrl-C, as a shell shows a run ended by an interrupt.
export const INTERRUPTED_STATUS = 130;
// A run with an answer file lets the page breathe after this many bytes or milliseconds.
const YIELD_BYTES = 1 << 20;
const YIELD_MS = 30;
// At most this many lines of an answer file are given to the program one per read, each
// noted with the question it answers; the rest goes in blocks (a file of a million empty
// lines is read as fast as the program can).
const NOTED_READS = 4000;

const nextTask = () => new Promise((resolve) => {
  const channel = new MessageChannel();
  channel.port1.onmessage = () => resolve();
  channel.port2.postMessage(null);
});

const pad = (n) => String(n).padStart(2, '0');
function dateName(date) {
  return `lamvis2-${date.getFullYear()}-${pad(date.getMonth() + 1)}-${pad(date.getDate())}-${pad(date.getHours())}${pad(date.getMinutes())}${pad(date.getSeconds())}`;
}

export function endText(finished) {
  const s = finished.status;
  if (s === INTERRUPTED_STATUS) return 'The run was ended by Ctrl-C.';
  if (s === 0) return 'The program ended normally (exit status 0).';
  if (s === -1) return `The program stopped abnormally: ${finished.failure}`;
  return `The program ended with exit status ${s}: see its report above.`;
}

export const endsAtPause = (r) => r !== null && r.text.endsWith('Singular matrix.\r\n');

// Notes the piece bytes[start, end) of an answer file that a read gives: a line that begins
// there answers the question asked now; the rest of a line too long for one read goes with
// its beginning.
function noteLine(reads, asked, bytes, start, end) {
  if (end <= start) return;
  const text = bytesToText(bytes.subarray(start, end));
  const continued = start > 0 && bytes[start - 1] !== 0x0a && reads.length > 0;
  if (continued) reads.at(-1).text += text;
  else reads.push({ asked: asked(), text });
  if (bytes[end - 1] === 0x0a || end === bytes.length) reads.at(-1).text = reads.at(-1).text.replace(/\r?\n$/, '');
}

export class Runs {
  // terminal: the xterm.js terminal; compiled: a promise of the program's module;
  // events: { started(run), waiting(run, atPause), ended(run), linesChanged(), firstPrompt() }.
  constructor({ terminal, compiled, suspension, events }) {
    this.terminal = terminal;
    this.compiled = compiled;
    this.suspension = suspension;
    this.events = events;
    this.current = null;       // the current run
    this.lastTerminal = null;  // the last run typed at the terminal
    terminal.onData((data) => {
      const run = this.current;
      if (run !== null && run.discipline !== null && run.status === null) run.discipline.input(data);
    });
  }

  // Starts a run; `stdin` as runModule wants it, with `discipline` for a terminal run.
  // `name` names the files saved of it.
  start(kind, stdin, { discipline = null, name = null, onEnd = null } = {}) {
    const previous = this.current;
    if (previous !== null && previous.status === null) previous.abandon();
    this.terminal.reset();
    const started = new Date();
    const current = {
      kind,
      discipline,
      name: name ?? dateName(started),
      started,
      text: '',
      stdout: '',
      stderr: '',
      // The length of standard output at each read that asked for a new line (the kit
      // pairs the answers with their prompts from them).
      asked: [],
      reads: [],
      status: null,
      abandoned: false,
      saved: false,
      abandon() {
        this.abandoned = true;
        if (discipline !== null) discipline.interrupt();
      },
    };
    this.current = current;
    if (kind === 'terminal') this.lastTerminal = current;
    this.events.started(current);
    const t0 = performance.now();
    current.finished = this.compiled
      .then((module) => runModule(module, {
        stdin,
        stdout: {
          isTerminal: true,
          write: (fd, bytes) => {
            if (current.abandoned) return;
            const text = bytesToText(bytes);
            current.text += text;
            if (fd === 1) current.stdout += text;
            else current.stderr += text;
            this.terminal.write(bytes);
          },
        },
        suspension: this.suspension,
      }))
      .catch((error) => {
        if (error instanceof Interrupted) return INTERRUPTED_STATUS;
        console.error(error);
        current.failure = String(error);
        return -1;
      })
      // The report is made by the kit's library: the run counts as ended once it can be.
      .then((status) => kitReady().then(() => status))
      .then((status) => {
        current.status = status;
        if (current.abandoned) return status;
        performance.measure('lamvis2-run', { start: t0, end: performance.now() });
        this.events.ended(current);
        if (onEnd !== null) onEnd(current);
        return status;
      });
    return current;
  }

  // A run at the terminal; `answer(asked)`, when given, answers each question as if typed
  // (the form), and `replay` are lines typed for the user first (Resume).
  startTerminal({ replay = [], answer = null, kind = 'terminal', name = null, onEnd = null } = {}) {
    const discipline = new LineDiscipline({ echo: (text) => this.terminal.write(text), changed: () => this.events.linesChanged() });
    let self = null;
    const stdin = {
      isTerminal: true,
      read: (count) => {
        const startsLine = discipline.partial === null;
        if (startsLine) self.asked.push(self.stdout.length);
        const asked = startsLine ? askedBy(self.text) : null;
        if (answer !== null && startsLine && !discipline.hasQueued()) {
          const text = answer(asked);
          if (text === null) discipline.input('\x04');
          else discipline.typeForUser([text]);
        }
        const before = discipline.received.length;
        const record = () => {
          if (asked !== null && discipline.received.length > before) self.reads.push({ asked, text: discipline.received.at(-1) });
        };
        const bytes = discipline.read(count);
        if (bytes instanceof Promise) {
          this.events.waiting(self, endsAtPause(self));
          return bytes.then((b) => {
            record();
            return b;
          });
        }
        record();
        return bytes;
      },
    };
    if (replay.length > 0) discipline.typeForUser(replay);
    self = this.start(kind, stdin, { discipline, name, onEnd });
    if (answer === null) this.terminal.focus();
    return self;
  }

  // Runs the program with `bytes` as its redirected standard input.
  startAnswers(bytes, name = null) {
    let offset = 0;
    let sinceYield = 0;
    let lastYield = performance.now();
    let self = null;
    const stdin = {
      isTerminal: false,
      read(count) {
        if (self !== null && self.abandoned) return Promise.reject(new Interrupted());
        let end = Math.min(bytes.length, offset + count);
        if (self.reads.length < NOTED_READS) {
          if (offset === 0 || bytes[offset - 1] === 0x0a) self.asked.push(self.stdout.length);
          const lineEnd = bytes.indexOf(0x0a, offset);
          if (lineEnd >= 0 && lineEnd < end) end = lineEnd + 1;
          noteLine(self.reads, () => askedBy(self.text), bytes, offset, end);
        }
        const piece = bytes.subarray(offset, end);
        offset = end;
        sinceYield += piece.length;
        if (sinceYield >= YIELD_BYTES || performance.now() - lastYield >= YIELD_MS) {
          sinceYield = 0;
          return nextTask().then(() => {
            lastYield = performance.now();
            return piece;
          });
        }
        return piece;
      },
    };
    self = this.start('answers', stdin, { name });
    self.answerBytes = bytes;
    return self;
  }

  // The reads of a run of `bytes` as redirected input, without showing it: how an answer
  // file is loaded into the form (each line goes to the field of the question it answered).
  async readsOf(bytes) {
    const module = await this.compiled;
    let output = '';
    let offset = 0;
    const reads = [];
    await runModule(module, {
      stdin: {
        isTerminal: false,
        read(count) {
          let end = Math.min(bytes.length, offset + count);
          const lineEnd = bytes.indexOf(0x0a, offset);
          if (lineEnd >= 0 && lineEnd < end) end = lineEnd + 1;
          const piece = bytes.subarray(offset, end);
          if (reads.length < NOTED_READS) noteLine(reads, () => askedBy(output), bytes, offset, end);
          offset = end;
          return piece;
        },
      },
      stdout: { isTerminal: false, write(fd, b) { if (fd === 1) output += bytesToText(b); } },
      suspension: this.suspension,
    });
    return reads;
  }

  // A run of the program on `text` as its redirected standard input, not shown: a promise of
  // { stdout, stderr, status } (the runs of an envelope).
  async runQuietly(text) {
    const module = await this.compiled;
    const bytes = Uint8Array.from(text, (c) => c.charCodeAt(0) & 0xff);
    let offset = 0;
    let stdout = '';
    let stderr = '';
    const status = await runModule(module, {
      stdin: {
        isTerminal: false,
        read(count) {
          const piece = bytes.subarray(offset, offset + count);
          offset += piece.length;
          return piece;
        },
      },
      stdout: {
        isTerminal: false,
        write(fd, b) {
          if (fd === 1) stdout += bytesToText(b);
          else stderr += bytesToText(b);
        },
      },
      suspension: this.suspension,
    });
    return { stdout, stderr, status };
  }

  // The lines that Resume types: those the program read before the one that ended the run
  // (all of them when the run ended at the end of the input or by Ctrl-C).
  resumeLines() {
    const r = this.lastTerminal;
    if (r === null || r.status === null || r.status === 0) return [];
    const d = r.discipline;
    const keepAll = d.endOfInputRead || r.status === INTERRUPTED_STATUS;
    return keepAll ? d.received.slice() : d.received.slice(0, -1);
  }

  // The lines typed in the current run, as an answer file.
  answersText() {
    const r = this.current;
    if (r === null || r.discipline === null) return '';
    return r.discipline.typed.map((line) => `${line}\r\n`).join('');
  }
}

// The kit's reading of a run (kit.js, once loaded): its output, how it ended, and the lines
// it read with where it asked for each (a run of more lines than were noted is read without
// its inputs).
export function kitReadOf(r) {
  return readRun(kitRunOf(r));
}

// What the kit is given of a run (kit.js: readRun, readStrength).
export function kitRunOf(r) {
  let count = 0;
  let answers = null;
  if (r.kind === 'answers') {
    // The lines, counted no further than the noted reads go.
    const bytes = r.answerBytes;
    for (let at = bytes.indexOf(0x0a); at >= 0 && count <= NOTED_READS; at = bytes.indexOf(0x0a, at + 1)) count += 1;
    if (bytes.length > 0 && bytes.at(-1) !== 0x0a) count += 1;
    if (count < NOTED_READS) answers = bytesToText(bytes);
  } else {
    count = r.discipline.received.length;
    answers = r.discipline.received.map((l) => `${l}\n`).join('');
  }
  const known = count < NOTED_READS;
  const asked = Array.from({ length: count + 1 }, (_, k) => r.asked[k] ?? -1);
  return {
    stdout: r.stdout,
    stderr: r.stderr,
    status: r.status >= 0 && r.status !== INTERRUPTED_STATUS ? r.status : null,
    answers: known ? answers : null,
    asked: known ? asked : null,
    name: r.name,
  };
}
