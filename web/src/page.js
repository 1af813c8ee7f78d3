// The page: the program on a terminal, the laminate form that answers its prompts, answer
// files, saved files, the report of a run, and window.lamvis2 for automation.
import { Terminal } from '@xterm/xterm';
import { FitAddon } from '@xterm/addon-fit';
import moduleBase64 from 'lamvis2:module';
import { LineDiscipline, Interrupted } from './line-discipline.js';
import { runModule, preferredSuspension } from './wasi-host.js';
import examples from 'lamvis2:examples';
import { readTranscript, TABLE_TITLES } from './transcript.js';
import { tableToCsv } from './csv.js';
import { askedBy, fieldKey, inputsOf } from './dialogue.js';
import { LaminateForm } from './form.js';
import { renderReport } from './report.js';

// The exit status of a run ended by Ctrl-C, as a shell shows a run ended by an interrupt.
const INTERRUPTED_STATUS = 130;
// A run with an answer file lets the page breathe after this many bytes or milliseconds.
const YIELD_BYTES = 1 << 20;
const YIELD_MS = 30;
// The narrowest terminal that shows a row of the relaxation table on one line.
const MIN_COLUMNS = 84;

const $ = (id) => document.getElementById(id);
const suspension = preferredSuspension();
document.documentElement.dataset.suspension = suspension;

