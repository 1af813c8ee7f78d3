// The laminate form: material sets, plies, loads and the relaxation time as the text the
// user typed in each field, with a message at each field. Every field has a key, the key of
// the question of the dialogue that it answers (dialogue.js): set.2.e1, ply.3.angle,
// load.Nx, relaxation.
import { SET_FIELDS, LOADS, MAX_SETS, MAX_PLIES, firstNumber } from './dialogue.js';

// The strengths of a set, as the case format names them: the five magnitudes, all positive;
// then the optional ones (empty: not given): Tsai-Wu's interaction as f12star (normalised,
// |f12star| < 1) or f12 (itself, 1/stress^2), not both; the transverse shear strength st
// and the strain allowables, positive.
export const STRENGTH_FIELDS = ['xt', 'xc', 'yt', 'yc', 's', 'f12star', 'f12', 'st', 'e1t', 'e1c', 'e2t', 'e2c', 'g12u'];
const POSITIVE_OPTIONAL = ['st', 'e1t', 'e1c', 'e2t', 'e2c', 'g12u'];
export const CRITERIA = ['max-stress', 'max-strain', 'tsai-hill', 'tsai-wu', 'hoffman', 'hashin'];
const STRENGTH_NAMES = {
  xt: 'Xt, fibre tension strength', xc: 'Xc, fibre compression strength', yt: 'Yt, transverse tension strength',
  yc: 'Yc, transverse compression strength', s: 'S, in-plane shear strength', f12star: 'F12*, Tsai-Wu interaction',
};
import { readStackingSequence } from './stacking.js';

// A number as the program reads one: digits with an optional point and exponent.
const NUMBER = /^\s*[+-]?(?:\d+\.?\d*|\.\d+)(?:[EeDd][+-]?\d+)?\s*$/;
const INTEGER = /^\s*[+-]?\d+\s*$/;

// What each field of a set is, for its accessible name.
const SET_FIELD_NAMES = { e1: 'E1', e2: 'E2', nu12: 'nu12', g12: 'G12', thickness: 'thickness', creep: 'creep fraction' };

export class LaminateForm {
  // changed(): an edit was made; stale(why): the form no longer describes the last run and
  // will not run as it is (a stacking sequence that cannot be read).
  constructor(root, changed, stale = () => {}) {
    this.root = root;
    this.changed = changed;
    this.stale = stale;
    this.sets = root.querySelector('#sets tbody');
    this.strengths = root.querySelector('#strengths tbody');
    this.plies = root.querySelector('#plies tbody');
    this.loads = root.querySelector('#loads');
    for (const load of LOADS) this.loads.append(this.labelled(load, `load.${load}`));
    this.loads.append(this.labelled('relaxation time', 'relaxation'));
    const factor = this.input('strength.factor', '');
    factor.firstChild.setAttribute('aria-label', 'load factor');
    root.querySelector('#factor-field').append(factor);
    for (const c of CRITERIA) {
      const label = document.createElement('label');
      const box = Object.assign(document.createElement('input'), { type: 'checkbox', name: 'criterion', value: c, checked: true });
      box.setAttribute('aria-label', c);
      label.append(box, ` ${c}`);
      root.querySelector('#criteria').append(label);
    }
    root.querySelector('#add-set').addEventListener('click', () => {
      this.addSet({});
      this.changed();
    });
    root.querySelector('#add-ply').addEventListener('click', () => {
      this.addPly({ set: '1', angle: '0' });
      this.changed();
    });
    root.querySelector('#fill-plies').addEventListener('click', () => this.fillFromSequence());
    root.querySelector('#sequence').addEventListener('keydown', (event) => {
      if (event.key === 'Enter') {
        event.preventDefault();
        this.fillFromSequence();
      }
    });
    // The stacking sequence is applied as it is typed: the plies are always the sequence's
    // once one is written.
    root.addEventListener('input', (event) => {
      if (event.target.id === 'sequence' || event.target.id === 'sequence-set') {
        if (root.querySelector('#sequence').value.trim() !== '') this.fillFromSequence();
        return;
      }
      this.changed();
    });
  }

  input(key, value = '') {
    const input = document.createElement('input');
    input.name = key;
    input.dataset.key = key;
    input.value = value;
    input.autocomplete = 'off';
    input.spellcheck = false;
    input.inputMode = key.endsWith('.set') ? 'numeric' : 'decimal';
    const message = document.createElement('span');
    message.className = 'field-message';
    message.dataset.for = key;
    const cell = document.createElement('span');
    cell.className = 'field';
    cell.append(input, message);
    return cell;
  }

  labelled(text, key) {
    const label = document.createElement('label');
    const field = this.input(key, '0');
    field.firstChild.setAttribute('aria-label', text);
    label.append(`${text} `, field);
    return label;
  }

