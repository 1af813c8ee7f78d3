// The page in headless Chromium, against the native program and lamvis2-kit (beside it):
//   node web/test/browser.mjs build-web/lamvis2.html build/lamvis2 ci-artifacts/web
// The timings are figures, printed and written to figures.txt, not checks. Every check runs
// twice: with the browser's JavaScript promise integration, and with it
// taken away before the page starts (as in a browser that has none), so that the page
// suspends the module by asyncify. Prints one line per check and "N passed, N failed".
import { chromium } from 'playwright-core';
import { spawnSync } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import { loadCases } from './cases.mjs';
import * as harness from './harness.mjs';
import { EXAMPLES, README_SESSION, check, difference, latin1, median, readmeScreen, root } from './harness.mjs';

const [pagePath, nativeProgram, artifacts] = process.argv.slice(2).map((p) => resolve(p));
const pageUrl = pathToFileURL(pagePath).href;
mkdirSync(artifacts, { recursive: true });
const scratch = mkdtempSync(join(tmpdir(), 'lamvis2-web-'));

const CHROMIUM_ARGS = [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
];
// Screen sizes of the screenshots: a laptop, a tablet, a phone.
const SIZES = { desktop: { width: 1366, height: 768 }, tablet: { width: 820, height: 1180 }, phone: { width: 390, height: 844 } };

const figures = [];
const nativeTyped = (lines) => harness.nativeTyped(nativeProgram, lines);
const nativeRedirected = (file) => harness.nativeRedirected(nativeProgram, file);

// ---- Page helpers ----

async function waitForExit(page) {
  await page.waitForFunction(() => window.lamvis2.exitStatus() !== null, null, { timeout: 60000 });
  return page.evaluate(() => window.lamvis2.exitStatus());
}

const transcriptOf = (page) => page.evaluate(() => window.lamvis2.transcript());

// Types the lines keystroke by keystroke at the terminal, each once the program has asked
// for it (its output has grown since the line before).
async function typeLines(page, lines) {
  await page.focus('.xterm-helper-textarea');
  for (const line of lines) {
    const before = (await transcriptOf(page)).length;
    if (before === 0) await page.waitForFunction(() => window.lamvis2.transcript().length > 0, null, { timeout: 20000 });
    if (line === '\x04') {
      await page.keyboard.press('Control+D');
      continue;
    }
    if (line === '\x1a') await page.keyboard.press('Control+Z');
    else for (const key of line) await (key === '\b' ? page.keyboard.press('Backspace') : page.keyboard.type(key));
    await page.keyboard.press('Enter');
    await page.waitForFunction((n) => window.lamvis2.transcript().length > n || window.lamvis2.exitStatus() !== null,
      before, { timeout: 20000 });
  }
}

async function download(page, selector) {
  const saving = page.waitForEvent('download', { timeout: 10000 });
  await page.click(selector, { timeout: 10000 });
  return latin1(readFileSync(await (await saving).path()));
}

// The runs that have ended on the page.
const runsEnded = (page) => page.evaluate(() => performance.getEntriesByName('lamvis2-run').length);

async function openAnswerFile(page, name, bytes) {
  const before = await runsEnded(page);
  await page.setInputFiles('#answers-file', { name, mimeType: 'text/plain', buffer: Buffer.from(bytes, 'latin1') });
  await page.waitForFunction((n) => performance.getEntriesByName('lamvis2-run').length > n, before, { timeout: 60000 });
  return page.evaluate(() => window.lamvis2.exitStatus());
}

// ---- What the page drew and saved, against the printed values ----

// The printed tables, read independently of the page: the numbers of the lines after
// each heading, split at blanks.
function printedTables(out) {
  const lines = out.split('\r\n');
  const numbersAfter = (heading, count, skip = 1) => {
    const start = lines.indexOf(heading);
    if (start < 0) return [];
    return lines.slice(start + skip).filter((l) => /\.\d{4}E/.test(l)).slice(0, count)
      .map((l) => l.trim().split(/ +/));
  };
  const relaxationStart = lines.indexOf('Enter relaxation time');
  const relaxation = [];
  for (let i = relaxationStart + 1; relaxationStart >= 0 && i < lines.length && /^( *-?\.\d{4}E[+-]\d\d){7}$/.test(lines[i]); i++) {
    relaxation.push(lines[i].trim().split(/ +/));
  }
  const stressStart = lines.indexOf(' ply     sigma-1     sigma-2    sigma-12');
  const plyStresses = [];
  for (let i = stressStart + 2; stressStart >= 0 && /^ +\d+( +-?\.\d{4}E[+-]\d\d){3}$/.test(lines[i]); i++) {
    plyStresses.push(lines[i].trim().split(/ +/));
  }
  const deformation = lines.filter((l) => /^ {2}(eps|kappa)-/.test(l)).map((l) => [l.slice(2, 10).replace(/[ =]/g, ''), l.slice(-12).trim()]);
  return {
    stiffness: numbersAfter('laminate stiffness matrix:', 6),
    compliance: numbersAfter('laminate compliance matrix:', 6),
    deformation,
    plyStresses,
    relaxation,
  };
}

const parseCsv = (text) => text.split('\r\n').slice(0, -1).map((line) => line.split(','));

