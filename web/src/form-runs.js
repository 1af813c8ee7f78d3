// The form's runs: the program run on the laminate form (each question answered from the
// field it asks for, what was not asked said at the field), an edit run again at once, and
// answer files loaded into the form as the program reads them.
import { fieldKey, firstNumber, inputsOf, MAX_PLIES, MAX_SETS } from './dialogue.js';
import { baseName, isText, textToBytes } from './bytes.js';
import { caseForForm, strengthsText } from './case-file.js';
import { kitRunOf } from './runs.js';
import { envelope, lastPly, readStrength } from './kit.js';
import { endText } from './runs.js';

const $ = (id) => document.getElementById(id);

const G12_NOTE = 'not asked: E1 and E2 differ by less than 0.1 %, so the program takes G12 = E1 / (2 (1 + nu12))';

// What a read answered, in words: "Nx", "ply 1's set", "set 2's E1".
function answered(asked) {
  if (asked.kind === 'load') return asked.load;
  if (asked.kind === 'relaxation') return 'the relaxation time';
  if (asked.kind === 'ply') return `ply ${asked.ply}'s ${asked.field}`;
  if (asked.kind === 'set') return `set ${asked.set}'s ${asked.field}`;
  return asked.prompt === undefined ? asked.kind : `“${asked.prompt.trim()}”`;
}

// Where the lines after the last ply (or set) the program takes went, when an answer file
// reached that limit: the program asks no more and reads on with the next question.
export function limitWarnings(reads) {
  const warnings = [];
  const after = (index, what, limit) => {
    const next = reads.slice(index + 1, index + 5).map((r, i) => `line ${index + i + 2} “${r.text}” → ${answered(r.asked)}`);
    if (next.length > 0) {
      warnings.push(`The program asks for no more than ${limit} ${what}: the lines after the ${limit}th answer the next ` +
        `questions (${next.join(', ')}${reads.length > index + 5 ? ', …' : ''}); lines meant for more ${what} are read as these.`);
    }
  };
  const lastPly = reads.findIndex((r) => r.asked.kind === 'ply' && r.asked.ply === MAX_PLIES && r.asked.field === 'angle');
  const lastSet = reads.findLastIndex((r) => r.asked.kind === 'set' && r.asked.set === MAX_SETS);
  if (lastSet >= 0 && reads[lastSet + 1]?.asked.kind !== 'set') after(lastSet, 'material sets', MAX_SETS);
  if (lastPly >= 0) after(lastPly, 'plies', MAX_PLIES);
  return warnings;
}

export class FormRuns {
  // form: the LaminateForm; runs: the Runs; report: the ReportPanel; page: { mayDiscard(),
  // updateButtons(), setStale(why) }.
  constructor({ form, runs, report, page }) {
    this.form = form;
    this.runs = runs;
    this.report = report;
    this.page = page;
    this.last = null;    // the last run of the form
    this.name = null;    // the name of what was loaded into it
    this.scheduled = false;
    this.warnings = [];  // what loading the answer file said, kept until the next edit
  }

  // An edit: runs again once the edit's events are done.
  schedule() {
    this.warnings = [];
    if (this.scheduled) return;
    this.scheduled = true;
    queueMicrotask(() => {
      this.scheduled = false;
      this.run();
    });
  }

