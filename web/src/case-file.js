// The form as a case file (TOML, the format of verification/ and lamvis2-kit: sets with their
// strengths, plies, loads, relaxation time), and a case file into the form. The kit's case
// reader (kit.js, readCase) reads every case, those the page writes included: the page
// writes only what the form holds, and saves nothing that the reader refuses.
import { firstNumber, LOADS, SET_FIELDS } from './dialogue.js';
import { STRENGTH_FIELDS } from './form.js';
import { readCase } from './kit.js';

const CASE_KEYS = { e1: 'e1', e2: 'e2', nu12: 'nu12', g12: 'g12', thickness: 'thickness', creep: 'creep-fraction' };

// A field's number as TOML writes it: the value the field's text stands for (the first
// number of the line, as the program reads one), in JavaScript's shortest form, which TOML
// reads back as the same double.
function tomlNumber(text) {
  const v = firstNumber(text);
  if (!Number.isFinite(v)) return null;
  const shown = String(v);
  return /[.eE]/.test(shown) || !Number.isSafeInteger(v) ? shown.replace('e+', 'e') : shown;
}

const tomlString = (text) => JSON.stringify(text).replace(/[\u007f-\uffff]/g, (c) => `\\u${c.charCodeAt(0).toString(16).padStart(4, '0')}`);

// The case file of the form's `values` (LaminateForm.read()), titled `title`; or
// { error } naming the field that holds no number.
export function caseText(values, title) {
  const lines = [`title = ${tomlString(title)}`, 'source = "lamvis2 browser page"'];
  const bad = [];
  const number = (text, where) => {
    const v = tomlNumber(text);
    if (v === null) bad.push(where);
    return v;
  };
  lines.push(`relaxation-time = ${number(values.relaxation, 'the relaxation time')}`);
  values.sets.forEach((s, i) => {
    lines.push('', '[[set]]');
    for (const f of SET_FIELDS) {
      if (f === 'g12' && s.g12.trim() === '') continue;
      lines.push(`${CASE_KEYS[f]} = ${number(s[f], `${f} of set ${i + 1}`)}`);
    }
    for (const f of STRENGTH_FIELDS) {
      if (s.strengths[f].trim() !== '') lines.push(`${f} = ${number(s.strengths[f], `${f} of set ${i + 1}`)}`);
    }
  });
  values.plies.forEach((p, i) => {
    lines.push('', '[[ply]]', `set = ${number(p.set, `the set of ply ${i + 1}`)}`, `angle = ${number(p.angle, `the angle of ply ${i + 1}`)}`);
  });
  lines.push('', '[loads]', ...LOADS.map((l) => `${l.toLowerCase()} = ${number(values.loads[l], l)}`));
  if (bad.length > 0) return { error: `no number in ${bad.join(', ')}` };
  return { text: `${lines.join('\n')}\n` };
}

// The strengths of the form's sets as a strengths file (a [[set]] table a set, in order, empty
// for a set without them), or null when no set has strengths.
export function strengthsText(values) {
  const given = values.sets.map((s) => STRENGTH_FIELDS.filter((f) => s.strengths[f].trim() !== '')
    .map((f) => `${f} = ${tomlNumber(s.strengths[f])}`));
  if (given.every((g) => g.length === 0)) return null;
  return given.map((g) => ['[[set]]', ...g].join('\n')).join('\n\n') + '\n';
}

// Reads a case file's text with the kit: { answers, strengths: [per set, or null], title }
// or { error: 'NAME:LINE: what' }.
export function caseForForm(text, name) {
  const c = readCase(text, name);
  if (c.error !== undefined) return { error: c.error };
  if (c.answers === undefined) return { error: `${name}: the case names an answer file of its own (${c['answers-file']}); load that answer file instead` };
  const strengths = c.sets.map((s) => (s.strengths === null ? null
    : Object.fromEntries(STRENGTH_FIELDS.map((f) => [f, s.strengths[f] === null ? '' : String(s.strengths[f])]))));
  return { answers: c.answers, strengths, title: c.title, notes: c.notes };
}