async function checkResults(page, out, label) {
  const printed = printedTables(out);
  // The CSV files: each row's values exactly as printed.
  for (const table of ['stiffness', 'compliance', 'deformation', 'plyStresses', 'relaxation']) {
    const csv = parseCsv(await download(page, `#csv-buttons button[data-table="${table}"]`));
    const rows = csv.slice(1).map((row) => (table === 'stiffness' || table === 'compliance' ? row.slice(1) : row));
    check(`${label}: CSV of the ${table} holds the printed values`,
      JSON.stringify(rows) === JSON.stringify(printed[table]) && rows.length > 0,
      `${JSON.stringify(rows).slice(0, 200)} for ${JSON.stringify(printed[table]).slice(0, 200)}`);
  }
  // The plotted points: their values are the printed ones, and they sit where the plot's
  // scales put those values.
  const plotted = await page.evaluate(() => [...document.querySelectorAll('#plots svg')].map((svg) => ({
    xScale: svg.dataset.xScale.split(' '),
    yScale: svg.dataset.yScale.split(' '),
    series: [...svg.querySelectorAll('g.series')].map((g) => ({
      name: g.dataset.series,
      points: [...g.querySelectorAll('.point')].map((p) => {
        const box = p.getBBox();
        return { x: Number(p.dataset.x), y: Number(p.dataset.y), cx: box.x + box.width / 2, cy: box.y + box.height / 2 };
      }),
    })),
  })));
  const project = ([kind, low, high, from, to], v) => {
    const [l, h, f, t] = [low, high, from, to].map(Number);
    const r = kind === 'log' ? (Math.log10(v) - Math.log10(l)) / (Math.log10(h) - Math.log10(l)) : (v - l) / (h - l);
    return f + r * (t - f);
  };
  // A relaxation column whose values are all below 1e-4 of the largest value of its kind
  // (strains: columns 1-3, curvatures: 4-6) is zero to print precision and is named in a
  // note rather than drawn.
  const largestOf = (columns) => Math.max(...printed.relaxation.flatMap((row) => columns.map((c) => Math.abs(Number(row[c])))));
  const largestStrain = largestOf([1, 2, 3]);
  const largestCurvature = largestOf([4, 5, 6]);
  const isZero = (v, column) => Math.abs(Number(v)) < (column <= 3 ? largestStrain : largestCurvature) * 1e-4;
  const expectedSeries = {};
  ['eps-xx', 'eps-yy', 'eps-xy', 'kappa-xx', 'kappa-yy', 'kappa-xy'].forEach((name, k) => {
    const column = printed.relaxation.map((row) => Number(row[k + 1]));
    if (column.every((v) => isZero(v, k + 1))) return;
    expectedSeries[name] = printed.relaxation.map((row) => ({ x: Number(row[0]), y: Number(row[k + 1]) }));
  });
  // The ply stresses: each ply's printed value, bottom ply first, drawn higher up the
  // thickness than the ply before.
  ['sigma-1', 'sigma-2', 'sigma-12'].forEach((name, k) => {
    expectedSeries[name] = printed.plyStresses.map((row) => Number(row[k + 1]));
  });
  const seen = new Set();
  let placed = true;
  let valued = true;
  for (const plot of plotted) {
    for (const series of plot.series) {
      seen.add(series.name);
      const expected = expectedSeries[series.name] ?? [];
      if (series.name.startsWith('sigma')) {
        const rising = series.points.every((p, i) => i === 0 || p.y > series.points[i - 1].y);
        if (JSON.stringify(series.points.map(({ x }) => x)) !== JSON.stringify(expected) || !rising) valued = false;
      } else if (JSON.stringify(series.points.map(({ x, y }) => ({ x, y }))) !== JSON.stringify(expected)) valued = false;
      for (const p of series.points) {
        if (Math.abs(p.cx - project(plot.xScale, p.x)) > 0.6 || Math.abs(p.cy - project(plot.yScale, p.y)) > 0.6) placed = false;
      }
    }
  }
  check(`${label}: every printed creep deformation (but those zero to print precision) and ply stress is plotted`,
    [...seen].sort().join(' ') === Object.keys(expectedSeries).sort().join(' '), [...seen].join(' '));
  check(`${label}: the plotted points have the printed values`, valued);
  check(`${label}: the points sit where the axes put their values`, placed);
  // The report: every printed number in an HTML table, but those zero to print precision,
  // which show as 0 with the printed value in their title.
  const cells = new Set(await page.evaluate(() => [...document.querySelectorAll('#report td, #report tbody th')]
    .map((td) => (td.classList.contains('zero') ? td.title.replace('printed ', '') : td.firstChild?.textContent ?? ''))));
  const zeros = await page.evaluate(() => [...document.querySelectorAll('#report td.zero')].map((td) => td.firstChild.textContent));
  const expectedZeros = printed.relaxation.flatMap((row) => row.slice(1).filter((v, c) => isZero(v, c + 1)));
  check(`${label}: values zero to print precision show as 0`, zeros.length === expectedZeros.length && zeros.every((z) => z === '0'),
    `${zeros.length} for ${expectedZeros.length}`);
  // Round-off in the matrices: an entry below 1e-4 of the largest of its block (A, D), or of
  // the geometric mean of the largest A and D (B), keeps its printed text and is marked.
  const noiseOf = (rows) => {
    const v = rows.map((row) => row.map(Number));
    const largest = (r0, r1, c0, c1) => Math.max(...v.slice(r0, r1).flatMap((row) => row.slice(c0, c1).map(Math.abs)));
    const a = largest(0, 3, 0, 3);
    const d = largest(3, 6, 3, 6);
    return rows.flatMap((row, i) => row.filter((x, j) => Math.abs(Number(x)) < 1e-4 *
      (i < 3 && j < 3 ? a : i >= 3 && j >= 3 ? d : Math.sqrt(a * d))));
  };
  const expectedNoise = [...noiseOf(printed.stiffness), ...noiseOf(printed.compliance)];
  const noise = await page.evaluate(() => [...document.querySelectorAll('#report td.noise')].map((td) => td.firstChild.textContent));
  check(`${label}: matrix entries that are round-off in their block keep their printed text, marked`,
    JSON.stringify(noise) === JSON.stringify(expectedNoise), `${noise.length} marked for ${expectedNoise.length}: ${noise.slice(0, 4)} / ${expectedNoise.slice(0, 4)}`);
  const numbers = Object.values(printed).flat(2).filter((v) => /E/.test(v));
  check(`${label}: the report's tables hold every printed number`, numbers.length > 50 && numbers.every((v) => cells.has(v)),
    numbers.filter((v) => !cells.has(v)).slice(0, 5).join(' '));
}

// ---- The checks ----

async function firstPromptTimes(context, loads, url = pageUrl) {
  const times = [];
  for (let i = 0; i < loads; i++) {
    const page = await context.newPage();
    await page.goto(url);
    await page.waitForFunction(() => performance.getEntriesByName('lamvis2-first-prompt').length > 0, null, { timeout: 10000 });
    times.push(await page.evaluate(() => performance.getEntriesByName('lamvis2-first-prompt')[0].startTime));
    await page.close();
  }
  return times;
}

// The terminal as other terminals behave, the form, and the report.
async function terminalChecks(context, label, freshPage) {
  const page = await freshPage();
  await page.waitForFunction(() => window.lamvis2.transcript().length > 0);
  check(label('Save answers is disabled before anything is typed'), await page.isDisabled('#save-answers'));

  // Ctrl+V pastes the README's answers as one block: each is given at its prompt, and the
  // screen reads as the README's session.
  await page.evaluate((text) => navigator.clipboard.writeText(text), README_SESSION.join('\r') + '\r');
  await page.focus('.xterm-helper-textarea');
  await page.keyboard.press('Control+V');
  await page.waitForFunction(() => window.lamvis2.exitStatus() !== null, null, { timeout: 20000 });
  const screen = (await page.evaluate(() => window.lamvis2.screen())).split('\r\n').map((l) => l.trimEnd());
  const expectedScreen = readmeScreen();
  check(label('Ctrl+V pastes a block, each answer at its prompt: the screen is the README session\'s'),
    JSON.stringify(screen.slice(0, expectedScreen.length)) === JSON.stringify(expectedScreen) && expectedScreen.length > 80,
    difference(screen.join('\n'), expectedScreen.join('\n')));
  check(label('the pasted session gives the native bytes'),
    (await transcriptOf(page)) === nativeTyped(README_SESSION).out && !(await page.evaluate(() => window.lamvis2.answers())).includes('\x16'));
  const saving = page.waitForEvent('download');
  await page.click('#save-screen');
  const screenFile = await saving;
  const savedScreen = latin1(readFileSync(await screenFile.path())).split('\r\n').map((l) => l.trimEnd());
  check(label('Save screen text saves the screen, answers included, named after the date and time'),
    JSON.stringify(savedScreen.slice(0, expectedScreen.length)) === JSON.stringify(expectedScreen) &&
    /^lamvis2-\d{4}-\d\d-\d\d-\d{6}-screen\.txt$/.test(screenFile.suggestedFilename()), screenFile.suggestedFilename());

  // Ctrl+C with text selected copies it and the run goes on; without, it interrupts.
  await page.evaluate(() => window.lamvis2.restart());
  await typeLines(page, ['100']);
  const box = await page.locator('.xterm-screen').boundingBox();
  await page.mouse.move(box.x + 4, box.y + 4);
  await page.mouse.down();
  await page.mouse.move(box.x + 320, box.y + 4);
  await page.mouse.up();
  await page.focus('.xterm-helper-textarea');
  await page.keyboard.press('Control+C');
  await page.waitForTimeout(100);
  const copied = await page.evaluate(() => navigator.clipboard.readText());
  check(label('Ctrl+C with text selected copies it and the run goes on'),
    copied.startsWith('Viscoelastic') && (await page.evaluate(() => window.lamvis2.exitStatus())) === null, JSON.stringify(copied));
  await page.mouse.click(box.x + 4, box.y + box.height - 8);
  await page.focus('.xterm-helper-textarea');
  await page.keyboard.press('Control+Shift+C');
  check(label('Ctrl+Shift+C does not interrupt'), (await page.evaluate(() => window.lamvis2.exitStatus())) === null);

  // Discarding typed answers asks first: declined, the run goes on; accepted, a new one.
  let asked = 0;
  page.once('dialog', (dialog) => {
    asked += 1;
    dialog.dismiss();
  });
  await page.click('#run-again');
  await page.waitForTimeout(100);
  const kept = (await page.evaluate(() => window.lamvis2.answers())) === '100\r\n';
  page.once('dialog', (dialog) => {
    asked += 1;
    dialog.accept();
  });
  await page.click('#run-again');
  await page.waitForTimeout(100);
  check(label('Run again over typed answers asks first, and keeps them when declined'),
    asked === 2 && kept && (await page.evaluate(() => window.lamvis2.answers())) === '', `${asked} asked, kept ${kept}`);

  // The keys for a touch screen: Ctrl-D gives the end-of-input report; the status says when
  // the program waits at its pause.
  await typeLines(page, ['100']);
  await page.click('#key-ctrl-d');
  check(label('the Ctrl-D key gives the native end-of-input report'),
    (await waitForExit(page)) === 1 && (await transcriptOf(page)) === nativeTyped(['100', '\x04']).out);
  await page.evaluate(() => window.lamvis2.restart());
  await typeLines(page, ['-1', '-1']);
  await page.waitForFunction(() => window.lamvis2.transcript().endsWith('Singular matrix.\r\n'));
  check(label('the status says when the program waits at its pause'),
    /pause/.test(await page.textContent('#status')), await page.textContent('#status'));
  await page.click('#key-ctrl-c');
  check(label('the Ctrl-C key ends the run'), (await waitForExit(page)) === 130);

  // A run's results go when the next run starts; files are named after the answer file.
  page.once('dialog', (dialog) => dialog.accept());
  await openAnswerFile(page, 'glass_cross_ply.txt', latin1(readFileSync(join(root, 'examples/glass_cross_ply.txt'))));
  const saved = page.waitForEvent('download');
  await page.click('#save-transcript');
  check(label('the results file is named after the answer file'), (await saved).suggestedFilename() === 'glass_cross_ply-results.txt',
    (await saved).suggestedFilename());
  const csvName = page.waitForEvent('download');
  await page.click('#csv-buttons button[data-table="all"]');
  const allTables = latin1(readFileSync(await (await csvName).path()));
  check(label('one action saves every table'), (await csvName).suggestedFilename() === 'glass_cross_ply-tables.csv' &&
    ['stiffness matrix', 'compliance matrix', 'strains', 'ply stresses', 'relaxation'].every((t) => allTables.includes(t)));
  await page.click('#run-again');
  check(label('a new run clears the results of the last'),
    (await page.evaluate(() => document.querySelectorAll('#plots svg, #csv-buttons button, #report table').length)) === 0);

  // The screen reader's mode: the prompt is in the accessibility tree.
  await page.check('#screen-reader');
  await page.waitForTimeout(200);
  const tree = await page.evaluate(() => document.querySelector('.xterm-accessibility-tree')?.textContent ?? '');
  check(label('screen-reader mode puts the dialogue in the accessibility tree'), tree.includes('Enter modulus in fiber direction'));
  await page.close();
}

