// The report's panel: the tables and plots of the run shown (or of a results file), its CSV
// files and printing, and the mark that says it no longer matches the form.
import { resultTables, TABLE_TITLES } from './results.js';
import { renderReport } from './report.js';
import { tableToCsv } from './csv.js';
import { baseName, save } from './bytes.js';
import { endText } from './runs.js';
import { facesParts, strengthParts } from './strength-report.js';

const $ = (id) => document.getElementById(id);

export class ReportPanel {
  constructor() {
    this.read = null;       // the kit's reading of what the panel shows
    this.strength = null;   // and its strength, when the form has strengths
    this.faces = null;      // or the stresses at the faces alone (kit.js readFaces)
    this.source = '';
    window.addEventListener('beforeprint', () => this.datePrint());
  }

  clear() {
    this.read = null;
    this.strength = null;
    this.faces = null;
    this.setStale(null);
    $('results-message').textContent = 'The tables and plots appear here when a run has printed them.';
    $('csv-buttons').replaceChildren();
    $('plots').replaceChildren();
    $('report').replaceChildren();
    $('run-end').replaceChildren();
    $('print-title').textContent = '';
  }

  // Marks what is shown as out of date (`why`), or takes the mark away (null).
  setStale(why) {
    const stale = why !== null && this.read !== null;
    $('results').classList.toggle('stale', stale);
    $('stale-note').hidden = !stale;
    $('stale-note').textContent = stale ? `Out of date: ${why}. The tables below are of the last run.` : '';
  }

  // The line under the printed report's title: when it was printed, and of what.
  datePrint() {
    $('print-date').textContent = `Printed ${new Date().toLocaleString()}; ${this.source}.`;
  }

  csvButton(label, name, fileName, content) {
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = label;
    button.dataset.table = name;
    button.addEventListener('click', () => save(fileName, content(), 'text/csv'));
    return button;
  }

  // Shows the kit's reading of a run or of a results file: `from` the run (null for a
  // results file), `source` what it is called; `strength` the kit's strength of a form run
  // with strengths, `faces` the stresses at the faces otherwise ({ faces, why }: why, say why
  // there are none).
  show(read, source, from, strength = null, envelope = null, faces = null) {
    this.clear();
    this.read = read;
    this.strength = strength;
    this.faces = faces?.faces ?? null;
    const found = resultTables(read);
    const message = $('results-message');
    if (!found.transcript) {
      message.textContent = `${source} is not a transcript of this program (line ${found.line}: ` +
        `${found.error}): there is nothing to show.`;
      return;
    }
    const tables = Object.keys(TABLE_TITLES).filter((name) => found[name] && found[name].rows.length > 0);
    const name = from === null ? baseName(source) : from.name;
    $('print-title').textContent = `Laminate ${name}`;
    if (from !== null) {
      const lines = from.text.split('\r\n').filter(Boolean).slice(-3);
      $('run-end').append(Object.assign(document.createElement('h3'), { textContent: 'End of the run' }),
        Object.assign(document.createElement('p'), { textContent: endText(from) }),
        Object.assign(document.createElement('p'), { className: 'note', textContent: 'The last lines the program wrote:' }),
        Object.assign(document.createElement('pre'), { textContent: lines.join('\n') }));
    }
    this.source = from === null ? `results file ${source}` : `run ${from.name}, begun ${from.started.toLocaleString()}`;
    this.datePrint();
    if (tables.length === 0) {
      message.textContent = `${source}: the program printed no table before the end of the run.`;
      return;
    }
    message.textContent = `Tables and plots of ${source}, with the values as printed.`;
    const buttons = $('csv-buttons');
    for (const table of tables) {
      buttons.append(this.csvButton(`CSV: ${TABLE_TITLES[table]}`, table, `${name}-${table}.csv`, () => tableToCsv(found[table])));
    }
    buttons.append(this.csvButton('Save every table (CSV)', 'all', `${name}-tables.csv`,
      () => tables.map((t) => `${TABLE_TITLES[t]}\r\n${tableToCsv(found[t])}`).join('\r\n')));
    const print = document.createElement('button');
    print.type = 'button';
    print.textContent = 'Print the report';
    print.addEventListener('click', () => window.print());
    buttons.append(print);
    $('plots').append(...renderReport($('report'), found, found.inputs, tables));
    if (strength !== null) {
      $('report').append(...strengthParts(strength, strength.error === undefined ? envelope : null));
    }
    if (faces !== null) $('report').append(...facesParts(faces.faces, faces.why));
    performance.mark('lamvis2-report');
  }
}