  // Runs the program on the form; returns the run, or null when nothing was run (fields to
  // put right, which are marked, and the last run's results marked out of date).
  run({ name = null, loaded = false, fromButton = false } = {}) {
    const { form } = this;
    form.clearMessages();
    const asTyped = loaded || $('as-typed').checked;
    const bad = form.validate();
    if (bad > 0 && !asTyped) {
      $('form-notes').textContent = `${bad} field${bad > 1 ? 's' : ''} to put right (marked); nothing was run. ` +
        'Tick “Send values as typed” to have the program report them.';
      this.page.setStale('the form has changed and has fields to put right, so it was not run');
      return null;
    }
    if (!this.page.mayDiscard()) return null;
    const values = form.read();
    const asked = new Set();
    const unanswered = [];
    const again = new Map();
    let self = null;
    const answer = (q) => {
      const key = fieldKey(q);
      if (q.kind === 'pause') return '';
      if (q.kind === 'unknown') {
        unanswered.push(q.prompt);
        return null;
      }
      if (asked.has(key)) {
        // Asked again: the program refused the answer (or read on for a value).
        const lines = self.text.split('\r\n').filter(Boolean);
        again.set(key, lines.at(-2) ?? '');
        return null;
      }
      asked.add(key);
      if (q.kind === 'set') return q.set > values.sets.length ? '-1' : values.sets[q.set - 1][q.field];
      if (q.kind === 'ply') return q.ply > values.plies.length ? '-1' : values.plies[q.ply - 1][q.field];
      if (q.kind === 'load') return values.loads[q.load];
      return values.relaxation;
    };
    const warnings = this.warnings;
    const onEnd = (finished) => {
      const notes = [...warnings];
      if (warnings.length > 0) form.message('plies', warnings.join(' '));
      for (const key of form.keys().filter((k) => !k.startsWith('strength.'))) {
        if (again.has(key)) form.message(key, `asked again after: ${again.get(key)}`, true);
        else if (!asked.has(key)) form.message(key, key.endsWith('.g12') && finished.status === 0 ? G12_NOTE : 'not asked by the program in this run');
      }
      for (const prompt of unanswered) notes.push(`The program asked “${prompt}”, which no field answers: the input ended there.`);
      notes.push(endText(finished));
      if (fromButton) notes.push('Its report is below the terminal.');
      $('form-notes').textContent = notes.join(' ');
      this.page.updateButtons();
      if (fromButton) this.page.showReport();
    };
    self = this.runs.startTerminal({ answer, kind: 'form', name: name ?? this.name, onEnd });
    self.formValues = values;
    self.criteria = form.criteria();
    this.last = self;
    return self;
  }

  // Fills the form from an answer file's bytes (each line to the field of the question it
  // answered in a run of them) and runs it with the values as the program took them. A file
  // that is not text is refused, the form left as it was. Returns a promise of the run's
  // status (null when nothing ran).
  async load(bytes, name, { strengths = null, notes = [], warnLimits = true } = {}) {
    if (!isText(bytes)) {
      $('form-notes').textContent = `${name} is not a text file (it holds control characters or NUL bytes): ` +
        'it was not loaded, and the form is as it was.';
      this.form.message('sets', '');
      return null;
    }
    const reads = await this.runs.readsOf(bytes);
    const inputs = inputsOf(reads);
    if (strengths !== null) inputs.sets.forEach((s, i) => { s.strengths = strengths[i] ?? undefined; });
    this.form.fill(inputs);
    this.name = name;
    this.warnings = [...notes, ...(warnLimits ? limitWarnings(reads) : [])];
    const started = this.run({ name, loaded: true });
    return started === null ? null : started.finished;
  }

  // Loads a case file (TOML) read by the kit's case reader into the form and runs it; a case
  // that breaks a rule of the format is refused with the reader's message (its line), the
  // form left as it was. Returns a promise of the run's status (null when nothing ran).
  async loadCase(text, name) {
    const read = caseForForm(text, name);
    if (read.error !== undefined) {
      $('form-notes').textContent = `Not loaded, the form is as it was: ${read.error}`;
      return null;
    }
    // The kit wrote the answers, within the program's limits: no line goes astray.
    return this.load(textToBytes(read.answers), baseName(name), { strengths: read.strengths, notes: read.notes, warnLimits: false });
  }

  // The kit's strength of a run of the form, with the strengths, criteria and load factor the
  // form held when it ran; null when no set has strengths.
  strengthOf(run) {
    const strengths = run.formValues === undefined ? null : strengthsText(run.formValues);
    if (strengths === null) return null;
    const factor = run.formValues.factor.trim() === '' ? null : firstNumber(run.formValues.factor);
    return readStrength(kitRunOf(run), { strengths, criteria: run.criteria.join(','), factor });
  }

  // The envelope of a run of the form (strengthOf's strengths and criteria) in `plane`, with
  // `points` directions, each a run of the program.
  envelopeOf(run, plane, points) {
    return envelope(kitRunOf(run), {
      strengths: strengthsText(run.formValues), criteria: run.criteria.join(','), plane, points, title: run.name,
    }, (answers) => this.runs.runQuietly(answers));
  }

  // Last-ply failure of a run of the form for each of its criteria, each step a run of the
  // program: [{ criterion, text, quantities } or { criterion, error }].
  async lastPlyOf(run) {
    const strengths = strengthsText(run.formValues);
    const out = [];
    for (const criterion of run.criteria) {
      const found = await lastPly(kitRunOf(run), { strengths, criterion }, (answers) => this.runs.runQuietly(answers));
      out.push({ criterion, ...found });
    }
    return out;
  }

  // The answer file that the last run of the form typed.
  answersText() {
    return this.last === null ? '' : this.last.discipline.typed.map((l) => `${l}\r\n`).join('');
  }
}
