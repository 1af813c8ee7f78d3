// Preloaded (node --import) where Node has no WebSocket of its own (Node 18, Debian 12's):
// web/test/other-browsers.mjs speaks WebDriver BiDi to Firefox over the global WebSocket,
// and the `ws` package from web/package-lock.json provides one with the same events.
import { createRequire } from 'node:module';

const require = createRequire(new URL('../web/package.json', import.meta.url));
globalThis.WebSocket ??= require('ws');
