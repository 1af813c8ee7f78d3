// The stacking-sequence reader: each notation against the plies written out by hand.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readStackingSequence } from '../src/stacking.js';

test('notations give the plies bottom up', () => {
  const cases = [
    ['0', [0]],
    ['0/90', [0, 90]],
    ['[0/90]', [0, 90]],
    ['[0/90]T', [0, 90]],
    ['[0/90]s', [0, 90, 90, 0]],
    ['[0/±45/90]s', [0, 45, -45, 90, 90, -45, 45, 0]],
    ['[0/+-45/90]s', [0, 45, -45, 90, 90, -45, 45, 0]],
    ['[0/45/-45/90]s', [0, 45, -45, 90, 90, -45, 45, 0]],
    ['[∓30]', [-30, 30]],
    ['[-+30]', [-30, 30]],
    ['[0/90_2]s', [0, 90, 90, 90, 90, 0]],
    ['[(0/90)2]', [0, 90, 0, 90]],
    ['[(0/90)_2/45]', [0, 90, 0, 90, 45]],
    ['[±45_2]', [45, -45, 45, -45]],
    ['[0/90]2s', [0, 90, 0, 90, 90, 0, 90, 0]],
    ['[0/90]2', [0, 90, 0, 90]],
    ['0, 22.5, -67.5', [0, 22.5, -67.5]],
    [' [ 0 / 90 ] S ', [0, 90, 90, 0]],
    ['[-0]', [0]],
  ];
  for (const [text, angles] of cases) {
    assert.deepEqual(readStackingSequence(text), { angles }, text);
  }
});

test('a sequence that cannot be read says where', () => {
  const cases = [
    ['', 0],
    ['[0/90', 5],
    ['[0/90]x', 6],
    ['[0//90]', 3],
    ['[0/abc]', 3],
    ['[0/90_]s', 6],
    ['[0/90_0]', 6],
    ['[(0/90]', 6],
    ['0 90', 2],
    ['[0/90]s]', 7],
  ];
  for (const [text, at] of cases) {
    const read = readStackingSequence(text);
    assert.equal(typeof read.error, 'string', text);
    assert.equal(read.at, at, `${text}: ${read.error}`);
  }
});
