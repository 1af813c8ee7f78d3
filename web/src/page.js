// The page's wiring: the terminal, the runs, the laminate form and its runs, the report,
// the controls and files, and window.lamvis2 for automation. Each concept is a module of its
// own; this file connects them to the page's elements.
import moduleText from 'lamvis2:module';
import kitModuleText from 'lamvis2:kit-module';
import examples from 'lamvis2:examples';
import { compileModule, preferredSuspension } from './wasi-host.js';
import { kitReady, kitSource, readCase, readFaces, readRun } from './kit.js';
import { quantitiesOf } from './results.js';
import { PageTerminal, screenText } from './terminal.js';
import { Runs, endText, kitReadOf, kitRunOf } from './runs.js';
import { LaminateForm } from './form.js';
import { FormRuns } from './form-runs.js';
import { ReportPanel } from './report-panel.js';
import { caseText } from './case-file.js';
import { baseName, bytesToText, decodeBase64, fileBytes, inflateBase64, save, textToBytes } from './bytes.js';

const $ = (id) => document.getElementById(id);
const suspension = preferredSuspension();
document.documentElement.dataset.suspension = suspension;

// The program first, compiled at once so that it starts as soon as this script ends and its
// first prompt is in the page's first frame; the kit's library, which only reads a run once
// it has ended, once the first prompt is shown (or sooner, when it is wanted first).
const compiled = Promise.resolve(compileModule(decodeBase64(moduleText())));
// The kit's module follows the script in the page: it is read once the page is parsed.
const parsed = new Promise((resolve) => {
  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', resolve, { once: true });
  else resolve();
});
kitSource(() => parsed.then(() => inflateBase64(kitModuleText())));
let kitLoaded = null;
const kit = () => (kitLoaded ??= kitReady());
const terminal = new PageTerminal($('terminal'), document.querySelector('.terminal-box'));
const report = new ReportPanel();
let formRuns = null;

function setStatus(text, failed = false) {
  $('status').textContent = text;
  $('status').classList.toggle('failed', failed);
}

// The first prompt is shown before the terminal (xterm.js) is made, and the kit's library
// loaded: both follow once it is on the screen (or the first run has ended without one).
let firstPromptMarked = false;
function markFirstPrompt() {
  if (firstPromptMarked) return;
  firstPromptMarked = true;
  terminal.write('', () => requestAnimationFrame(() => {
    performance.mark('lamvis2-first-prompt');
    setTimeout(() => {
      terminal.open();
      kit();
    }, 0);
  }));
}

// What is shown is of the last run; when the form no longer describes it, the report, the
// terminal and the status say so until the next run.
function setStale(why) {
  report.setStale(why);
  const stale = why !== null && runs.current !== null && runs.current.status !== null;
  document.querySelector('.terminal-box').classList.toggle('stale', stale);
  if (stale) setStatus(`Out of date: ${why}. The terminal shows the last run.`, true);
}

const runs = new Runs({
  terminal,
  compiled,
  suspension,
  events: {
    started(run) {
      report.clear();
      document.querySelector('.terminal-box').classList.remove('stale');
      updateButtons();
      setStatus(run.kind === 'answers' ? 'Running with the answer file…' : run.kind === 'form' ? 'Running the form…'
        : 'Running: type your answers at the terminal.');
    },
    waiting(run, atPause) {
      // The program waits for a line: at its pause, the status and the note say so.
      $('pause-note').classList.toggle('active', atPause);
      setStatus(atPause ? 'The program waits at its pause ("Singular matrix."): press Enter to go on.'
        : 'Running: type your answers at the terminal.');
      markFirstPrompt();
    },
    ended(run) {
      terminal.open();
      $('pause-note').classList.remove('active');
      setStatus(endText(run), run.status !== 0);
      updateButtons();
      // Every run's report has each ply's stresses at its faces: the strength's, with
      // strengths, else the kit's alone (where the form ran, why there are none).
      const strength = run.kind === 'form' ? formRuns.strengthOf(run) : null;
      const faces = strength !== null && strength.error === undefined ? null
        : { faces: readFaces(kitRunOf(run)), why: run.kind === 'form' && run.status === 0 };
      report.show(kitReadOf(run), 'this run', run, strength, {
        draw: (plane, points) => formRuns.envelopeOf(run, plane, points),
        saveCsv: (name, text) => save(`${run.name}-${name}`, text, 'text/csv'),
        lastPly: () => formRuns.lastPlyOf(run),
        // The last-ply quantities join the strength's, as `strength --last-ply` lists them.
        lastPlyFound: (quantities) => {
          if (report.strength !== null && report.strength.quantities !== undefined && runs.current === run) {
            report.strength.quantities = report.strength.quantities.filter((q) => !q.name.startsWith('last-ply.')).concat(quantities);
          }
        },
      }, faces);
    },
    linesChanged: () => updateButtons(),
  },
});

