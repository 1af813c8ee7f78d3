// The line discipline: keystrokes in, the lines the program reads and the echo out.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { LineDiscipline, Interrupted } from '../src/line-discipline.js';

const text = (bytes) => Buffer.from(bytes).toString('latin1');

// Feeds `keys` (one string per onData call); then reads `reads` times, each read's echo
// recorded before the next. Returns what each read gave and the echo around it.
function session(keys, reads, count = 132) {
  let echo = '';
  const d = new LineDiscipline({ echo: (t) => { echo += t; } });
  for (const k of keys) d.input(k);
  const typedEcho = echo;
  const got = [];
  for (let n = 0; n < reads; n++) {
    echo = '';
    const r = d.read(count);
    got.push(r instanceof Promise ? { waits: true, echo } : { bytes: text(r), echo });
  }
  return { d, typedEcho, got };
}

test('typed keys: echo, erasing, line ends, the end of input', () => {
  const cases = [
    // keys, what the reads give, the echo while typing
    [['1', '0', '0', '\r'], ['100\r\n'], '100\r\n'],
    [['1', '2', '\x7f', '3', '\r'], ['13\r\n'], '12\b \b3\r\n'],
    [['\x1a', '\r'], ['\x1a\r\n'], '^Z\r\n'],
    [['\x1a', '\x7f', '\r'], ['\r\n'], '^Z\b\b  \b\b\r\n'],
    [['\x04'], [''], ''],
    [['4', '2', '\x04'], ['42'], '42'],
    [['\x1b[A', '\x1bOP', '7', '\r'], ['7\r\n'], '7\r\n'],
    [['\x7f', '\r'], ['\r\n'], '\r\n'],
  ];
  for (const [keys, reads, echo] of cases) {
    const { typedEcho, got } = session(keys, reads.length);
    assert.deepEqual(got.map((g) => g.bytes), reads, JSON.stringify(keys));
    assert.equal(typedEcho, echo, JSON.stringify(keys));
  }
});

test('a short read leaves the rest of the line for the next', () => {
  const { got } = session(['1', '2', '3', '4', '\r'], 3, 2);
  assert.deepEqual(got.map((g) => g.bytes), ['12', '34', '\r\n']);
});

test('a pasted block is handed over a line per read, each echoed when read', () => {
  const { typedEcho, got, d } = session(['10\r0.25\r\n7'], 3);
  assert.equal(typedEcho, '');
  assert.deepEqual(got[0], { bytes: '10\r\n', echo: '10\r\n' });
  assert.deepEqual(got[1], { bytes: '0.25\r\n', echo: '0.25\r\n' });
  // The rest after the last line end is on the line being typed, shown when it is asked.
  assert.deepEqual(got[2], { waits: true, echo: '7' });
  d.input('\r');
  assert.deepEqual(d.typed, ['10', '0.25', '7']);
});

test('a paste after typed text ends that line first; keys typed meanwhile wait their turn', () => {
  let echo = '';
  const d = new LineDiscipline({ echo: (t) => { echo += t; } });
  d.input('1');
  d.input('00\r200\r');
  assert.equal(echo, '100\r\n');
  d.input('3');
  d.input('\r');
  assert.deepEqual([d.read(132), d.read(132), d.read(132)].map(text), ['100\r\n', '200\r\n', '3\r\n']);
  assert.deepEqual(d.typed, ['100', '200', '3']);
});

test('lines typed for the user come after lines already typed, and echo when read', () => {
  let echo = '';
  const d = new LineDiscipline({ echo: (t) => { echo += t; } });
  d.typeForUser(['1', '2']);
  assert.equal(echo, '');
  assert.equal(text(d.read(132)), '1\r\n');
  assert.equal(echo, '1\r\n');
  assert.ok(d.hasQueued());
  assert.equal(text(d.read(132)), '2\r\n');
  assert.ok(!d.hasQueued());
});

test('a waiting read is served by the next line, and Ctrl-C ends every read', async () => {
  const d = new LineDiscipline({ echo: () => {} });
  const waiting = d.read(132);
  d.input('5');
  d.input('\r');
  assert.equal(text(await waiting), '5\r\n');
  const next = d.read(132);
  d.input('\x03');
  await assert.rejects(next, Interrupted);
  await assert.rejects(d.read(132), Interrupted);
});