async function formChecks(context, label, freshPage, caseFiles) {
  const page = await freshPage();
  await page.waitForFunction(() => window.lamvis2.transcript().length > 0);
  // The README's session in the form: G12 is not asked (E1 = E2), which the field says.
  const readmeFile = join(scratch, 'readme-session.txt');
  writeFileSync(readmeFile, README_SESSION.map((l) => `${l}\n`).join(''));
  const status = await page.evaluate((t) => window.lamvis2.loadForm(t), README_SESSION.join('\n') + '\n');
  check(label('the README session in the form gives the native bytes'),
    status === 0 && (await transcriptOf(page)) === nativeRedirected(readmeFile).out);
  check(label('a field no prompt asked is said at the field (G12 of an isotropic set)'),
    /not asked/.test(await page.textContent('.field-message[data-for="set.1.g12"]')));
  // An edit runs again at once, with the new value.
  await page.fill('input[data-key="load.Nx"]', '20');
  await page.waitForFunction(() => window.lamvis2.exitStatus() !== null && window.lamvis2.transcript().includes('Nx'));
  const edited = README_SESSION.map((l, i) => (i === 9 ? '20' : l));
  check(label('an edit runs the form again at once'), (await transcriptOf(page)) === nativeTyped(edited).out);
  // Bad input is marked at the field and nothing runs; sent as typed, the program reports it.
  const runs = await runsEnded(page);
  await page.fill('input[data-key="set.1.e2"]', '1OO');
  await page.waitForTimeout(200);
  check(label('a field that is not a number is marked, and nothing runs'),
    (await page.getAttribute('input[data-key="set.1.e2"]', 'aria-invalid')) !== null && (await runsEnded(page)) === runs);
  await page.check('#as-typed');
  await page.click('#form-run');
  await waitForExit(page);
  check(label('sent as typed, the program gives its own report'),
    (await transcriptOf(page)) === nativeTyped(['100', '1OO']).out && (await page.evaluate(() => window.lamvis2.exitStatus())) === 1);
  await page.uncheck('#as-typed');
  await page.fill('input[data-key="set.1.e2"]', '100');
  // The stacking sequence fills the plies; more than 20 is said at the field.
  await page.fill('#sequence', '[0/±45/90]s');
  await page.click('#fill-plies');
  const angles = await page.evaluate(() => [...document.querySelectorAll('input[data-key$=".angle"]')].map((i) => i.value).join('/'));
  check(label('[0/±45/90]s fills eight plies'), angles === '0/45/-45/90/90/-45/45/0', angles);
  await page.fill('#sequence', '[0/90_5]2s');
  await page.click('#fill-plies');
  check(label('a sequence of more than 20 plies is said at the field'),
    /at most 20/.test(await page.textContent('.field-message[data-for="sequence"]')) &&
    (await page.locator('input[data-key$=".angle"]').count()) === 8);
  await page.fill('#sequence', '[0/90');
  await page.click('#fill-plies');
  check(label('a sequence that cannot be read says where'), /character 6/.test(await page.textContent('.field-message[data-for="sequence"]')));

  // Every case file that runs without a fault, loaded into the form: the native bytes, and
  // the form saved as an answer file replays them. The form holds one answer per question,
  // so a case where the program asks a ply again (a refused set number) is left out, and it
  // answers at a terminal, where a line holds at most 130 characters.
  const failures = [];
  const clean = caseFiles.filter((c) => c.status === 0 && c.stderr === '' && !c.stdout.includes('material set must be') &&
    c.stdin.split('\n').every((line) => line.length <= 130));
  for (const c of clean) {
    const got = await page.evaluate((t) => window.lamvis2.loadForm(t).then((s) => [s, window.lamvis2.transcript(), window.lamvis2.formAnswers()]), c.stdin);
    const file = join(scratch, `form-${c.name}.txt`);
    writeFileSync(file, got[2], 'latin1');
    const replay = nativeRedirected(file).out;
    if (got[0] !== 0 || got[1] !== c.stdout || replay !== c.stdout) failures.push(`${c.name} (${difference(got[1], c.stdout)} ${difference(replay, c.stdout)})`);
  }
  check(label(`all ${clean.length} case files without a fault, in the form: the native bytes, and the saved form replays them`),
    failures.length === 0 && clean.length > 20, failures.join('; '));
  const saving = page.waitForEvent('download');
  await page.click('#save-form');
  check(label('Save as answer file saves the form\'s answers'),
    latin1(readFileSync(await (await saving).path())) === (await page.evaluate(() => window.lamvis2.formAnswers())));
  await page.close();
}

const kitRead = (file) => harness.kitRead(nativeProgram, file);
const { namesAndValues } = harness;