  addSet(values) {
    const n = this.sets.rows.length + 1;
    if (n > MAX_SETS) return;
    const row = this.sets.insertRow();
    row.insertCell().textContent = String(n);
    for (const f of SET_FIELDS) {
      const cell = row.insertCell();
      const field = this.input(`set.${n}.${f}`, values[f] ?? '');
      field.firstChild.setAttribute('aria-label', `${SET_FIELD_NAMES[f]} of set ${n}`);
      cell.append(field);
    }
    row.insertCell().append(this.removeButton(`remove set ${n}`, () => this.removeRow(this.sets, row, 'set')));
    // Its strengths, a row of their own table.
    const strengths = this.strengths.insertRow();
    strengths.insertCell().textContent = String(n);
    for (const f of STRENGTH_FIELDS) {
      const field = this.input(`strength.${n}.${f}`, values.strengths?.[f] ?? '');
      field.firstChild.setAttribute('aria-label', `${STRENGTH_NAMES[f]} of set ${n}`);
      strengths.insertCell().append(field);
    }
    this.limits();
  }

  addPly(values) {
    const n = this.plies.rows.length + 1;
    if (n > MAX_PLIES) return;
    const row = this.plies.insertRow();
    row.insertCell().textContent = String(n);
    for (const f of ['set', 'angle']) {
      const field = this.input(`ply.${n}.${f}`, values[f] ?? '');
      field.firstChild.setAttribute('aria-label', f === 'set' ? `material set of ply ${n}` : `angle of ply ${n} (degrees)`);
      row.insertCell().append(field);
    }
    row.insertCell().append(this.removeButton(`remove ply ${n}`, () => this.removeRow(this.plies, row, 'ply')));
    this.limits();
  }

  removeButton(label, action) {
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'remove';
    button.textContent = '×';
    button.setAttribute('aria-label', label);
    button.addEventListener('click', () => {
      action();
      this.changed();
    });
    return button;
  }

  // Takes out a row; the rows after it are numbered down, their keys with them.
  removeRow(body, row, kind) {
    const values = this.read();
    const index = row.sectionRowIndex;
    const list = kind === 'set' ? values.sets : values.plies;
    list.splice(index, 1);
    this.fill({ ...values, [kind === 'set' ? 'sets' : 'plies']: list });
  }

  limits() {
    const sets = this.sets.rows.length;
    const plies = this.plies.rows.length;
    this.root.querySelector('#add-set').disabled = sets >= MAX_SETS;
    this.root.querySelector('#add-ply').disabled = plies >= MAX_PLIES;
    this.message('sets', sets >= MAX_SETS ? 'The program takes at most 10 material sets.' : '');
    this.message('plies', plies >= MAX_PLIES ? 'The program takes at most 20 plies.' : '');
  }

  fillFromSequence() {
    const text = this.root.querySelector('#sequence').value;
    const set = this.root.querySelector('#sequence-set').value.trim() || '1';
    const read = readStackingSequence(text);
    if (read.error !== undefined) {
      this.message('sequence', `Cannot read it at character ${read.at + 1}: ${read.error}.`, true);
      this.stale('the stacking sequence cannot be read, so the form was not run');
      return;
    }
    if (read.angles.length > MAX_PLIES) {
      this.message('sequence', `That is ${read.angles.length} plies; the program takes at most 20.`, true);
      this.stale('the stacking sequence has more plies than the program takes, so the form was not run');
      return;
    }
    this.message('sequence', `${read.angles.length} plies: ${read.angles.join(' / ')}`);
    const values = this.read();
    this.fill({ ...values, plies: read.angles.map((a) => ({ set, angle: String(a) })) });
    this.changed();
  }

  // The form's content: { sets: [{ e1, ... }], plies: [{ set, angle }], loads, relaxation }.
  read() {
    const value = (key) => this.root.querySelector(`input[data-key="${key}"]`)?.value ?? '';
    const sets = [];
    for (let n = 1; n <= this.sets.rows.length; n++) {
      sets.push(Object.fromEntries(SET_FIELDS.map((f) => [f, value(`set.${n}.${f}`)])));
      sets.at(-1).strengths = Object.fromEntries(STRENGTH_FIELDS.map((f) => [f, value(`strength.${n}.${f}`)]));
    }
    const plies = [];
    for (let n = 1; n <= this.plies.rows.length; n++) plies.push({ set: value(`ply.${n}.set`), angle: value(`ply.${n}.angle`) });
    return {
      sets, plies, loads: Object.fromEntries(LOADS.map((l) => [l, value(`load.${l}`)])), relaxation: value('relaxation'),
      factor: value('strength.factor'),
    };
  }

  // The failure criteria ticked.
  criteria() {
    return CRITERIA.filter((c) => this.root.querySelector(`input[name="criterion"][value="${c}"]`)?.checked);
  }

  // Replaces the content; fields that `values` lacks are left empty (loads: 0).
  fill(values) {
    this.sets.replaceChildren();
    this.strengths.replaceChildren();
    this.plies.replaceChildren();
    for (const s of values.sets.slice(0, MAX_SETS)) this.addSet(s);
    for (const p of values.plies.slice(0, MAX_PLIES)) this.addPly(p);
    for (const l of LOADS) this.field(`load.${l}`).value = values.loads[l] ?? '0';
    this.field('relaxation').value = values.relaxation ?? '';
    this.limits();
  }