function decodeBase64(text) {
  const binary = atob(text);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

const compiled = WebAssembly.compile(decodeBase64(moduleBase64));

// One character per byte, as transcript() gives them and as a file's bytes are read.
function bytesToText(bytes) {
  let text = '';
  for (let i = 0; i < bytes.length; i += 8192) {
    text += String.fromCharCode.apply(null, bytes.subarray(i, i + 8192));
  }
  return text;
}

// A string of one character per byte back to its bytes; text with characters above 255
// (typed or pasted, not read from a file) is taken as UTF-8.
function textToBytes(text) {
  if (/[^\x00-\xff]/.test(text)) return new TextEncoder().encode(text);
  const bytes = new Uint8Array(text.length);
  for (let i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i);
  return bytes;
}

const nextTask = () => new Promise((resolve) => {
  const channel = new MessageChannel();
  channel.port1.onmessage = () => resolve();
  channel.port2.postMessage(null);
});

// ---- The terminal ----

const terminal = new Terminal({
  cols: 90,
  rows: 30,
  fontFamily: 'ui-monospace, "DejaVu Sans Mono", Menlo, Consolas, "Liberation Mono", monospace',
  fontSize: 14,
  scrollback: 10000,
  cursorBlink: true,
  theme: { background: '#101418', foreground: '#e6e9ec', selectionBackground: '#4a6a90' },
});
const fit = new FitAddon();
terminal.loadAddon(fit);
terminal.open($('terminal'));

// Copies the selection to the clipboard where the page may write it; the browser's own copy
// (the copy event, which the terminal answers with its selection) does it elsewhere.
function copySelection() {
  const text = terminal.getSelection();
  if (text !== '' && navigator.clipboard?.writeText) navigator.clipboard.writeText(text).catch(() => {});
}

// Keys as other terminals take them: Tab moves the focus on, so that the page serves the
// keyboard alone (the program takes a tab as a blank); Ctrl+V and Ctrl+Shift+V paste (the
// browser's paste, which the terminal takes as one input); Ctrl+C copies when text is
// selected and is the interrupt otherwise; Ctrl+Shift+C copies.
terminal.attachCustomKeyEventHandler((event) => {
  if (event.key === 'Tab') return false;
  if (!event.ctrlKey || event.altKey || event.metaKey) return true;
  const key = event.key.toLowerCase();
  if (key === 'v') return false;
  if (key === 'c' && (event.shiftKey || terminal.hasSelection())) {
    if (event.type === 'keydown') copySelection();
    return false;
  }
  return true;
});

// Fits the terminal to its box with a font no smaller than can be read; where a row of the
// relaxation table would not fit, the terminal keeps its width and its box scrolls sideways.
let fittedSize = '';
function fitTerminal() {
  const box = document.querySelector('.terminal-box');
  const holder = $('terminal');
  const size = `${box.clientWidth}x${box.clientHeight}`;
  if (size === fittedSize) return;
  fittedSize = size;
  holder.style.width = '';
  terminal.options.fontSize = box.clientWidth < 640 ? 12 : 14;
  const proposed = fit.proposeDimensions();
  if (proposed === undefined || !Number.isFinite(proposed.cols)) return;
  if (proposed.cols >= MIN_COLUMNS) {
    terminal.resize(proposed.cols, proposed.rows);
    return;
  }
  const cellWidth = holder.clientWidth / proposed.cols;
  terminal.resize(MIN_COLUMNS, proposed.rows);
  holder.style.width = `${Math.ceil((MIN_COLUMNS + 1) * cellWidth) + 12}px`;
}
fitTerminal();
new ResizeObserver(() => requestAnimationFrame(fitTerminal)).observe(document.querySelector('.terminal-box'));

// The terminal's text as it shows it, answers included, a line per row (rows that a long
// line wrapped onto joined again), with CR LF line ends.
function screenText() {
  const buffer = terminal.buffer.active;
  const lines = [];
  for (let i = 0; i < buffer.length; i++) {
    const line = buffer.getLine(i);
    const text = line.translateToString(true);
    if (line.isWrapped && lines.length > 0) lines[lines.length - 1] += text;
    else lines.push(text);
  }
  while (lines.length > 0 && lines.at(-1) === '') lines.pop();
  return lines.map((l) => `${l}\r\n`).join('');
}

// ---- Runs ----

let run = null;        // the current run
let lastTerminalRun = null;
let firstPromptMarked = false;

function setStatus(text, failed = false) {
  $('status').textContent = text;
  $('status').classList.toggle('failed', failed);
}

const pad = (n) => String(n).padStart(2, '0');
function dateName(date) {
  return `lamvis2-${date.getFullYear()}-${pad(date.getMonth() + 1)}-${pad(date.getDate())}-${pad(date.getHours())}${pad(date.getMinutes())}${pad(date.getSeconds())}`;
}

// Starts a run; `stdin` as runModule wants it, with `discipline` for a terminal run. `name`
// names the files saved of it.
function startRun(kind, stdin, { discipline = null, name = null, onEnd = null } = {}) {
  if (run !== null && run.status === null) run.abandon();
  terminal.reset();
  clearResults();
  const started = new Date();
  const current = {
    kind,
    discipline,
    name: name ?? dateName(started),
    started,
    chunks: [],
    text: '',
    reads: [],
    status: null,
    abandoned: false,
    saved: false,
    abandon() {
      this.abandoned = true;
      if (discipline !== null) discipline.interrupt();
    },
  };
  run = current;
  if (kind === 'terminal') lastTerminalRun = current;
  updateButtons();
  setStatus(kind === 'answers' ? 'Running with the answer file…' : kind === 'form' ? 'Running the form…'
    : 'Running: type your answers at the terminal.');
  const t0 = performance.now();
  current.finished = compiled
    .then((module) => runModule(module, {
      stdin,
      stdout: {
        isTerminal: true,
        write(fd, bytes) {
          if (current.abandoned) return;
          const text = bytesToText(bytes);
          current.chunks.push(text);
          current.text += text;
          terminal.write(bytes);
        },
      },
      suspension,
    }))
    .catch((error) => {
      if (error instanceof Interrupted) return INTERRUPTED_STATUS;
      console.error(error);
      current.failure = String(error);
      return -1;
    })
    .then((status) => {
      current.status = status;
      if (current.abandoned) return status;
      performance.measure('lamvis2-run', { start: t0, end: performance.now() });
      finishRun(current);
      if (onEnd !== null) onEnd(current);
      return status;
    });
  return current;
}

function endText(finished) {
  const s = finished.status;
  if (s === INTERRUPTED_STATUS) return 'The run was ended by Ctrl-C.';
  if (s === 0) return 'The program ended normally (exit status 0).';
  if (s === -1) return `The program stopped abnormally: ${finished.failure}`;
  return `The program ended with exit status ${s}: see its report above.`;
}

function finishRun(finished) {
  $('pause-note').classList.remove('active');
  setStatus(endText(finished), finished.status !== 0);
  updateButtons();
  showResults(transcriptOf(finished), 'this run', inputsOf(finished.reads), finished);
}

function endsAtPause(r) {
  return r !== null && r.text.endsWith('Singular matrix.\r\n');
}

function transcriptOf(r) {
  return r === null ? '' : r.text;
}

// Notes what the read after the program's output so far asks for, when a new line starts.
function noteRead(current, startsLine) {
  if (!startsLine || current === null) return null;
  return askedBy(current.text);
}

function markFirstPrompt() {
  if (firstPromptMarked) return;
  firstPromptMarked = true;
  terminal.write('', () => requestAnimationFrame(() => performance.mark('lamvis2-first-prompt')));
}

// A run at the terminal; `answer(asked)`, when given, answers each question as if typed
// (the form), and `replay` are lines typed for the user first (Resume).
function startTerminalRun({ replay = [], answer = null, kind = 'terminal', name = null, onEnd = null } = {}) {
  const discipline = new LineDiscipline({ echo: (text) => terminal.write(text), changed: () => updateButtons() });
  let self = null;
  const stdin = {
    isTerminal: true,
    read(count) {
      const startsLine = discipline.partial === null;
      const asked = noteRead(self, startsLine);
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
        // The program waits for a line: at its pause, the status and the note say so.
        const atPause = endsAtPause(self);
        $('pause-note').classList.toggle('active', atPause);
        setStatus(atPause ? 'The program waits at its pause ("Singular matrix."): press Enter to go on.'
          : 'Running: type your answers at the terminal.');
        markFirstPrompt();
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
  self = startRun(kind, stdin, { discipline, name, onEnd });
  if (answer === null) terminal.focus();
  return self;
}

// At most this many lines of an answer file are given to the program one per read, each
// noted with the question it answers; the rest goes in blocks (a file of a million empty
// lines is read as fast as the program can).
const NOTED_READS = 4000;

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

// Runs the program with `bytes` as its redirected standard input.
function startAnswersRun(bytes, name = null) {
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
  self = startRun('answers', stdin, { name });
  return self;
}

// The reads of a run of `bytes` as redirected input, without showing it: how an answer file
// is loaded into the form (each line goes to the field of the question it answered).
async function readsOf(bytes) {
  const module = await compiled;
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
    suspension,
  });
  return reads;
}

terminal.onData((data) => {
  if (run !== null && run.discipline !== null && run.status === null) run.discipline.input(data);
});

// The lines that Resume types: those the program read before the one that ended the run
// (all of them when the run ended at the end of the input or by Ctrl-C).
function resumeLines(r) {
  if (r === null || r.status === null || r.status === 0) return [];
  const d = r.discipline;
  const keepAll = d.endOfInputRead || r.status === INTERRUPTED_STATUS;
  return keepAll ? d.received.slice() : d.received.slice(0, -1);
}

function updateButtons() {
  const r = lastTerminalRun;
  const resumable = r !== null && run === r && r.status !== null && r.status !== 0 &&
    r.discipline.received.length > 0;
  $('resume').disabled = !resumable;
  $('save-answers').disabled = answersText() === '';
  $('save-form').disabled = lastFormRun === null || lastFormRun !== run || lastFormRun.status === null;
}

// Whether the answers typed in the current run may be thrown away: asks when there are any
// that were not saved.
function mayDiscard() {
  if (run === null || run.kind !== 'terminal' || run.saved) return true;
  const d = run.discipline;
  if (d.typed.length === 0 && d.editing.length === 0) return true;
  return window.confirm('Throw away the answers typed in this run? (Save answers keeps them.)');
}

// ---- Files ----

function save(name, bytes, type) {
  const url = URL.createObjectURL(new Blob([bytes], { type }));
  const link = document.createElement('a');
  link.href = url;
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

function answersText() {
  if (run === null || run.discipline === null) return '';
  return run.discipline.typed.map((line) => `${line}\r\n`).join('');
}

async function fileBytes(file) {
  return new Uint8Array(await file.arrayBuffer());
}

const baseName = (fileName) => fileName.replace(/\.[^.]*$/, '') || fileName;

async function openAnswers(file) {
  if (!mayDiscard()) return;
  startAnswersRun(await fileBytes(file), baseName(file.name));
}

async function openResults(file) {
  showResults(bytesToText(await fileBytes(file)), file.name, null, null);
}

// A dropped file is shown when it is a transcript, and run as answers otherwise.
async function openDropped(file) {
  const bytes = await fileBytes(file);
  const text = bytesToText(bytes);
  if (readTranscript(text).transcript) showResults(text, file.name, null, null);
  else if (mayDiscard()) startAnswersRun(bytes, baseName(file.name));
}

// ---- The report ----

function clearResults() {
  $('results-message').textContent = 'The tables and plots appear here when a run has printed them.';
  $('csv-buttons').replaceChildren();
  $('plots').replaceChildren();
  $('report').replaceChildren();
  $('run-end').textContent = '';
}

function csvButton(label, name, fileName, content) {
  const button = document.createElement('button');
  button.type = 'button';
  button.textContent = label;
  button.dataset.table = name;
  button.addEventListener('click', () => save(fileName, content(), 'text/csv'));
  return button;
}

// The line under the printed report's title: when it was printed, and of what.
let printSource = '';
function datePrint() {
  $('print-date').textContent = `Printed ${new Date().toLocaleString()}; ${printSource}.`;
}
window.addEventListener('beforeprint', datePrint);

// Shows the tables of a transcript: `inputs` are the dialogue's, `from` the run (null for a
// results file).
function showResults(text, source, inputs, from) {
  clearResults();
  const found = readTranscript(text);
  const message = $('results-message');
  if (!found.transcript) {
    message.textContent = `${source} is not a transcript of this program (it does not begin ` +
      'with the program\'s banner): there is nothing to show.';
    return;
  }
  const tables = Object.keys(TABLE_TITLES).filter((name) => found[name] && found[name].rows.length > 0);
  if (from !== null) $('run-end').textContent = `${endText(from)}\n${text.split('\r\n').filter(Boolean).slice(-3).join('\n')}`;
  printSource = from === null ? `results file ${source}` : `run ${from.name}, begun ${from.started.toLocaleString()}`;
  datePrint();
  if (tables.length === 0) {
    message.textContent = `${source}: the program printed no table before the end of the run.`;
    return;
  }
  message.textContent = `Tables and plots of ${source}, with the values as printed.`;
  const name = from === null ? baseName(source) : from.name;
  const buttons = $('csv-buttons');
  for (const table of tables) {
    buttons.append(csvButton(`CSV: ${TABLE_TITLES[table]}`, table, `${name}-${table}.csv`, () => tableToCsv(found[table])));
  }
  buttons.append(csvButton('Save every table (CSV)', 'all', `${name}-tables.csv`,
    () => tables.map((t) => `${TABLE_TITLES[t]}\r\n${tableToCsv(found[t])}`).join('\r\n')));
  const print = document.createElement('button');
  print.type = 'button';
  print.textContent = 'Print the report';
  print.addEventListener('click', () => window.print());
  buttons.append(print);
  $('plots').append(...renderReport($('report'), found, inputs, tables));
  performance.mark('lamvis2-report');
}

// ---- The form ----

let lastFormRun = null;
let formScheduled = false;
const form = new LaminateForm($('laminate'), () => scheduleFormRun());

function scheduleFormRun() {
  if (formScheduled) return;
  formScheduled = true;
  queueMicrotask(() => {
    formScheduled = false;
    runForm();
  });
}

const G12_NOTE = 'not asked: E1 and E2 differ by less than 0.1 %, so the program takes G12 = E1 / (2 (1 + nu12))';

// Runs the program on the form: each question the program prints is answered from the field
// it asks for; afterwards each field the program did not ask for, and each question no field
// answered, is said at the field.
function runForm({ name = null, loaded = false } = {}) {
  form.clearMessages();
  const asTyped = loaded || $('as-typed').checked;
  const bad = form.validate();
  if (bad > 0 && !asTyped) {
    $('form-notes').textContent = `${bad} field${bad > 1 ? 's' : ''} to put right (marked); nothing was run. ` +
      'Tick “Send values as typed” to have the program report them.';
    return null;
  }
  if (!mayDiscard()) return null;
  const values = form.read();
  const asked = new Set();
  const unanswered = [];
  const again = new Map();
  const answer = (q) => {
    const key = fieldKey(q);
    if (q.kind === 'pause') return '';
    if (q.kind === 'unknown') {
      unanswered.push(q.prompt);
      return null;
    }
    if (asked.has(key)) {
      // Asked again: the program refused the answer (or read on for a value).
      const lines = run.text.split('\r\n').filter(Boolean);
      again.set(key, lines.at(-2) ?? '');
      return null;
    }
    asked.add(key);
    if (q.kind === 'set') return q.set > values.sets.length ? '-1' : values.sets[q.set - 1][q.field];
    if (q.kind === 'ply') return q.ply > values.plies.length ? '-1' : values.plies[q.ply - 1][q.field];
    if (q.kind === 'load') return values.loads[q.load];
    return values.relaxation;
  };
  const onEnd = (finished) => {
    const notes = [];
    for (const key of form.keys()) {
      if (again.has(key)) form.message(key, `asked again after: ${again.get(key)}`, true);
      else if (!asked.has(key)) form.message(key, key.endsWith('.g12') && finished.status === 0 ? G12_NOTE : 'not asked by the program in this run');
    }
    for (const prompt of unanswered) notes.push(`The program asked “${prompt}”, which no field answers: the input ended there.`);
    notes.push(endText(finished));
    $('form-notes').textContent = notes.join(' ');
    updateButtons();
  };
  lastFormRun = startTerminalRun({ answer, kind: 'form', name: name ?? formName, onEnd });
  return lastFormRun;
}

let formName = null;

// Fills the form from an answer file's bytes (each line to the field of the question it
// answered in a run of them) and runs it with the values as the program took them.
async function loadIntoForm(bytes, name) {
  const inputs = inputsOf(await readsOf(bytes));
  form.fill(inputs);
  formName = name;
  const started = runForm({ name, loaded: true });
  return started === null ? null : started.finished;
}

$('form-run').addEventListener('click', () => runForm());
$('open-form').addEventListener('click', () => $('form-file').click());
$('form-file').addEventListener('change', async (event) => {
  const [file] = event.target.files;
  event.target.value = '';
  if (file) loadIntoForm(await fileBytes(file), baseName(file.name));
});
$('save-form').addEventListener('click', () => {
  const r = lastFormRun;
  save(`${r.name}-answers.txt`, r.discipline.typed.map((l) => `${l}\r\n`).join(''), 'text/plain');
});
for (const button of document.querySelectorAll('button.example')) {
  const { example } = button.dataset;
  button.addEventListener('click', () => loadIntoForm(textToBytes(examples[example]), example));
}

// ---- Controls ----

$('run-again').addEventListener('click', () => {
  if (mayDiscard()) startTerminalRun();
});
$('resume').addEventListener('click', () => startTerminalRun({ replay: resumeLines(lastTerminalRun) }));
$('open-answers').addEventListener('click', () => $('answers-file').click());
$('open-results').addEventListener('click', () => $('results-file').click());
$('answers-file').addEventListener('change', (event) => {
  const [file] = event.target.files;
  event.target.value = '';
  if (file) openAnswers(file);
});
$('results-file').addEventListener('change', (event) => {
  const [file] = event.target.files;
  event.target.value = '';
  if (file) openResults(file);
});
$('save-transcript').addEventListener('click', () => {
  save(`${run.name}-results.txt`, textToBytes(transcriptOf(run)), 'application/octet-stream');
});
$('save-screen').addEventListener('click', () => {
  const name = `${run.name}-screen.txt`;
  terminal.write('', () => save(name, textToBytes(screenText()), 'text/plain'));
});
$('save-answers').addEventListener('click', () => {
  if (answersText() === '') return;
  run.saved = true;
  save(`${run.name}-answers.txt`, answersText(), 'text/plain');
});
const sendKey = (key) => {
  if (run !== null && run.discipline !== null && run.status === null) run.discipline.input(key);
  terminal.focus();
};
$('key-ctrl-d').addEventListener('click', () => sendKey('\x04'));
$('key-ctrl-c').addEventListener('click', () => sendKey('\x03'));
$('screen-reader').addEventListener('change', (event) => {
  terminal.options.screenReaderMode = event.target.checked;
});

let dragDepth = 0;
document.addEventListener('dragenter', (event) => {
  event.preventDefault();
  dragDepth += 1;
  $('drop-hint').hidden = false;
});
document.addEventListener('dragleave', () => {
  dragDepth = Math.max(0, dragDepth - 1);
  if (dragDepth === 0) $('drop-hint').hidden = true;
});
document.addEventListener('dragover', (event) => event.preventDefault());
document.addEventListener('drop', (event) => {
  event.preventDefault();
  dragDepth = 0;
  $('drop-hint').hidden = true;
  const file = event.dataTransfer?.files?.[0];
  if (file) openDropped(file);
});

// ---- Automation ----

window.lamvis2 = {
  transcript: () => transcriptOf(run),
  exitStatus: () => (run === null ? null : run.status),
  answers: () => answersText(),
  runAnswers: (text) => startAnswersRun(textToBytes(text)).finished,
  restart: () => {
    startTerminalRun();
  },
  // The form: loads an answer file's text into it and runs it (a promise of the status);
  // formAnswers() is the answer file it saves.
  loadForm: (text, name = 'form') => loadIntoForm(textToBytes(text), name),
  formAnswers: () => (lastFormRun === null ? '' : lastFormRun.discipline.typed.map((l) => `${l}\r\n`).join('')),
  screen: () => new Promise((resolve) => terminal.write('', () => resolve(screenText()))),
};

startTerminalRun();
form.fill({ sets: [], plies: [], loads: {}, relaxation: '' });