// Whether the answers typed in the current run may be thrown away: asks when there are any
// that were not saved.
function mayDiscard() {
  const run = runs.current;
  if (run === null || run.kind !== 'terminal' || run.saved) return true;
  const d = run.discipline;
  if (d.typed.length === 0 && d.editing.length === 0) return true;
  return window.confirm('Throw away the answers typed in this run? (Save answers keeps them.)');
}

function updateButtons() {
  const r = runs.lastTerminal;
  const resumable = r !== null && runs.current === r && r.status !== null && r.status !== 0 &&
    r.discipline.received.length > 0;
  $('resume').disabled = !resumable;
  $('save-answers').disabled = runs.answersText() === '';
  const last = formRuns === null ? null : formRuns.last;
  $('save-form').disabled = last === null || last !== runs.current || last.status === null;
}

// Takes the user to the report of the run just ended.
function showReport() {
  $('results').scrollIntoView({ block: 'start' });
  $('results-heading').focus({ preventScroll: true });
}

const form = new LaminateForm($('laminate'), () => formRuns.schedule(), (why) => setStale(why));
formRuns = new FormRuns({ form, runs, report, page: { mayDiscard, updateButtons, setStale, showReport } });

// ---- Files ----

async function openAnswers(file) {
  if (!mayDiscard()) return;
  runs.startAnswers(await fileBytes(file), baseName(file.name));
}

async function openResults(file) {
  const text = bytesToText(await fileBytes(file));
  await kit();
  report.show(readRun({ stdout: text, name: file.name }), file.name, null);
}

// A dropped file is shown when it is a transcript, and run as answers otherwise.
async function openDropped(file) {
  const bytes = await fileBytes(file);
  await kit();
  const read = readRun({ stdout: bytesToText(bytes), name: file.name });
  if (read.error === undefined) report.show(read, file.name, null);
  else if (mayDiscard()) runs.startAnswers(bytes, baseName(file.name));
}

// ---- Controls ----

