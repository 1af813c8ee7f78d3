// The page in headless Firefox (Debian's firefox-esr), driven over WebDriver BiDi, against
// the native program: the README's session typed key by key, and each example answer file.
//   node --experimental-websocket web/test/firefox.mjs build-web/lamvis2.html build/lamvis2
// Prints one line per check and "N passed, N failed".
import { spawn, spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

const [pagePath, nativeProgram] = process.argv.slice(2).map((p) => resolve(p));
const root = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
const pageUrl = pathToFileURL(pagePath).href;
const README_SESSION = ['100', '100', '0.25', '1', '0.5', '-1', '1', '0', '-1', '10', '0', '0', '0', '0', '0', '1.0'];
const ENTER = '\uE007';

let passed = 0;
let mode = '';
let failed = 0;
function check(name, condition, detail = '') {
  if (condition) passed += 1;
  else failed += 1;
  console.log(`${condition ? 'ok' : 'not ok'} - [firefox ${mode}] ${name}${!condition && detail ? `: ${detail}` : ''}`);
}

const latin1 = (buffer) => Buffer.from(buffer).toString('latin1');
function nativeTyped(lines) {
  const run = spawnSync('python3', [join(root, 'web/test/native-pty.py'), nativeProgram], { input: lines.map((l) => `${l}\n`).join('') });
  return latin1(run.stdout);
}
function nativeRedirected(file) {
  return latin1(spawnSync('sh', ['-c', '"$0" < "$1" 2>&1', nativeProgram, file]).stdout);
}

// Runs the checks in one Firefox; `withoutPromiseIntegration` switches its JavaScript promise
// integration off, so that the page suspends the module by asyncify.
async function runChecks(withoutPromiseIntegration) {
  mode = withoutPromiseIntegration ? 'asyncify' : 'jspi';
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
  const endpoint = await new Promise((resolveEndpoint, reject) => {
    let text = '';
    firefox.stderr.on('data', (chunk) => {
      text += chunk;
      const m = /WebDriver BiDi listening on (ws:\/\/\S+)/.exec(text);
      if (m) resolveEndpoint(m[1]);
    });
    firefox.on('exit', () => reject(new Error(`firefox ended: ${text}`)));
    setTimeout(() => reject(new Error(`firefox did not start: ${text}`)), 60000);
  });

  const socket = new WebSocket(`${endpoint}/session`);
  await new Promise((r) => socket.addEventListener('open', r));
  let nextId = 1;
  const waiting = new Map();
  const requests = [];
  socket.addEventListener('message', (event) => {
    const message = JSON.parse(event.data);
    // Data inlined in the page (data: and blob: addresses) is no network request.
    const url = message.params?.request?.url ?? '';
    if (message.method === 'network.beforeRequestSent' && url !== pageUrl && !/^(data|blob):/.test(url)) {
      requests.push(url);
    }
    if (message.id !== undefined && waiting.has(message.id)) {
      const { resolve: done, reject } = waiting.get(message.id);
      waiting.delete(message.id);
      if (message.type === 'error') reject(new Error(`${message.error}: ${message.message}`));
      else done(message.result);
    }
  });
  const send = (method, params = {}) => new Promise((done, reject) => {
    const id = nextId++;
    waiting.set(id, { resolve: done, reject });
    socket.send(JSON.stringify({ id, method, params }));
  });

  try {
    await send('session.new', { capabilities: {} });
    const { contexts } = await send('browsingContext.getTree', {});
    await send('session.subscribe', { events: ['network.beforeRequestSent'] });
    const context = contexts[0].context;
    const evaluate = async (expression) => {
      const { result, exceptionDetails } = await send('script.evaluate', { expression, target: { context }, awaitPromise: true });
      if (exceptionDetails) throw new Error(exceptionDetails.text);
      return result.value;
    };
    const until = async (expression, timeout = 20000) => {
      const end = Date.now() + timeout;
      while (!(await evaluate(expression))) {
        if (Date.now() > end) throw new Error(`timed out waiting for ${expression}`);
        await new Promise((r) => setTimeout(r, 20));
      }
    };
    const type = (text) => send('input.performActions', {
      context,
      actions: [{ type: 'key', id: 'keyboard', actions: [...text].flatMap((k) => [{ type: 'keyDown', value: k }, { type: 'keyUp', value: k }]) }],
    });

    await send('browsingContext.navigate', { context, url: pageUrl, wait: 'complete' });
    await until('window.lamvis2 !== undefined && window.lamvis2.transcript().length > 0');
    const suspension = await evaluate('document.documentElement.dataset.suspension');
    check(`the page loads and suspends the module by ${mode}`, suspension === mode, suspension);

    await evaluate("document.querySelector('.xterm-helper-textarea').focus(), true");
    for (const line of README_SESSION) {
      const before = await evaluate('window.lamvis2.transcript().length');
      await type(line + ENTER);
      await until(`window.lamvis2.transcript().length > ${before} || window.lamvis2.exitStatus() !== null`);
    }
    await until('window.lamvis2.exitStatus() !== null');
    const typed = await evaluate('window.lamvis2.transcript()');
    check('the typed README session gives the native bytes on a terminal', typed === nativeTyped(README_SESSION) && typed.length > 3000);
    check('exit status 0', (await evaluate('window.lamvis2.exitStatus()')) === 0);

    for (const example of readdirSync(join(root, 'examples')).filter((f) => f.endsWith('.txt')).sort()) {
      const file = join(root, 'examples', example);
      const status = await evaluate(`window.lamvis2.runAnswers(${JSON.stringify(latin1(readFileSync(file)))})`);
      const got = await evaluate('window.lamvis2.transcript()');
      check(`${example} gives the native bytes`, got === nativeRedirected(file) && status === 0);
      const plotted = await evaluate("document.querySelectorAll('#plots svg .point').length");
      check(`${example} is plotted`, plotted > 0, String(plotted));
    }
    check('no network request', requests.length === 0, requests.join(' '));
  } catch (error) {
    check('the checks ran to their end', false, error.stack);
  } finally {
    socket.close();
    firefox.kill();
    await new Promise((r) => firefox.on('exit', r));
    rmSync(profile, { recursive: true, force: true });
  }
  }

await runChecks(false);
await runChecks(true);
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
