// Builds the page: bundles web/src/page.js with esbuild, with the program's module (the
// asyncify build) inlined as base64, and writes one self-contained HTML file.
//   node web/build.mjs MODULE.wasm OUTPUT.html
import { readFileSync, writeFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import * as esbuild from 'esbuild';

const here = dirname(fileURLToPath(import.meta.url));
const [modulePath, outputPath] = process.argv.slice(2);
if (!modulePath || !outputPath) {
  console.error('usage: node web/build.mjs MODULE.wasm OUTPUT.html');
  process.exit(2);
}

// The module, as the default export of the import 'lamvis2:module'.
const inlineModule = {
  name: 'inline-module',
  setup(build) {
    build.onResolve({ filter: /^lamvis2:module$/ }, () => ({ path: 'module', namespace: 'lamvis2' }));
    build.onLoad({ filter: /.*/, namespace: 'lamvis2' }, () => ({
      contents: `export default ${JSON.stringify(readFileSync(modulePath).toString('base64'))};`,
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
  plugins: [inlineModule],
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
  .replace('/*SCRIPT*/', () => code.trim());
writeFileSync(outputPath, html);
console.log(`${outputPath}: ${html.length} bytes`);