$('form-run').addEventListener('click', () => formRuns.run({ fromButton: true }));
$('open-form').addEventListener('click', () => $('form-file').click());
$('form-file').addEventListener('change', async (event) => {
  const [file] = event.target.files;
  event.target.value = '';
  if (!file) return;
  const bytes = await fileBytes(file);
  // A case file by its name (.toml), or by its look: a TOML table or key first.
  const text = bytesToText(bytes);
  if (/\.toml$/i.test(file.name) || /^\s*(#.*\n\s*)*(\[\[?set\]|title\s*=|[a-z-]+\s*=\s*\S)/.test(text)) {
    await kit();
    formRuns.loadCase(new TextDecoder().decode(bytes), file.name);
  } else {
    formRuns.load(bytes, baseName(file.name));
  }
});
// The form as a case file, checked by the kit's case reader before it is saved.
function saveCase() {
  const title = formRuns.name ?? 'laminate';
  const made = caseText(form.read(), title);
  const checked = made.error === undefined ? readCase(made.text, `${title}.toml`) : made;
  if (checked.error !== undefined) {
    $('form-notes').textContent = `Not saved: ${checked.error}.`;
    return null;
  }
  save(`${title}.toml`, made.text, 'application/toml');
  return made.text;
}
$('save-case').addEventListener('click', () => saveCase());
$('save-form').addEventListener('click', () => {
  save(`${formRuns.last.name}-answers.txt`, formRuns.answersText(), 'text/plain');
});
for (const button of document.querySelectorAll('button.example')) {
  const { example } = button.dataset;
  button.addEventListener('click', () => formRuns.load(textToBytes(examples[example]), example));
}
$('run-again').addEventListener('click', () => {
  if (mayDiscard()) runs.startTerminal();
});
$('resume').addEventListener('click', () => runs.startTerminal({ replay: runs.resumeLines() }));
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
  save(`${runs.current.name}-results.txt`, textToBytes(runs.current?.text ?? ''), 'application/octet-stream');
});
$('save-screen').addEventListener('click', () => {
  const name = `${runs.current.name}-screen.txt`;
  terminal.whenShown(() => save(name, textToBytes(screenText(terminal)), 'text/plain'));
});
$('save-answers').addEventListener('click', () => {
  const text = runs.answersText();
  if (text === '') return;
  runs.current.saved = true;
  save(`${runs.current.name}-answers.txt`, text, 'text/plain');
});
const sendKey = (key) => {
  const run = runs.current;
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
  transcript: () => runs.current?.text ?? '',
  exitStatus: () => runs.current?.status ?? null,
  answers: () => runs.answersText(),
  runAnswers: (text) => runs.startAnswers(textToBytes(text)).finished,
  restart: () => {
    runs.startTerminal();
  },
  // The names and values of the run shown, as `lamvis2-kit read --json` gives them, and the
  // kit's whole reading of it.
  quantities: () => (report.read === null ? [] : quantitiesOf(report.strength?.error === undefined && report.strength ? report.strength : report.read)),
  read: () => report.read,
  // Each ply's stresses and strains at its faces in the run shown, as the kit names them
  // (ply[k].FACE.sigma-1 ...): the strength's, or the kit's without strengths.
  faces: () => {
    const from = report.strength?.error === undefined && report.strength ? report.strength : report.faces;
    return from === null || from.error !== undefined ? []
      : quantitiesOf(from).filter((q) => /^ply\[\d+\]\.(bottom|middle|top)\.(sigma-(1|2|12)|eps-(1|2)|gamma-12)$/.test(q.name));
  },
  // The first-ply failure envelope of the form's run shown (with strengths), as `lamvis2-kit
  // envelope` gives it: a promise of { csv, svg } or { error }.
  // Last-ply failure as the button finds it: a promise of the kit's results per criterion.
  lastPly: () => {
    const run = runs.current;
    if (run === null || run.kind !== 'form' || report.strength === null || report.strength.error !== undefined) {
      return Promise.resolve([{ error: 'the run shown is not a run of the form with strengths' }]);
    }
    return formRuns.lastPlyOf(run);
  },
  envelope: (plane = 'nx,ny', points = 72) => {
    const run = runs.current;
    if (run === null || run.kind !== 'form' || report.strength === null || report.strength.error !== undefined) {
      return Promise.resolve({ error: 'the run shown is not a run of the form with strengths' });
    }
    return formRuns.envelopeOf(run, plane, points);
  },
  // The form: loads an answer file's text into it and runs it (a promise of the status);
  // formAnswers() is the answer file it saves.
  loadForm: (text, name = 'form') => formRuns.load(textToBytes(text), name),
  formAnswers: () => formRuns.answersText(),
  // A case file (TOML) into the form, run (a promise of the status; null when refused), and
  // the form as a case file.
  loadCase: (text, name = 'case.toml') => kit().then(() => formRuns.loadCase(text, name)),
  caseFile: () => caseText(form.read(), formRuns.name ?? 'laminate').text ?? null,
  screen: () => new Promise((resolve) => terminal.whenShown(() => resolve(screenText(terminal)))),
};

runs.startTerminal();
form.fill({ sets: [{}], plies: [], loads: {}, relaxation: '' });
