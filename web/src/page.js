// The page: the program on a terminal, answer files, saved files, the results of a run, and
// window.lamvis2 for automation.
import { Terminal } from '@xterm/xterm';
import { FitAddon } from '@xterm/addon-fit';
import moduleBase64 from 'lamvis2:module';
import { LineDiscipline, Interrupted } from './line-discipline.js';
import { runModule, preferredSuspension } from './wasi-host.js';
import { readTranscript, TABLE_TITLES } from './transcript.js';
import { tableToCsv } from './csv.js';
import { relaxationPlots, plyStressPlot } from './plots.js';

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
  theme: { background: '#101418', foreground: '#e6e9ec' },
});
const fit = new FitAddon();
terminal.loadAddon(fit);
terminal.open($('terminal'));
// Tab moves the focus on, so that the page can be used with the keyboard alone (the
// program takes a tab as a blank).
terminal.attachCustomKeyEventHandler((event) => event.key !== 'Tab');

// Fits the terminal to its box, with a smaller font where a table row would not fit.
let fittedSize = '';
function fitTerminal() {
  const box = $('terminal');
  const size = `${box.clientWidth}x${box.clientHeight}`;
  if (size === fittedSize) return;
  fittedSize = size;
  terminal.options.fontSize = 14;
  fit.fit();
  if (terminal.cols < MIN_COLUMNS) {
    terminal.options.fontSize = Math.max(7, Math.floor((14 * terminal.cols) / MIN_COLUMNS));
    fit.fit();
  }
}
fitTerminal();
new ResizeObserver(() => requestAnimationFrame(fitTerminal)).observe($('terminal'));

// ---- Runs ----

let run = null;        // the current run
let lastTerminalRun = null;
let firstPromptMarked = false;

function setStatus(text, failed = false) {
  $('status').textContent = text;
  $('status').classList.toggle('failed', failed);
}

// Starts a run; `stdin` as runModule wants it, with `discipline` for a terminal run.
function startRun(kind, stdin, discipline = null) {
  if (run !== null && run.status === null) run.abandon();
  terminal.reset();
  const current = {
    kind,
    discipline,
    chunks: [],
    status: null,
    abandoned: false,
    abandon() {
      this.abandoned = true;
      if (discipline !== null) discipline.interrupt();
    },
  };
  run = current;
  if (kind === 'terminal') lastTerminalRun = current;
  updateButtons();
  setStatus(kind === 'terminal' ? 'Running: type your answers at the terminal.' : 'Running with the answer file…');
  const started = performance.now();
  current.finished = compiled
    .then((module) => runModule(module, {
      stdin,
      stdout: {
        isTerminal: true,
        write(fd, bytes) {
          if (current.abandoned) return;
          current.chunks.push(bytesToText(bytes));
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
      performance.measure('lamvis2-run', { start: started, end: performance.now() });
      finishRun(current);
      return status;
    });
  return current;
}

function finishRun(finished) {
  const s = finished.status;
  $('pause-note').classList.remove('active');
  if (s === INTERRUPTED_STATUS) setStatus('The run was ended by Ctrl-C.', true);
  else if (s === 0) setStatus('The program ended normally (exit status 0).');
  else if (s === -1) setStatus(`The program stopped abnormally: ${finished.failure}`, true);
  else setStatus(`The program ended with exit status ${s}: see its report above.`, true);
  updateButtons();
  showResults(transcriptOf(finished), 'this run');
}

function endsAtPause(r) {
  const last = r === null ? '' : r.chunks.slice(-2).join('');
  return last.endsWith('Singular matrix.\r\n');
}

function transcriptOf(r) {
  return r === null ? '' : r.chunks.join('');
}

function startTerminalRun(replay = []) {
  const discipline = new LineDiscipline({ echo: (text) => terminal.write(text) });
  let self = null;
  const stdin = {
    isTerminal: true,
    read(count) {
      const bytes = discipline.read(count);
      // The program waits at its pause: the note beside the terminal says what to do.
      $('pause-note').classList.toggle('active', bytes instanceof Promise && endsAtPause(self));
      if (bytes instanceof Promise && !firstPromptMarked) {
        firstPromptMarked = true;
        terminal.write('', () => requestAnimationFrame(() => performance.mark('lamvis2-first-prompt')));
      }
      return bytes;
    },
  };
  if (replay.length > 0) discipline.typeForUser(replay);
  self = startRun('terminal', stdin, discipline);
  terminal.focus();
  return self;
}

// Runs the program with `bytes` as its redirected standard input.
function startAnswersRun(bytes) {
  let offset = 0;
  let sinceYield = 0;
  let lastYield = performance.now();
  let self = null;
  const stdin = {
    isTerminal: false,
    read(count) {
      if (self !== null && self.abandoned) return Promise.reject(new Interrupted());
      const piece = bytes.subarray(offset, offset + count);
      offset += piece.length;
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
  self = startRun('answers', stdin);
  return self;
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

async function openAnswers(file) {
  startAnswersRun(await fileBytes(file));
}

async function openResults(file) {
  showResults(bytesToText(await fileBytes(file)), file.name);
}

// A dropped file is plotted when it is a transcript, and run as answers otherwise.
async function openDropped(file) {
  const bytes = await fileBytes(file);
  const text = bytesToText(bytes);
  if (readTranscript(text).transcript) showResults(text, file.name);
  else startAnswersRun(bytes);
}

// ---- Results ----

function showResults(text, source) {
  const found = readTranscript(text);
  const message = $('results-message');
  const buttons = $('csv-buttons');
  const plots = $('plots');
  buttons.replaceChildren();
  plots.replaceChildren();
  if (!found.transcript) {
    message.textContent = `${source} is not a transcript of this program (it does not begin ` +
      'with the program\'s banner): there is nothing to plot.';
    return;
  }
  const tables = Object.keys(TABLE_TITLES).filter((name) => found[name] && found[name].rows.length > 0);
  if (tables.length === 0) {
    message.textContent = `${source}: the program printed no table before the end of the run.`;
    return;
  }
  message.textContent = `Tables and plots of ${source}, with the values as printed.`;
  for (const name of tables) {
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = `CSV: ${TABLE_TITLES[name]}`;
    button.dataset.table = name;
    button.addEventListener('click', () => save(`lamvis2-${name}.csv`, tableToCsv(found[name]), 'text/csv'));
    buttons.append(button);
  }
  if (found.relaxation) plots.append(...relaxationPlots(found.relaxation));
  if (found.plyStresses) {
    const plot = plyStressPlot(found.plyStresses);
    if (plot !== null) plots.append(plot);
  }
}

// ---- Controls ----

$('run-again').addEventListener('click', () => startTerminalRun());
$('resume').addEventListener('click', () => startTerminalRun(resumeLines(lastTerminalRun)));
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
  save('lamvis2-transcript.txt', textToBytes(transcriptOf(run)), 'application/octet-stream');
});
$('save-answers').addEventListener('click', () => save('lamvis2-answers.txt', answersText(), 'text/plain'));

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
};

startTerminalRun();
