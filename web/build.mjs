// Builds the page: bundles web/src/page.js with esbuild, with the program's module (the
// asyncify build) inlined as base64 and the example answer files (examples/*.txt) as text,
// and writes one self-contained HTML file holding the project's version and the README's
// departures from the legacy program.
//   node web/build.mjs MODULE.wasm KIT.wasm OUTPUT.html
// KIT.wasm is the kit's library built as a module of its own (kit/wasm_api.cc).
import { readFileSync, readdirSync, statSync, writeFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { gzipSync } from 'node:zlib';
import { fileURLToPath } from 'node:url';
import * as esbuild from 'esbuild';

const here = dirname(fileURLToPath(import.meta.url));
const [modulePath, kitPath, outputPath] = process.argv.slice(2);
if (!modulePath || !kitPath || !outputPath) {
  console.error('usage: node web/build.mjs MODULE.wasm KIT.wasm OUTPUT.html');
  process.exit(2);
}

// The modules as data blocks of the page (script elements that the browser does not run, so
// that the script's compilation does not scan them), in base64: the program's as it is,
// before the script, so that the script decodes and compiles it at once and the program's
// first prompt is in the page's first frame (inflating is a browser's asynchronous stream,
// which would put it a frame or two later); the kit's library's gzip-compressed (the page
// inflates it with the browser's DecompressionStream), after the script: it is wanted only
// once the first prompt is up. The imports 'lamvis2:module' (the program) and
// 'lamvis2:kit-module' (the kit's library) give a function that reads a block's text.
const inlined = {
  module: readFileSync(modulePath).toString('base64'),
  'kit-module': gzipSync(readFileSync(kitPath), { level: 9 }).toString('base64'),
};
const inlineModule = {
  name: 'inline-module',
  setup(build) {
    build.onResolve({ filter: /^lamvis2:(kit-)?module$/ }, (args) => ({ path: args.path.slice(8), namespace: 'lamvis2' }));
    build.onLoad({ filter: /.*/, namespace: 'lamvis2' }, (args) => ({
      contents: `export default () => document.getElementById(${JSON.stringify(`lamvis2-${args.path}`)}).textContent;`,
      loader: 'js',
    }));
  },
};

const root = join(here, '..');

// The examples, as the default export of 'lamvis2:examples': { name: text }.
const inlineExamples = {
  name: 'inline-examples',
  setup(build) {
    build.onResolve({ filter: /^lamvis2:examples$/ }, () => ({ path: 'examples', namespace: 'lamvis2-examples' }));
    build.onLoad({ filter: /.*/, namespace: 'lamvis2-examples' }, () => {
      const examples = {};
      for (const file of readdirSync(join(root, 'examples')).filter((f) => f.endsWith('.txt')).sort()) {
        examples[file.slice(0, -4)] = readFileSync(join(root, 'examples', file), 'latin1');
      }
      return { contents: `export default ${JSON.stringify(examples)};`, loader: 'js' };
    });
  },
};

const version = /project\(lamvis2 VERSION ([0-9.]+)/.exec(readFileSync(join(root, 'CMakeLists.txt'), 'utf8'))[1];

// The README's numbered departures, as an HTML list: **bold**, `code`, one item per number.
function departuresHtml() {
  const readme = readFileSync(join(root, 'README.md'), 'utf8');
  const start = readme.indexOf('## Departures from the legacy program');
  const section = readme.slice(start).split('\n').slice(1);
  const end = section.findIndex((line) => line.startsWith('#'));
  const escape = (t) => t.replaceAll('&', '&amp;').replaceAll('<', '&lt;').replaceAll('>', '&gt;');
  const inline = (t) => escape(t).replace(/\*\*(.+?)\*\*/g, '<strong>$1</strong>').replace(/`(.+?)`/g, '<code>$1</code>');
  const items = [];
  const intro = [];
  for (const line of section.slice(0, end)) {
    const m = /^\d+\. (.*)$/.exec(line);
    if (m) items.push(m[1]);
    else if (items.length > 0 && line.trim() !== '') items[items.length - 1] += ` ${line.trim()}`;
    else if (line.trim() !== '') intro.push(line.trim());
  }
  return `<p>${inline(intro.join(' '))}</p><ol>${items.map((i) => `<li>${inline(i)}</li>`).join('')}</ol>`;
}

// The terminal library (xterm.js and its fit addon), bundled on its own: the page keeps it
// gzip-compressed, in base64, in a data block, and inflates and runs it when the terminal is
// opened, after the first prompt, so that neither its compilation nor its start is on the way
// to the first prompt (and the page stays within 1 MB). The import 'lamvis2:xterm' gives
// { source(): the block's text, name: the global the bundle sets to { Terminal, FitAddon } }.
const XTERM_GLOBAL = 'lamvis2Xterm';
const xtermScript = await esbuild.build({
  stdin: {
    contents: "export { Terminal } from '@xterm/xterm'; export { FitAddon } from '@xterm/addon-fit';",
    resolveDir: here,
    loader: 'js',
  },
  bundle: true,
  minify: true,
  format: 'iife',
  globalName: XTERM_GLOBAL,
  target: ['es2022', 'chrome111', 'firefox113', 'safari16.4'],
  legalComments: 'none',
  write: false,
});
const xtermCode = gzipSync(Buffer.from(xtermScript.outputFiles[0].text), { level: 9 }).toString('base64');
const inlineXterm = {
  name: 'inline-xterm',
  setup(build) {
    build.onResolve({ filter: /^lamvis2:xterm$/ }, () => ({ path: 'xterm', namespace: 'lamvis2-xterm' }));
    build.onLoad({ filter: /.*/, namespace: 'lamvis2-xterm' }, () => ({
      contents: `export default {
        source: () => document.getElementById('lamvis2-xterm').textContent,
        name: ${JSON.stringify(XTERM_GLOBAL)},
      };`,
      loader: 'js',
    }));
  },
};

const script = await esbuild.build({
  entryPoints: [join(here, 'src/page.js')],
  bundle: true,
  minify: true,
  format: 'iife',
  target: ['es2022', 'chrome111', 'firefox113', 'safari16.4'],
  legalComments: 'none',
  write: false,
  plugins: [inlineModule, inlineExamples, inlineXterm],
});
const style = await esbuild.build({
  stdin: {
    contents: [
      readFileSync(join(here, 'node_modules/@xterm/xterm/css/xterm.css'), 'utf8'),
      readFileSync(join(here, 'src/page.css'), 'utf8'),
    ].join('\n'),
    loader: 'css',
  },
  minify: true,
  write: false,
});

// A closing script tag inside the bundle would end the inline script early.
const code = script.outputFiles[0].text.replaceAll('</script', '<\\/script');
const template = readFileSync(join(here, 'src/page.html'), 'utf8');
const html = template
  .replace('/*STYLE*/', () => style.outputFiles[0].text.trim())
  .replace('/*VERSION*/', () => version)
  .replace('/*DEPARTURES*/', () => departuresHtml())
  .replace('/*MODULE*/', () => inlined.module)
  .replace('/*KIT-MODULE*/', () => inlined['kit-module'])
  .replace('/*XTERM*/', () => xtermCode)
  .replace('/*SCRIPT*/', () => code.trim());
writeFileSync(outputPath, html);
// What each part of the page costs, in bytes of the file: the two modules (base64; the
// kit's gzip-compressed), the script (the page's modules), the terminal library (gzip,
// base64), the styles, and the HTML with the README's departures. Written beside the page
// for the browser checks' figures.
const scriptCode = code.trim().length;
const parts = [
  `program module ${inlined.module.length} (${statSync(modulePath).size} as wasm)`,
  `kit module ${inlined['kit-module'].length} (${statSync(kitPath).size} as wasm)`,
  `script ${scriptCode}`,
  `terminal library ${xtermCode.length} (${xtermScript.outputFiles[0].text.length} as script)`,
  `styles ${style.outputFiles[0].text.trim().length}`,
  `HTML and text ${html.length - scriptCode - xtermCode.length - inlined.module.length - inlined['kit-module'].length - style.outputFiles[0].text.trim().length}`,
];
writeFileSync(`${outputPath}.parts`, `${outputPath}: ${html.length} bytes: ${parts.join(', ')}\n`);
console.log(`${outputPath}: ${html.length} bytes: ${parts.join(', ')}`);
