// The page in the other two browser engines, against the native program: headless Firefox
// (Debian's firefox-esr, over WebDriver BiDi), with and without its promise integration, and
// WebKit (Debian's WebKitGTK MiniBrowser through WebKitWebDriver, which needs an X display:
// run under xvfb-run), which has none. In each: the README's session typed key by key, and
// each example answer file, plotted; no network request in Firefox.
//   xvfb-run -a node --experimental-websocket web/test/other-browsers.mjs build-web/lamvis2.html build/lamvis2
// Prints one line per check and "N passed, N failed".
import { spawn, spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import * as harness from './harness.mjs';
import { EXAMPLES, README_SESSION, latin1, readmeScreen, root } from './harness.mjs';

const [pagePath, nativeProgram] = process.argv.slice(2).map((p) => resolve(p));
const pageUrl = pathToFileURL(pagePath).href;
const ENTER = '\uE007';
const MINIBROWSER = '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';

const check = (label, name, condition, detail = '') => harness.check(`[${label}] ${name}`, condition, detail);
const nativeTyped = (lines) => harness.nativeTyped(nativeProgram, lines).out;
const nativeRedirected = (file) => harness.nativeRedirected(nativeProgram, file).out;
const pause = (ms) => new Promise((r) => setTimeout(r, ms));

// The checks, through a driver { evaluate(expression) (awaits a promise), type(keys) }.
async function pageChecks(label, expectedSuspension, driver) {
  const until = async (expression, timeout = 20000) => {
    const end = Date.now() + timeout;
    while (!(await driver.evaluate(expression))) {
      if (Date.now() > end) throw new Error(`timed out waiting for ${expression}`);
      await pause(20);
    }
  };
  // The first prompt comes before the terminal (xterm.js) is made: wait for both.
  await until("window.lamvis2 !== undefined && window.lamvis2.transcript().length > 0 && document.querySelector('.xterm-helper-textarea') !== null");
  const suspension = await driver.evaluate('document.documentElement.dataset.suspension');
  check(label, `the page suspends the module by ${expectedSuspension}`, suspension === expectedSuspension, suspension);

  await driver.evaluate("(document.querySelector('.xterm-helper-textarea').focus(), true)");
  for (const line of README_SESSION) {
    const before = await driver.evaluate('window.lamvis2.transcript().length');
    await driver.type(line + ENTER);
    await until(`window.lamvis2.transcript().length > ${before} || window.lamvis2.exitStatus() !== null`);
  }
  await until('window.lamvis2.exitStatus() !== null');
  const typed = await driver.evaluate('window.lamvis2.transcript()');
  check(label, 'the typed README session gives the native bytes on a terminal',
    typed === nativeTyped(README_SESSION) && typed.length > 3000);
  check(label, 'exit status 0 after it', (await driver.evaluate('window.lamvis2.exitStatus()')) === 0);

  for (const example of EXAMPLES) {
    const file = join(root, 'examples', example);
    const text = JSON.stringify(latin1(readFileSync(file)));
    const status = await driver.evaluate(`window.lamvis2.runAnswers(${text})`);
    const got = await driver.evaluate('window.lamvis2.transcript()');
    const plotted = await driver.evaluate("document.querySelectorAll('#plots svg .point').length");
    const native = nativeRedirected(file);
    check(label, `${example} gives the native bytes, and is plotted`,
      got === native && status === 0 && plotted > 0, `${got.length} bytes, ${plotted} points`);
    // Loaded into the form and run: the same bytes, every table shown, and the form saved
    // as an answer file replays them natively.
    const formStatus = await driver.evaluate(`window.lamvis2.loadForm(${text})`);
    const formGot = await driver.evaluate('window.lamvis2.transcript()');
    // Every printed table, and the stresses at the faces (derived; no strengths).
    const tables = await driver.evaluate("document.querySelectorAll('#report table').length");
    const saved = join(scratch, `${label.replace(' ', '-')}-${example}`);
    writeFileSync(saved, await driver.evaluate('window.lamvis2.formAnswers()'), 'latin1');
    check(label, `${example} in the form: the native bytes, every table, and its answer file replays them`,
      formGot === native && formStatus === 0 && tables === 10 && nativeRedirected(saved) === native,
      `${tables} tables, ${harness.difference(formGot, native)}`);
    // Every number the page shows is the kit's: quantities() are lamvis2-kit read's.
    const quantities = await driver.evaluate('JSON.stringify(window.lamvis2.quantities().map((q) => [q.name, q.value]))');
    const expected = JSON.stringify(harness.kitRead(nativeProgram, file).quantities.map((q) => [q.name, q.value]));
    check(label, `${example}: quantities() are lamvis2-kit read's names and values`, quantities === expected,
      harness.difference(quantities, expected));
    const faces = await driver.evaluate('JSON.stringify(window.lamvis2.faces().map((q) => [q.name, q.value]))');
    const expectedFaces = harness.namesAndValues(harness.kitFaces(nativeProgram, file));
    check(label, `${example}: faces() are lamvis2-kit strength's stresses and strains at the faces`,
      faces === expectedFaces && faces.length > 100, harness.difference(faces, expectedFaces));
  }

  // A case file (TOML) through the kit's case reader into the form, run, and saved again as
  // a case file that the command line reads to the same answers; a case that breaks a rule
  // is refused with its line, the form as it was.
  const caseFile = join(root, 'verification/cases/jones_4_5_5.toml');
  const caseStatus = await driver.evaluate(`window.lamvis2.loadCase(${JSON.stringify(readFileSync(caseFile, 'utf8'))}, 'jones.toml')`);
  const answers = harness.kitAnswers(nativeProgram, caseFile);
  const savedCase = join(scratch, `${label.replace(' ', '-')}-case.toml`);
  writeFileSync(savedCase, await driver.evaluate('window.lamvis2.caseFile()'));
  check(label, 'a case file loads through the kit, runs as the kit\'s answers do, and saves to the same answers',
    caseStatus === 0 && (await driver.evaluate('window.lamvis2.transcript()')) === nativeTyped(answers.split('\n').slice(0, -1)) &&
    harness.kitAnswers(nativeProgram, savedCase) === answers, answers.slice(0, 80));
  // Strength through the kit's library: the names and values of `strength --json`, the
  // tables shown.
  const strengthCase = join(root, 'verification/strength/aerospatiale_C6_tsai_hill.toml');
  await driver.evaluate(`window.lamvis2.loadCase(${JSON.stringify(readFileSync(strengthCase, 'utf8'))}, 'c6.toml')`);
  const strength = await driver.evaluate('JSON.stringify(window.lamvis2.quantities().map((q) => [q.name, q.value]))');
  const expectedStrength = harness.namesAndValues(harness.kitStrength(nativeProgram, strengthCase).quantities);
  const strengthTables = await driver.evaluate("document.querySelectorAll('table[data-table=\"strength\"] tbody tr, table[data-table=\"first-ply\"] tr.first-ply').length");
  check(label, 'strength: lamvis2-kit strength\'s names and values, the first-ply failure highlighted',
    strength === expectedStrength && strengthTables === 61, `${strengthTables} rows; ${harness.difference(strength, expectedStrength)}`);
  const drawn = await driver.evaluate("window.lamvis2.envelope('nx,ny', 12).then((e) => e.csv ?? e.error)");
  const cliEnvelope = spawnSync(join(dirname(nativeProgram), 'lamvis2-kit'), ['envelope', strengthCase, '--plane', 'nx,ny', '--points', '12', '--criteria',
    'max-stress,max-strain,tsai-hill,tsai-wu,hoffman,hashin'], { encoding: 'latin1' }).stdout;
  check(label, 'strength: the envelope, each point a run of the page\'s module, is lamvis2-kit envelope\'s byte for byte',
    drawn === cliEnvelope && cliEnvelope.length > 1000, harness.difference(String(drawn), cliEnvelope));
  const before = await driver.evaluate("[...document.querySelectorAll('#laminate input[data-key]')].map((i) => i.value).join('|')");
  const refused = await driver.evaluate("window.lamvis2.loadCase('title = \"x\"\\n[[set]]\\ne1 = \"many\"\\n', 'bad.toml')");
  const after = await driver.evaluate("[...document.querySelectorAll('#laminate input[data-key]')].map((i) => i.value).join('|')");
  const note = await driver.evaluate("document.querySelector('#form-notes').textContent");
  check(label, 'a case file of the wrong type is refused with its line, the form as it was',
    (refused === null || refused === undefined) && before === after && /bad\.toml:3:/.test(note), note);

  // A new run clears the last one's report; Save answers waits for something typed.
  await driver.evaluate('(window.lamvis2.restart(), true)');
  check(label, 'a new run clears the last one\'s report, and nothing is there to save as answers',
    await driver.evaluate("document.querySelectorAll('#plots svg, #report table, #csv-buttons button').length === 0 && document.querySelector('#save-answers').disabled"));
  // A pasted block: the program gets a line per read and each line shows at its prompt.
  await until('window.lamvis2.transcript().length > 0');
  const canPaste = await driver.evaluate("(() => { const d = new DataTransfer(); d.setData('text/plain', 'x'); return new ClipboardEvent('paste', { clipboardData: d }).clipboardData?.getData('text/plain') === 'x'; })()");
  if (!canPaste) {
    console.log(`# [${label}] a page cannot make a paste event with data here: pasting is checked in Chromium and WebKit`);
  } else {
    await driver.evaluate(`(() => {
      const data = new DataTransfer();
      data.setData('text/plain', ${JSON.stringify(README_SESSION.join('\r\n') + '\r\n')});
      document.querySelector('.xterm-helper-textarea').dispatchEvent(new ClipboardEvent('paste', { clipboardData: data, bubbles: true, cancelable: true }));
      return true;
    })()`);
    await until('window.lamvis2.exitStatus() !== null');
    const screen = (await driver.evaluate('window.lamvis2.screen()')).split('\r\n').map((l) => l.trimEnd());
    const expected = readmeScreen();
    check(label, 'a pasted block shows each answer at its prompt: the screen is the README session\'s',
      JSON.stringify(screen.slice(0, expected.length)) === JSON.stringify(expected) &&
      (await driver.evaluate('window.lamvis2.transcript()')) === nativeTyped(README_SESSION), harness.difference(screen.join('\n'), expected.join('\n')));
  }
  // The screen reader's mode puts the dialogue in the accessibility tree (the rows in view).
  await driver.evaluate('(window.lamvis2.restart(), true)');
  await until("window.lamvis2.transcript().includes('Enter modulus in fiber direction')");
  await driver.evaluate("(document.querySelector('#screen-reader').click(), true)");
  await pause(300);
  check(label, 'screen-reader mode puts the dialogue in the accessibility tree',
    await driver.evaluate("(document.querySelector('.xterm-accessibility-tree')?.textContent ?? '').includes('Enter modulus in fiber direction')"));
}

const scratch = mkdtempSync(join(tmpdir(), 'lamvis2-other-'));

// ---- Firefox over WebDriver BiDi ----

async function firefoxChecks(withoutPromiseIntegration) {
  const mode = withoutPromiseIntegration ? 'asyncify' : 'jspi';
  const label = `firefox ${mode}`;
  // A fresh profile that keeps the browser from reaching out on its own.
  const profile = mkdtempSync(join(tmpdir(), 'lamvis2-firefox-'));
  writeFileSync(join(profile, 'user.js'), [
    ['javascript.options.wasm_js_promise_integration', !withoutPromiseIntegration],
    ['app.update.enabled', false], ['browser.shell.checkDefaultBrowser', false],
    ['datareporting.policy.dataSubmissionEnabled', false], ['toolkit.telemetry.enabled', false],
    ['network.captive-portal-service.enabled', false], ['network.connectivity-service.enabled', false],
    ['browser.safebrowsing.malware.enabled', false], ['browser.safebrowsing.phishing.enabled', false],
    ['extensions.update.enabled', false], ['browser.startup.homepage_override.mstone', 'ignore'],
  ].map(([k, v]) => `user_pref(${JSON.stringify(k)}, ${JSON.stringify(v)});`).join('\n'));
  const firefox = spawn('firefox-esr', ['--headless', '--no-remote', '--profile', profile, '--remote-debugging-port=0', 'about:blank'],
    { stdio: ['ignore', 'ignore', 'pipe'] });
  const ended = new Promise((r) => firefox.on('exit', r));
  let socket = null;
  try {
    const endpoint = await new Promise((found, reject) => {
      let text = '';
      firefox.stderr.on('data', (chunk) => {
        text += chunk;
        const m = /WebDriver BiDi listening on (ws:\/\/\S+)/.exec(text);
        if (m) found(m[1]);
      });
      ended.then(() => reject(new Error(`firefox ended: ${text}`)));
    });
    socket = new WebSocket(`${endpoint}/session`);
    await new Promise((r) => socket.addEventListener('open', r));
    let nextId = 1;
    const waiting = new Map();
    const requests = [];
    socket.addEventListener('message', (event) => {
      const message = JSON.parse(event.data);
      // Data inlined in the page (data: and blob: addresses) is no network request.
      const url = message.params?.request?.url ?? '';
      if (message.method === 'network.beforeRequestSent' && url !== pageUrl && !/^(data|blob):/.test(url)) requests.push(url);
      if (message.id !== undefined && waiting.has(message.id)) {
        const { done, reject } = waiting.get(message.id);
        waiting.delete(message.id);
        if (message.type === 'error') reject(new Error(`${message.error}: ${message.message}`));
        else done(message.result);
      }
    });
    const send = (method, params = {}) => new Promise((done, reject) => {
      const id = nextId++;
      waiting.set(id, { done, reject });
      socket.send(JSON.stringify({ id, method, params }));
    });
    await send('session.new', { capabilities: {} });
    const { contexts } = await send('browsingContext.getTree', {});
    const context = contexts[0].context;
    await send('session.subscribe', { events: ['network.beforeRequestSent'] });
    await send('browsingContext.navigate', { context, url: pageUrl, wait: 'complete' });
    await pageChecks(label, mode, {
      async evaluate(expression) {
        const { result, exceptionDetails } = await send('script.evaluate', { expression, target: { context }, awaitPromise: true });
        if (exceptionDetails) throw new Error(exceptionDetails.text);
        return result.value;
      },
      type: (text) => send('input.performActions', {
        context,
        actions: [{ type: 'key', id: 'keyboard', actions: [...text].flatMap((k) => [{ type: 'keyDown', value: k }, { type: 'keyUp', value: k }]) }],
      }),
    });
    check(label, 'no network request', requests.length === 0, requests.join(' '));
  } catch (error) {
    check(label, 'the checks ran to their end', false, error.stack);
  } finally {
    socket?.close();
    firefox.kill();
    await ended;
    rmSync(profile, { recursive: true, force: true });
  }
}

// ---- WebKit through WebKitWebDriver ----

async function freePort() {
  const server = createServer();
  await new Promise((r) => server.listen(0, '127.0.0.1', r));
  const { port } = server.address();
  await new Promise((r) => server.close(r));
  return port;
}

async function webkitChecks() {
  const label = 'webkit';
  const port = await freePort();
  const driver = spawn('WebKitWebDriver', [`--port=${port}`], { stdio: 'ignore' });
  const ended = new Promise((r) => driver.on('exit', r));
  const call = async (method, path, body) => {
    const response = await fetch(`http://127.0.0.1:${port}${path}`, {
      method, headers: { 'content-type': 'application/json' }, body: body === undefined ? undefined : JSON.stringify(body),
    });
    const { value } = await response.json();
    if (value && value.error) throw new Error(`${value.error}: ${value.message}`);
    return value;
  };
  let session = null;
  try {
    for (let tries = 0; ; tries++) {
      try {
        await call('GET', '/status');
        break;
      } catch (error) {
        if (tries > 100) throw error;
        await pause(100);
      }
    }
    ({ sessionId: session } = await call('POST', '/session', {
      capabilities: { alwaysMatch: { 'webkitgtk:browserOptions': { binary: MINIBROWSER, args: ['--automation'] } } },
    }));
    await call('POST', `/session/${session}/url`, { url: pageUrl });
    await pageChecks(label, 'asyncify', {
      async evaluate(expression) {
        const script = `const done = arguments[arguments.length - 1];
          Promise.resolve().then(() => (${expression})).then((v) => done({ v }), (e) => done({ e: String(e) }));`;
        const { v, e } = await call('POST', `/session/${session}/execute/async`, { script, args: [] });
        if (e !== undefined) throw new Error(e);
        return v;
      },
      type: (text) => call('POST', `/session/${session}/actions`, {
        actions: [{ type: 'key', id: 'keyboard', actions: [...text].flatMap((k) => [{ type: 'keyDown', value: k }, { type: 'keyUp', value: k }]) }],
      }),
    });
  } catch (error) {
    check(label, 'the checks ran to their end', false, error.stack);
  } finally {
    if (session !== null) await call('DELETE', `/session/${session}`).catch(() => {});
    driver.kill();
    await ended;
  }
}

await firefoxChecks(false);
await firefoxChecks(true);
await webkitChecks();
rmSync(scratch, { recursive: true, force: true });
harness.finish();