// What the page must never do: show a stale or misread result, and what it gives to
// automation: the kit's names and values.
async function pageChecks(context, freshPage) {
  const label = (name) => `[jspi] ${name}`;
  const page = await freshPage();
  await page.waitForFunction(() => window.lamvis2.transcript().length > 0);
  // The form opens with a set ready, each field named for what it is.
  const named = await Promise.all(['E1 of set 1', 'E2 of set 1', 'nu12 of set 1', 'G12 of set 1', 'thickness of set 1',
    'creep fraction of set 1', 'Nx', 'Mxy', 'relaxation time', 'Stacking sequence'].map((n) => page.getByLabel(n, { exact: true }).count()));
  check(label('the form opens with one set, every field named for assistive technology'), named.every((n) => n === 1), named.join(' '));

  // quantities(): the names and values of lamvis2-kit read --answers, for each example and
  // a [0/±45/90]s laminate.
  for (const example of EXAMPLES) {
    const file = join(root, 'examples', example);
    await page.evaluate((t) => window.lamvis2.loadForm(t, 'example'), latin1(readFileSync(file)));
    const got = await page.evaluate(() => window.lamvis2.quantities());
    const expected = kitRead(file).quantities;
    check(label(`${example}: quantities() are lamvis2-kit read's names and values, inputs and derived included`),
      namesAndValues(got) === namesAndValues(expected) && got.some((q) => q.name === 'Ex') && got.some((q) => q.name === 'set[1].e1'),
      difference(namesAndValues(got), namesAndValues(expected)));
    // Without strengths the report has each ply's stresses at its faces, the kit's: faces()
    // are lamvis2-kit strength's names and values, and the table shows them to five digits,
    // three faces a ply, in the report on screen and on paper.
    const faces = await page.evaluate(() => window.lamvis2.faces());
    const expectedFaces = harness.kitFaces(nativeProgram, file);
    const plyCount = expected.filter((q) => /^ply\[\d+\]\.number$/.test(q.name)).length;
    const shownFaces = await page.evaluate(() => [...document.querySelectorAll('table[data-table="faces"] tbody tr')]
      .map((tr) => [...tr.children].map((c) => c.textContent)));
    const expectedRows = [];
    for (let k = 1; k <= plyCount; k++) {
      for (const face of ['bottom', 'middle', 'top']) {
        expectedRows.push([String(k), face, ...['sigma-1', 'sigma-2', 'sigma-12'].map((n) => {
          const q = expectedFaces.find((x) => x.name === `ply[${k}].${face}.${n}`);
          return q === undefined ? 'missing' : String(Number(q.value.toPrecision(5)));
        })]);
      }
    }
    check(label(`${example} in the form without strengths: the stresses at every ply's faces are lamvis2-kit strength's, shown and marked derived`),
      plyCount > 0 && expectedFaces.length === plyCount * 18 && namesAndValues(faces) === namesAndValues(expectedFaces) &&
      JSON.stringify(shownFaces) === JSON.stringify(expectedRows) &&
      /Ply stresses at the faces \(derived/.test(await page.textContent('#report')) &&
      (await page.evaluate(() => getComputedStyle(document.querySelector('table[data-table="faces"]')).display)) !== 'none',
      `${difference(namesAndValues(faces), namesAndValues(expectedFaces))} ${difference(JSON.stringify(shownFaces), JSON.stringify(expectedRows))}`);
  }

  // 1. A field made invalid after a good run: nothing runs, and what is shown says it is
  // out of date.
  const carbon = latin1(readFileSync(join(root, 'examples/carbon_quasi_isotropic.txt')));
  await page.evaluate((t) => window.lamvis2.loadForm(t, 'carbon'), carbon);
  const runs = await runsEnded(page);
  await page.fill('input[data-key="set.1.e1"]', '14O000');
  await page.waitForTimeout(200);
  const stale = await page.evaluate(() => [document.querySelector('#stale-note').hidden, document.querySelector('#stale-note').textContent,
    document.querySelector('#status').textContent, document.querySelector('#results').classList.contains('stale')]);
  check(label('1. a field made invalid after a good run: nothing runs, the report, terminal and status say out of date'),
    (await runsEnded(page)) === runs && !stale[0] && /Out of date/.test(stale[1]) && /Out of date/.test(stale[2]) && stale[3], JSON.stringify(stale));
  await page.fill('input[data-key="set.1.e1"]', '181000');
  await page.waitForFunction((n) => performance.getEntriesByName('lamvis2-run').length > n, runs);
  await waitForExit(page);
  check(label('1. put right, it runs and the mark goes'), await page.evaluate(() => document.querySelector('#stale-note').hidden));

  // 2. A stacking sequence is applied as it is typed; a form without plies says so.
  await page.fill('#sequence', '[0/90]s');
  await page.waitForFunction(() => window.lamvis2.exitStatus() !== null && window.lamvis2.quantities().some((q) => q.name === 'ply[4].number'));
  const plies = await page.evaluate(() => window.lamvis2.quantities().filter((q) => /^ply\[\d+\]\.number$/.test(q.name)).length);
  check(label('2. a stacking sequence typed, not applied by a click, runs with its plies'), plies === 4, String(plies));
  await page.fill('#sequence', '');
  while ((await page.locator('button[aria-label^="remove ply"]').count()) > 0) await page.locator('button[aria-label^="remove ply"]').first().click();
  const noPlies = await runsEnded(page);
  await page.waitForTimeout(200);
  check(label('2. a form without plies says so and runs nothing'),
    /No plies/.test(await page.textContent('.field-message[data-for="plies"]')) && (await runsEnded(page)) === noPlies);

  // 3. A binary file loaded into the form is refused and the form left as it was.
  await page.evaluate((t) => window.lamvis2.loadForm(t, 'carbon'), carbon);
  const before = await page.evaluate(() => [...document.querySelectorAll('#laminate input[data-key]')].map((i) => i.value).join('|'));
  const binary = Buffer.from(Array.from({ length: 4096 }, (_, i) => (i * 2654435761) >>> 24));
  await page.setInputFiles('#form-file', { name: 'binary.dat', mimeType: 'application/octet-stream', buffer: binary });
  await page.waitForFunction(() => /not a text file/.test(document.querySelector('#form-notes').textContent));
  const after = await page.evaluate(() => [...document.querySelectorAll('#laminate input[data-key]')].map((i) => i.value).join('|'));
  check(label('3. a binary file is refused with a message, the form as it was'), before === after && before.includes('181000'));

  // 4. An answer file of 21 plies: read as the program reads it, with a warning of where
  // the lines after the 20th ply went.
  const lines = carbon.split('\n');
  const plyStart = lines.findIndex((l, i) => i > 5 && l.trim() === '-1') + 1;
  const twentyOne = [...lines.slice(0, plyStart), ...Array.from({ length: 21 }, () => ['1', '0']).flat(), ...lines.slice(plyStart + 17)].join('\n');
  const twentyOneFile = join(scratch, 'twenty-one.txt');
  writeFileSync(twentyOneFile, twentyOne, 'latin1');
  await page.evaluate((t) => window.lamvis2.loadForm(t, 'twenty-one'), twentyOne);
  const warning = await page.textContent('.field-message[data-for="plies"]');
  const nx = await page.inputValue('input[data-key="load.Nx"]');
  check(label('4. 21 plies in an answer file: the program\'s reading (Nx takes the 21st ply\'s set) and a warning of where the lines went'),
    /no more than 20 plies/.test(warning) && /→ Nx/.test(warning) && nx === '1' &&
    (await transcriptOf(page)) === nativeTyped(twentyOne.split('\n')).out, `${warning} Nx ${nx}`);

  // 5. Thick plies: curvatures judged against curvatures, strains against strains.
  const thick = lines.map((l) => (l.trim() === '0.125' ? '1250' : l)).join('\n');
  const thickFile = join(scratch, 'thick.txt');
  writeFileSync(thickFile, thick, 'latin1');
  const thickPage = await freshPage();
  await openAnswerFile(thickPage, 'thick.txt', thick);
  await checkResults(thickPage, await transcriptOf(thickPage), label('5. plies 1250 thick'));
  await thickPage.close();

  // Strength: a case file with strengths, through the kit in WebAssembly, gives the names
  // and values of `lamvis2-kit strength --json`, with a load factor and a choice of criteria
  // too; the first-ply failure is highlighted; bad strengths are marked and nothing runs.
  // Each case is loaded, gives the kit's strength, and is saved with every strength key it
  // has (f12, st and strain allowables among them, which change the results): the kit reads
  // the same strengths from the saved file. C6 comes last: the checks after it use it.
  const strengthCase = join(root, 'verification/strength/aerospatiale_C6_tsai_hill.toml');
  const optionalCase = join(scratch, 'c6-optional.toml');
  writeFileSync(optionalCase, readFileSync(strengthCase, 'utf8').replace('s = 75.0\n', 's = 75.0\nst = 40.0\ne1t = 0.0085\ne2c = 0.02\ng12u = 0.012\n'));
  const kitSets = (file) => JSON.stringify(JSON.parse(spawnSync(join(dirname(nativeProgram), 'lamvis2-kit'), ['case', '--json', file], { encoding: 'utf8' }).stdout)
    .sets.map((set) => set.strengths));
  for (const [name, file, key] of [['tsai_wu_lamina_psi (f12)', join(root, 'verification/strength/tsai_wu_lamina_psi.toml'), '"f12":'],
    ['C6 with st, e1t, e2c and g12u', optionalCase, '"st":40'], ['aerospatiale_C6_tsai_hill', strengthCase, '"xt":1200']]) {
    await page.evaluate((t) => window.lamvis2.loadCase(t, 'case.toml'), readFileSync(file, 'utf8'));
    const strength = await page.evaluate(() => window.lamvis2.quantities());
    const expectedStrength = harness.kitStrength(nativeProgram, file).quantities;
    const saved = join(scratch, 'saved-case.toml');
    writeFileSync(saved, await page.evaluate(() => window.lamvis2.caseFile()));
    check(label(`strength, ${name}: quantities() are lamvis2-kit strength --json's names and values; saved, the case keeps its strengths`),
      namesAndValues(strength) === namesAndValues(expectedStrength) && strength.some((q) => q.name === 'first-ply.tsai-wu.ply') &&
      kitSets(saved) === kitSets(file) && kitSets(file).includes(key),
      `${difference(namesAndValues(strength), namesAndValues(expectedStrength))} ${kitSets(saved)} against ${kitSets(file)}`);
  }
  const expectedStrength = harness.kitStrength(nativeProgram, strengthCase).quantities;
  const firstPly = expectedStrength.filter((q) => /^first-ply\.[a-z-]+$/.test(q.name) && q.value !== null)
    .reduce((a, b) => (b.value < a.value ? b : a));
  const highlighted = await page.evaluate(() => [...document.querySelectorAll('table[data-table="first-ply"] tr.first-ply th')].map((th) => th.textContent));
  const faces = await page.evaluate(() => document.querySelectorAll('table[data-table="strength"] td.first-ply').length);
  check(label('strength: the first-ply failure is highlighted, in the summary and at its ply and face'),
    highlighted.includes(firstPly.name.slice('first-ply.'.length)) && faces >= 6, `${highlighted} for ${firstPly.name}, ${faces} faces`);
  await page.fill('input[data-key="strength.factor"]', '1.5');
  await page.uncheck('input[name="criterion"][value="max-strain"]');
  await page.waitForFunction(() => window.lamvis2.exitStatus() !== null && window.lamvis2.quantities().some((q) => q.name.endsWith('.margin')));
  const factored = await page.evaluate(() => window.lamvis2.quantities());
  const expectedFactored = harness.kitStrength(nativeProgram, strengthCase, ['--factor', '1.5', '--criteria', 'max-stress,tsai-hill,tsai-wu,hoffman,hashin']).quantities;
  check(label('strength: a load factor and a choice of criteria, as --factor and --criteria give them'),
    namesAndValues(factored) === namesAndValues(expectedFactored), difference(namesAndValues(factored), namesAndValues(expectedFactored)));
  // The envelope, each point a run of the page's module: the bytes of lamvis2-kit envelope.
  await page.fill('input[data-key="strength.factor"]', '');
  await page.check('input[name="criterion"][value="max-strain"]');
  await page.waitForFunction(() => window.lamvis2.exitStatus() !== null && !window.lamvis2.quantities().some((q) => q.name.endsWith('.margin')));
  await page.selectOption('#envelope-plane', 'nx,nxy');
  await page.fill('#envelope-points', '24');
  const drawn = performance.now();
  await page.click('#envelope-draw');
  await page.waitForSelector('#envelope svg', { timeout: 60000 });
  figures.push(`[jspi] the C6 case's first-ply envelope, 24 directions and 6 criteria: ${(performance.now() - drawn).toFixed(0)} ms`);
  const envelopeCsv = await download(page, 'button[data-table="envelope"]');
  const cliEnvelope = spawnSync(join(dirname(nativeProgram), 'lamvis2-kit'), ['envelope', strengthCase, '--plane', 'nx,nxy', '--points', '24',
    '--criteria', 'max-stress,max-strain,tsai-hill,tsai-wu,hoffman,hashin'], { encoding: 'latin1' }).stdout;
  check(label('strength: the envelope drawn on request is lamvis2-kit envelope\'s, byte for byte, and in the report'),
    envelopeCsv === cliEnvelope && cliEnvelope.split('\n').length > 100 && (await page.locator('#report #envelope svg').count()) === 1,
    difference(envelopeCsv, cliEnvelope));
  // Last-ply failure on request, each step a run of the page's module: the kit's table of
  // steps, as `strength --last-ply` prints it.
  await page.click('#last-ply-find');
  await page.waitForFunction(() => performance.getEntriesByName('lamvis2-last-ply').length > 0, null, { timeout: 120000 });
  const lastPlyText = await page.evaluate(() => [...document.querySelectorAll('#last-ply pre')].map((p) => p.textContent));
  const cliLastPly = harness.kitStrength(nativeProgram, strengthCase, ['--last-ply'], '');
  check(label('strength: last-ply failure on request, each step a run, gives lamvis2-kit strength --last-ply\'s steps'),
    lastPlyText.length === 6 && lastPlyText.every((t) => t.length > 100 && cliLastPly.includes(t)),
    `${lastPlyText.length} criteria; ${lastPlyText.find((t) => !cliLastPly.includes(t))?.slice(0, 300)}`);
  const beforeBad = await runsEnded(page);
  const marked = [];
  for (const bad of ['0', '-5', 'x', '']) {
    await page.fill('input[data-key="strength.1.xt"]', bad);
    await page.waitForTimeout(150);
    marked.push(await page.getAttribute('input[data-key="strength.1.xt"]', 'aria-invalid'));
  }
  check(label('strength: an empty, zero, negative or not-number strength is marked, and nothing runs'),
    marked.every((m) => m !== null) && (await runsEnded(page)) === beforeBad, JSON.stringify(marked));
  await page.fill('input[data-key="strength.1.xt"]', '1200');
  await page.waitForFunction((n) => performance.getEntriesByName('lamvis2-run').length > n, beforeBad);
  await waitForExit(page);
  const beforeOptional = await runsEnded(page);
  const markedOptional = [];
  // Each bad value stays (a field put right would run the form); each field is judged alone.
  for (const [key, bad] of [['f12', '1e-3'], ['f12', 'x'], ['st', '0'], ['e1t', '-0.01'], ['g12u', 'x'], ['f12star', '-0.5'], ['f12', '-1e-6']]) {
    await page.fill(`input[data-key="strength.1.${key}"]`, bad);
    await page.waitForTimeout(150);
    if (key !== 'f12star') markedOptional.push(await page.getAttribute(`input[data-key="strength.1.${key}"]`, 'aria-invalid'));
  }
  check(label('strength: an optional strength not positive, an f12 not a number or too large, or f12 beside f12star is marked, and nothing runs'),
    markedOptional.every((m) => m !== null) && (await runsEnded(page)) === beforeOptional &&
    /not both/.test(await page.textContent('.field-message[data-for="strength.1.f12"]')), JSON.stringify(markedOptional));

  // 7. After Run the report is in view.
  await page.evaluate((t) => window.lamvis2.loadForm(t, 'carbon'), carbon);
  await page.evaluate(() => window.scrollTo(0, 0));
  const ran = await runsEnded(page);
  await page.click('#form-run');
  await page.waitForFunction((n) => performance.getEntriesByName('lamvis2-run').length > n, ran);
  await page.waitForTimeout(300);
  const top = await page.evaluate(() => document.querySelector('#results').getBoundingClientRect().top);
  check(label('7. after Run the view is at the report'), top >= -2 && top < 100, String(top));
  await page.close();
}

// The printed report (Chromium's PDF) holds every number of every table; the page at a
// laptop's, a tablet's and a phone's size, with the figures of the form's speed and of the
// first prompt against an empty page of the same size.
async function reportChecks(context, freshPage) {
  const largest = EXAMPLES.reduce((a, b) => (statSync(join(root, 'examples', a)).size >= statSync(join(root, 'examples', b)).size ? a : b));
  const text = latin1(readFileSync(join(root, 'examples', largest)));
  const page = await freshPage();
  await page.setViewportSize(SIZES.desktop);
  await page.evaluate((t) => window.lamvis2.loadForm(t, 'largest'), text);
  // Strengths for every set (a carbon-epoxy's, in the examples' MPa), so that the report has
  // its strength part.
  const strengthRows = await page.locator('#strengths tbody tr').count();
  for (let n = 1; n <= strengthRows; n++) {
    for (const [key, value] of [['xt', '1500'], ['xc', '1200'], ['yt', '50'], ['yc', '200'], ['s', '70']]) {
      await page.fill(`input[data-key="strength.${n}.${key}"]`, value);
    }
  }
  await page.waitForFunction(() => window.lamvis2.exitStatus() !== null && window.lamvis2.quantities().some((q) => q.name === 'first-ply.hashin'));
  const printed = printedTables(await transcriptOf(page));
  const pdf = join(scratch, 'report.pdf');
  await page.pdf({ path: pdf, format: 'A4' });
  const pdfText = spawnSync('pdftotext', ['-layout', pdf, '-'], { encoding: 'latin1' }).stdout;
  const relaxationLargest = Math.max(...printed.relaxation.flatMap((row) => row.slice(1).map((v) => Math.abs(Number(v)))));
  const zero = new Set(printed.relaxation.flatMap((row) => row.slice(1).filter((v) => Math.abs(Number(v)) < relaxationLargest * 1e-4)));
  const numbers = Object.values(printed).flat(2).filter((v) => /E/.test(v) && !zero.has(v));
  // A value marked as round-off is followed by its mark.
  const words = new Set(pdfText.split(/\s+/).map((w) => w.replace(/\*$/, '')));
  check('[jspi] the printed report holds every number of every table, the inputs and the run\'s end',
    numbers.length > 100 && numbers.every((v) => words.has(v)) && pdfText.includes('181000') && pdfText.includes('exit status 0') &&
    !pdfText.includes('Run again'), numbers.filter((v) => !words.has(v)).slice(0, 5).join(' '));
  // Printed without strengths, the report has the stresses at the faces.
  const plain = await freshPage();
  await plain.evaluate((t) => window.lamvis2.loadForm(t, 'largest'), text);
  const plainPdf = join(scratch, 'report-plain.pdf');
  await plain.pdf({ path: plainPdf, format: 'A4' });
  const plainText = spawnSync('pdftotext', ['-layout', plainPdf, '-'], { encoding: 'latin1' }).stdout;
  const plainFaces = (await plain.evaluate(() => window.lamvis2.faces())).filter((q) => /sigma/.test(q.name));
  const plainWords = new Set(plainText.split(/\s+/));
  check('[jspi] the printed report without strengths holds every ply\'s stresses at its faces, marked derived',
    plainText.includes('Ply stresses at the faces (derived') && plainFaces.length > 0 &&
    plainFaces.every((q) => plainWords.has(String(Number(q.value.toPrecision(5))))),
    plainFaces.filter((q) => !plainWords.has(String(Number(q.value.toPrecision(5))))).slice(0, 5).map((q) => q.name).join(' '));
  await plain.close();
  check('[jspi] 8. the printed report names the laminate, says the units, labels the run\'s end, and speaks of no tooltip',
    pdfText.includes('Laminate largest') && pdfText.includes('Units:') && pdfText.includes('End of the run') &&
    !/tooltip/i.test(pdfText) && pdfText.includes('Engineering constants (derived)') && pdfText.includes('First-ply failure'));

  // Edit to updated tables, strength included, the largest example in the form.
  const times = [];
  for (let i = 0; i < 9; i++) {
    times.push(await page.evaluate((value) => new Promise((resolve) => {
      const marks = performance.getEntriesByName('lamvis2-report').length;
      const input = document.querySelector('input[data-key="load.Nx"]');
      const start = performance.now();
      const wait = () => {
        // The tables are updated when the page marks the report done.
        const done = performance.getEntriesByName('lamvis2-report');
        if (done.length > marks) resolve(done.at(-1).startTime - start);
        else setTimeout(wait, 0);
      };
      input.value = value;
      input.dispatchEvent(new Event('input', { bubbles: true }));
      wait();
    }), String(100 + i)));
  }
  figures.push(`[jspi] ${largest} in the form with strengths, an edit to updated tables, strength included: ${times.map((t) => t.toFixed(1)).join(', ')} ms (median ${median(times).toFixed(1)})`);

  for (const [name, size] of Object.entries(SIZES)) {
    await page.setViewportSize(size);
    await page.waitForTimeout(300);
    await page.screenshot({ path: join(artifacts, `${name}-${size.width}x${size.height}.png`), fullPage: true });
  }
  // At a phone's width: the terminal keeps whole rows and scrolls sideways, the page does
  // not, and the text is large enough to read.
  const phone = await page.evaluate(() => {
    const box = document.querySelector('.terminal-box');
    const tick = document.querySelector('.plot .tick').getBoundingClientRect().height;
    return {
      boxScrolls: box.scrollWidth > box.clientWidth,
      pageScrolls: document.documentElement.scrollWidth > window.innerWidth,
      font: parseFloat(getComputedStyle(document.querySelector('.xterm-rows')).fontSize),
      tick,
      input: parseFloat(getComputedStyle(document.querySelector('input[data-key="load.Nx"]')).fontSize),
    };
  });
  check('[jspi] a phone\'s width: the terminal scrolls sideways, the page does not, text readable',
    phone.boxScrolls && !phone.pageScrolls && phone.font >= 11 && phone.tick >= 9 && phone.input >= 14, JSON.stringify(phone));
  // 8. On a phone every plot's title, axis labels and ticks lie within the plot, the ticks
  // apart from one another.
  await page.evaluate((t) => window.lamvis2.loadForm(t, 'largest'), text);
  const cut = await page.evaluate(() => {
    const problems = [];
    for (const svg of document.querySelectorAll('#plots svg')) {
      const [, , width, height] = svg.getAttribute('viewBox').split(' ').map(Number);
      for (const t of svg.querySelectorAll('.plot-title, .axis-label, .tick')) {
        const b = t.getBBox();
        const m = t.getCTM();
        const corners = [[b.x, b.y], [b.x + b.width, b.y + b.height]].map(([x, y]) => [m.a * x + m.c * y + m.e, m.b * x + m.d * y + m.f]);
        if (corners.some(([x, y]) => x < -0.5 || y < -0.5 || x > width + 0.5 || y > height + 0.5)) problems.push(t.textContent);
      }
      const ticks = [...svg.querySelectorAll('.tick')].filter((t) => t.getAttribute('text-anchor') === 'middle').map((t) => t.getBBox())
        .sort((a, b) => a.x - b.x);
      ticks.forEach((b, i) => { if (i > 0 && ticks[i - 1].x + ticks[i - 1].width + 4 > b.x) problems.push(`ticks crowd at ${b.x}`); });
    }
    return problems;
  });
  check('[jspi] 8. a phone\'s width: plot titles, axis labels and ticks are whole and apart', cut.length === 0, cut.slice(0, 5).join('; '));
  await page.close();

  // The first prompt, and the same measure (a frame after its script ran) of an empty page
  // of the same size.
  const size = statSync(pagePath).size;
  const empty = join(scratch, 'empty.html');
  const head = '<!doctype html><html><body><script>requestAnimationFrame(() => performance.mark("lamvis2-first-prompt"));</script><!--';
  writeFileSync(empty, head + 'x'.repeat(size - head.length - 3) + '-->');
  // Side by side: each page load followed by the empty page's.
  const pageTimes = [];
  const emptyTimes = [];
  for (let i = 0; i < 7; i++) {
    pageTimes.push(...await firstPromptTimes(context, 1, pageUrl));
    emptyTimes.push(...await firstPromptTimes(context, 1, pathToFileURL(empty).href));
  }
  figures.push(`[jspi] first prompt ${median(pageTimes).toFixed(0)} ms, an empty page of ${size} bytes ${median(emptyTimes).toFixed(0)} ms (medians of 7): ratio ${(median(pageTimes) / median(emptyTimes)).toFixed(2)}`);
}

// A fresh profile for each browser.
const freshProfile = () => mkdtempSync(join(scratch, 'profile-'));

async function runChecks(mode) {
  const userData = freshProfile();
  const context = await chromium.launchPersistentContext(userData, {
    executablePath: '/usr/bin/chromium',
    args: CHROMIUM_ARGS,
    acceptDownloads: true,
    viewport: { width: 1280, height: 900 },
  });
  await context.grantPermissions(['clipboard-read', 'clipboard-write']);
  if (mode === 'asyncify') {
    // As in a browser without JavaScript promise integration.
    await context.addInitScript(() => {
      delete WebAssembly.Suspending;
      delete WebAssembly.promising;
    });
  }
  const requests = [];
  context.on('request', (request) => {
    // The empty page that the first prompt's time is set beside is no request of the page.
    if (request.url() !== pageUrl && !request.url().startsWith('blob:') && !request.url().endsWith('/empty.html')) requests.push(request.url());
  });
  const errors = [];
  const label = (name) => `[${mode}] ${name}`;

  // Loading: the first prompt, timed from the start of the load.
  const times = await firstPromptTimes(context, 5);
  figures.push(`[${mode}] first prompt shown after ${times.map((t) => t.toFixed(0)).join(', ')} ms (median ${median(times).toFixed(0)})`);
  // The first prompt is on the screen before the terminal library has run, and keys typed
  // then reach the program once it has (its start held back here: timers a second late).
  const early = await context.newPage();
  early.on('pageerror', (error) => errors.push(String(error)));
  await early.addInitScript(() => {
    const later = window.setTimeout;
    window.setTimeout = (f, t = 0, ...rest) => later(f, t + 1000, ...rest);
  });
  await early.goto(pageUrl);
  await early.waitForFunction(() => performance.getEntriesByName('lamvis2-first-prompt').length > 0);
  const before = await early.evaluate(() => ({ text: document.querySelector('#terminal').innerText,
    terminal: document.querySelector('.xterm-helper-textarea') !== null }));
  await early.keyboard.type('100');
  await early.keyboard.press('Enter');
  // (Keys lost would leave the program waiting: the check below then fails.)
  await early.waitForFunction(() => document.querySelector('.xterm-helper-textarea') !== null && window.lamvis2.transcript().includes('transverse'),
    null, { timeout: 20000 }).catch(() => {});
  const typedEarly = await transcriptOf(early);
  const nativeEarly = nativeTyped(['100', '\x04']).out;
  check(label('the first prompt shows before the terminal library runs, and keys typed then reach the program'),
    !before.terminal && before.text.includes('Enter modulus in fiber direction (-1 to stop):') &&
    nativeEarly.startsWith(typedEarly) && typedEarly.includes('Enter modulus in transverse direction:'),
    `${JSON.stringify(before)} ${difference(typedEarly, nativeEarly.slice(0, typedEarly.length))}`);
  await early.close();

  const page = await context.newPage();
  page.on('pageerror', (error) => errors.push(String(error)));
  await page.goto(pageUrl);
  const suspension = await page.evaluate(() => document.documentElement.dataset.suspension);
  check(label(`the page suspends the module by ${mode}`), suspension === mode, suspension);

  // The README's session, typed, with a slip erased by Backspace ("\b").
  await typeLines(page, README_SESSION.map((line, i) => (i === 2 ? '0.2x\b5' : line)));
  const native = nativeTyped(README_SESSION);
  check(label('the typed README session gives the native bytes on a terminal'),
    (await transcriptOf(page)) === native.out && native.out.length > 3000, difference(await transcriptOf(page), native.out));
  check(label('exit status 0 after the typed session'), (await waitForExit(page)) === 0 && native.status === 0);
  const answers = README_SESSION.map((l) => `${l}\r\n`).join('');
  check(label('answers() holds the typed lines'), (await page.evaluate(() => window.lamvis2.answers())) === answers);
  const savedAnswers = await download(page, '#save-answers');
  const answersFile = join(scratch, `answers-${mode}.txt`);
  writeFileSync(answersFile, savedAnswers, 'latin1');
  check(label('Save answers writes them, and the native program given the file replays the session'),
    savedAnswers === answers && nativeRedirected(answersFile).out === native.out);
  check(label('Save transcript writes the program\'s bytes'), (await download(page, '#save-transcript')) === native.out);
  await page.screenshot({ path: join(artifacts, `typed-session-${mode}.png`), fullPage: true });

  // The example answer files, opened as redirected input.
  const examples = EXAMPLES;
  const largest = examples.reduce((a, b) => (statSync(join(root, 'examples', a)).size >= statSync(join(root, 'examples', b)).size ? a : b));
  // Each in a page of its own: a browser tab lets a page save only so many files in a row.
  const freshPage = async () => {
    const p = await context.newPage();
    p.on('pageerror', (error) => errors.push(String(error)));
    await p.goto(pageUrl);
    return p;
  };
  for (const example of examples) {
    const file = join(root, 'examples', example);
    const examplePage = await freshPage();
    const status = await openAnswerFile(examplePage, example, latin1(readFileSync(file)));
    const expected = nativeRedirected(file);
    const got = await transcriptOf(examplePage);
    check(label(`${example} gives the native bytes and status`), got === expected.out && status === expected.status,
      difference(got, expected.out));
    await checkResults(examplePage, got, label(example));
    if (example === largest) await examplePage.screenshot({ path: join(artifacts, `finished-run-${mode}.png`), fullPage: true });
    await examplePage.close();
  }

  // The largest example, timed from the start of the run to its end.
  const runTimes = [];
  const largestText = latin1(readFileSync(join(root, 'examples', largest)));
  for (let i = 0; i < 7; i++) {
    runTimes.push(await page.evaluate(async (text) => {
      const start = performance.now();
      await window.lamvis2.runAnswers(text);
      return performance.now() - start;
    }, largestText));
  }
  figures.push(`[${mode}] ${largest} run to its last row in ${runTimes.map((t) => t.toFixed(1)).join(', ')} ms (median ${median(runTimes).toFixed(1)})`);

  // Every whole-program case as an answer file (but the one that limits the file size of
  // standard output, which a page cannot): the bytes and status of the native program with
  // standard output and error on one pipe.
  const caseFiles = loadCases(join(root, 'tests/cases')).filter((c) => !c.name.includes('file_size_limit'));
  await terminalChecks(context, label, freshPage);
  await formChecks(context, label, freshPage, caseFiles);
  if (mode === 'jspi') await reportChecks(context, freshPage);
  if (mode === 'jspi') await pageChecks(context, freshPage);
  const caseFailures = [];
  for (const c of caseFiles) {
    const file = join(scratch, `${c.name}.txt`);
    writeFileSync(file, c.stdin, 'latin1');
    const status = await page.evaluate((text) => window.lamvis2.runAnswers(text), c.stdin);
    const expected = nativeRedirected(file);
    const got = await transcriptOf(page);
    if (got !== expected.out || status !== expected.status || status !== c.status) {
      caseFailures.push(`${c.name} (${difference(got, expected.out)}, status ${status})`);
    }
  }
  check(label(`all ${caseFiles.length} case files as answer files give the native bytes and status`),
    caseFailures.length === 0 && caseFiles.length > 50, caseFailures.join('; '));

  // Answer files that are not what the program expects: its own report, as natively.
  const binary = Buffer.from(Array.from({ length: 65536 }, (_, i) => (i * 2654435761) >>> 24)).toString('latin1');
  const carbon = latin1(readFileSync(join(root, 'examples/carbon_quasi_isotropic.txt')));
  const badFiles = [
    ['empty', ''],
    ['binary', binary],
    ['early-ending', carbon.split('\n').slice(0, 9).join('\n') + '\n'],
  ];
  for (const [name, content] of badFiles) {
    const file = join(scratch, `${name}.txt`);
    writeFileSync(file, content, 'latin1');
    const status = await openAnswerFile(page, `${name}.txt`, content);
    const expected = nativeRedirected(file);
    const got = await transcriptOf(page);
    check(label(`${name} answer file: the native report and status`), got === expected.out && status === expected.status,
      difference(got, expected.out));
  }

  // A 100 MB answer file of empty lines: the page answers while the program reads it.
  const hugeFile = join(scratch, 'huge.txt');
  writeFileSync(hugeFile, Buffer.alloc(100 << 20, 0x0a));
  const hugeStarted = Date.now();
  await page.evaluate(() => {
    window.hugeRun = window.lamvis2.runAnswers('\n'.repeat(100 << 20));
  });
  let slowest = 0;
  while (await page.evaluate(() => window.lamvis2.exitStatus() === null)) {
    const t = Date.now();
    await page.evaluate(() => new Promise((r) => setTimeout(r, 0)));
    slowest = Math.max(slowest, Date.now() - t);
  }
  const hugeNative = nativeRedirected(hugeFile);
  const hugeGot = await transcriptOf(page);
  figures.push(`[${mode}] 100 MB answer file: ${Date.now() - hugeStarted} ms, the page answered within ${slowest} ms throughout`);
  check(label('100 MB answer file: the native report, and the page stays responsive'),
    hugeGot === hugeNative.out && slowest < 500, `${difference(hugeGot, hugeNative.out)} slowest ${slowest} ms`);

  // Results files: a native results file dropped on the page is plotted; a file that is not
  // a transcript gets a message and no plot.
  const nativeResults = nativeRedirected(join(root, 'examples/hybrid_unsymmetric.txt')).out;
  const dropPage = await freshPage();
  await dropPage.evaluate((text) => {
    const bytes = Uint8Array.from(text, (c) => c.charCodeAt(0));
    const data = new DataTransfer();
    data.items.add(new File([bytes], 'results.txt'));
    document.dispatchEvent(new DragEvent('drop', { dataTransfer: data, bubbles: true, cancelable: true }));
  }, nativeResults);
  await dropPage.waitForFunction(() => document.querySelector('#results-message').textContent.includes('results.txt'));
  await checkResults(dropPage, nativeResults, label('dropped native results file'));
  await dropPage.close();
  await page.setInputFiles('#results-file', { name: 'notes.txt', mimeType: 'text/plain', buffer: Buffer.from('some notes\r\n1 2 3\r\n') });
  await page.waitForFunction(() => document.querySelector('#results-message').textContent.includes('notes.txt'));
  const notTranscript = await page.evaluate(() => [document.querySelector('#results-message').textContent,
    document.querySelectorAll('#plots svg').length, document.querySelectorAll('#csv-buttons button').length]);
  check(label('a results file that is not a transcript gets a message and no plot'),
    notTranscript[0].includes('not a transcript') && notTranscript[1] === 0 && notTranscript[2] === 0, JSON.stringify(notTranscript));

  // Resume after a typed value that ends the run.
  await page.click('#run-again');
  const mistaken = [...README_SESSION.slice(0, 7), 'abc'];
  await typeLines(page, mistaken);
  const mistakeStatus = await waitForExit(page);
  const mistakeNative = nativeTyped(mistaken);
  check(label('letters for a ply angle: the native report and status 1'),
    (await transcriptOf(page)) === mistakeNative.out && mistakeStatus === 1, difference(await transcriptOf(page), mistakeNative.out));
  check(label('Resume is offered'), await page.isEnabled('#resume'));
  await page.click('#resume');
  await page.waitForFunction(() => window.lamvis2.transcript().endsWith('enter ply angle: \r\n'), null, { timeout: 10000 });
  await typeLines(page, README_SESSION.slice(7));
  const resumedNative = nativeTyped(README_SESSION);
  check(label('Resume types the answers before the mistake and the run goes on to the native end'),
    (await transcriptOf(page)) === resumedNative.out && (await waitForExit(page)) === 0,
    difference(await transcriptOf(page), resumedNative.out));
  check(label('the resumed session\'s answers replay it'), (await page.evaluate(() => window.lamvis2.answers())) === answers);

  // The end of input: Ctrl-D, or Ctrl-Z then Enter; Ctrl-C ends the run without a report.
  await page.evaluate(() => window.lamvis2.restart());
  await typeLines(page, ['100', '\x04']);
  const ctrlD = await transcriptOf(page);
  const ctrlDNative = nativeTyped(['100', '\x04']);
  check(label('Ctrl-D: the native end-of-input report'), ctrlD === ctrlDNative.out && (await waitForExit(page)) === 1,
    difference(ctrlD, ctrlDNative.out));
  await page.evaluate(() => window.lamvis2.restart());
  await typeLines(page, ['100', '\x1a']);
  check(label('Ctrl-Z then Enter: the same report'), (await transcriptOf(page)) === ctrlD && (await waitForExit(page)) === 1);
  await page.evaluate(() => window.lamvis2.restart());
  await typeLines(page, ['100']);
  await page.keyboard.press('Control+C');
  const interrupted = await waitForExit(page);
  check(label('Ctrl-C ends the run with no report'),
    interrupted === 130 && !(await transcriptOf(page)).includes('run-time error'), String(interrupted));

  // A typed line holds at most 130 characters: one of 130 is read, one of 131 is refused.
  await page.evaluate(() => window.lamvis2.restart());
  const longLines = [`100${' '.repeat(127)}`, `100${' '.repeat(128)}`];
  await typeLines(page, longLines);
  const longNative = nativeTyped(longLines);
  check(label('a typed line of 130 characters is read, one of 131 gets the native report'),
    (await transcriptOf(page)) === longNative.out && (await waitForExit(page)) === 1 && longNative.out.includes('F6407'),
    difference(await transcriptOf(page), longNative.out));

  // The pause: a command typed there is not run, as where it cannot be started.
  await page.evaluate(() => window.lamvis2.restart());
  await typeLines(page, ['-1', '-1', 'echo typed at the pause']);
  await waitForExit(page);
  const pauseNative = nativeTyped(['-1', '-1', 'true']);
  check(label('the pause takes a line and runs nothing'), (await transcriptOf(page)) === pauseNative.out,
    difference(await transcriptOf(page), pauseNative.out));

  // Keyboard and layout: labelled controls, the terminal and controls reached by Tab, and
  // a tablet's width.
  const unlabelled = await page.evaluate(() => [...document.querySelectorAll('button, input')]
    .filter((e) => !(e.getAttribute('aria-label') || e.textContent.trim())).length);
  check(label('every control is labelled'), unlabelled === 0, `${unlabelled} unlabelled`);
  const reached = new Set();
  await page.evaluate(() => document.activeElement.blur());
  for (let i = 0; i < 120 && reached.size < 200; i++) {
    await page.keyboard.press('Tab');
    reached.add(await page.evaluate(() => document.activeElement.id || document.activeElement.className));
  }
  check(label('Tab reaches the controls and the terminal'),
    ['run-again', 'open-answers', 'save-transcript', 'xterm-helper-textarea'].every((id) => reached.has(id)), [...reached].join(' '));
  await page.setViewportSize({ width: 820, height: 1180 });
  await page.waitForTimeout(300);
  const overflow = await page.evaluate(() => document.documentElement.scrollWidth > window.innerWidth);
  check(label('a tablet\'s width: no sideways scrolling'), !overflow);
  await page.screenshot({ path: join(artifacts, `tablet-${mode}.png`), fullPage: true });

  check(label('no page errors'), errors.length === 0, errors.join('; '));
  check(label('no network request'), requests.length === 0, requests.join(' '));
  await context.close();
}

// Served over HTTP from this machine: the page loads and asks its first question, and asks
// for nothing else.
async function servedCheck() {
  const html = readFileSync(pagePath);
  const asked = [];
  const server = createServer((request, response) => {
    asked.push(request.url);
    if (request.url === '/lamvis2.html') {
      response.writeHead(200, { 'content-type': 'text/html' });
      response.end(html);
    } else {
      response.writeHead(404);
      response.end();
    }
  });
  await new Promise((r) => server.listen(0, '127.0.0.1', r));
  const userData = freshProfile();
  const context = await chromium.launchPersistentContext(userData, { executablePath: '/usr/bin/chromium', args: CHROMIUM_ARGS });
  const page = await context.newPage();
  await page.goto(`http://127.0.0.1:${server.address().port}/lamvis2.html`);
  await page.waitForFunction(() => window.lamvis2.transcript().includes('Enter modulus in fiber direction'), null, { timeout: 10000 });
  await context.close();
  server.close();
  check('served over HTTP: the first prompt, and no request but the page', asked.join(' ') === '/lamvis2.html', asked.join(' '));
}

try {
  const size = statSync(pagePath).size;
  figures.push(existsSync(`${pagePath}.parts`) ? readFileSync(`${pagePath}.parts`, 'utf8').trim() : `${pagePath}: ${size} bytes`);
  check('the page is one file of at most 1 MB', size <= 1 << 20, `${size} bytes`);
  for (const mode of ['jspi', 'asyncify']) await runChecks(mode);
  await servedCheck();
} catch (error) {
  check('the checks ran to their end', false, error.stack);
} finally {
  rmSync(scratch, { recursive: true, force: true });
}
for (const line of figures) console.log(`# ${line}`);
writeFileSync(join(artifacts, 'figures.txt'), figures.join('\n') + '\n');
harness.finish();