  field(key) {
    return this.root.querySelector(`input[data-key="${key}"]`);
  }

  message(key, text, bad = false) {
    const span = this.root.querySelector(`.field-message[data-for="${key}"]`);
    if (span === null) return;
    span.textContent = text;
    span.classList.toggle('bad', bad);
    const input = this.field(key);
    if (input !== null) {
      input.toggleAttribute('aria-invalid', bad);
      input.title = text;
    }
  }

  clearMessages() {
    for (const span of this.root.querySelectorAll('.field[data-for], .field .field-message')) span.textContent = '';
    for (const input of this.root.querySelectorAll('input[aria-invalid]')) input.removeAttribute('aria-invalid');
    this.limits();
  }

  // Marks every field whose text the program would not take; returns how many. A ply's set
  // must name a set of the form (the program asks again for any other number).
  validate() {
    let bad = 0;
    const values = this.read();
    const mark = (key, text) => {
      bad += 1;
      this.message(key, text, true);
    };
    values.sets.forEach((s, i) => {
      for (const f of SET_FIELDS) {
        if (!NUMBER.test(s[f]) && !(f === 'g12' && s[f].trim() === '')) mark(`set.${i + 1}.${f}`, 'not a number');
      }
      if (NUMBER.test(s.e1) && firstNumber(s.e1) < 0) mark(`set.${i + 1}.e1`, 'a negative E1 would end the list of sets');
    });
    if (values.sets.length === 0) this.message('sets', 'No material set: the program will ask for the layup with none defined.');
    // Strengths: none at all for a set, or the five, positive, with an F12* below 1 in size.
    values.sets.forEach((s, i) => {
      const given = STRENGTH_FIELDS.filter((f) => s.strengths[f].trim() !== '');
      if (given.length === 0) return;
      for (const f of STRENGTH_FIELDS.slice(0, 5)) {
        if (!NUMBER.test(s.strengths[f]) || !(firstNumber(s.strengths[f]) > 0)) mark(`strength.${i + 1}.${f}`, 'a positive number (or no strengths for this set)');
      }
      if (this.criteria().length === 0) mark('strength.factor', 'tick at least one criterion');
      const f12star = s.strengths.f12star;
      if (f12star.trim() !== '' && (!NUMBER.test(f12star) || !(Math.abs(firstNumber(f12star)) < 1))) mark(`strength.${i + 1}.f12star`, 'a number between -1 and 1 (empty: -0.5)');
      // F12 itself: a number that leaves the Tsai-Wu surface closed, |F12| < 1 / sqrt(xt xc yt yc).
      const f12 = s.strengths.f12;
      if (f12.trim() !== '') {
        const bound = 1 / Math.sqrt(['xt', 'xc', 'yt', 'yc'].reduce((p, f) => p * firstNumber(s.strengths[f]), 1));
        if (!NUMBER.test(f12)) mark(`strength.${i + 1}.f12`, 'a number (empty: from F12*)');
        else if (f12star.trim() !== '') mark(`strength.${i + 1}.f12`, 'give F12 or F12*, not both');
        else if (Number.isFinite(bound) && !(Math.abs(firstNumber(f12)) < bound)) mark(`strength.${i + 1}.f12`, `less in size than 1 / sqrt(Xt Xc Yt Yc) = ${bound.toPrecision(6)}`);
      }
      for (const f of POSITIVE_OPTIONAL) {
        const text = s.strengths[f];
        if (text.trim() !== '' && (!NUMBER.test(text) || !(firstNumber(text) > 0))) mark(`strength.${i + 1}.${f}`, 'a positive number, or empty');
      }
    });
    if (values.plies.length === 0) {
      bad += 1;
      this.message('plies', 'No plies: write a stacking sequence or add a ply (a laminate without plies has no stiffness).', true);
    }
    values.plies.forEach((p, i) => {
      const n = firstNumber(p.set);
      if (!INTEGER.test(p.set) || n < 1 || n > values.sets.length) {
        mark(`ply.${i + 1}.set`, `a set from 1 to ${values.sets.length}`);
      }
      if (!NUMBER.test(p.angle)) mark(`ply.${i + 1}.angle`, 'not a number');
    });
    for (const l of LOADS) if (!NUMBER.test(values.loads[l])) mark(`load.${l}`, 'not a number');
    if (values.factor.trim() !== '' && (!NUMBER.test(values.factor) || !(firstNumber(values.factor) > 0))) {
      mark('strength.factor', 'a positive number (ultimate over limit load), or empty');
    }
    if (!NUMBER.test(values.relaxation)) mark('relaxation', 'not a number');
    return bad;
  }

  // The keys of every field the form holds.
  keys() {
    return [...this.root.querySelectorAll('input[data-key]')].map((i) => i.dataset.key);
  }
}
