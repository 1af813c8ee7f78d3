// The stacking-sequence reader: turns the laminate notation engineers write into the ply
// angles, bottom ply first.
//   0/45/-45/90        the plies as listed (the brackets may be left out)
//   [0/±45/90]s        ±45 is 45 then -45 (also +-45); ∓45 (or -+45) is -45 then 45
//   [0/90_2]s          an angle or a group repeated: 90_2, (0/90)_2 or (0/90)2
//   [0/90]2s           the whole list repeated, then mirrored
//   [0/90]T            the total laminate, as listed
// "s" mirrors the list about the mid-plane: [0/90]s is 0/90/90/0. Commas may stand for the
// slashes, blanks are ignored. The first ply written is the bottom one, as the program asks.
// readStackingSequence(text) returns { angles } or { error, at } with the offset of the
// character where reading stopped.

class ReadError extends Error {
  constructor(message, at) {
    super(message);
    this.at = at;
  }
}

export function readStackingSequence(text) {
  const source = text.replace(/[\s]/g, (c) => ' ');
  let i = 0;
  const peek = () => source[i];
  const skipBlanks = () => {
    while (source[i] === ' ') i++;
  };
  const fail = (message) => {
    throw new ReadError(message, i);
  };

  const readInteger = () => {
    const start = i;
    while (/[0-9]/.test(source[i] ?? '')) i++;
    if (i === start) fail('a whole number of repeats is expected here');
    const n = Number(source.slice(start, i));
    if (n < 1) {
      i = start;
      fail('a repeat count must be at least 1');
    }
    return n;
  };

  const readAngle = () => {
    const m = /^[+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?/.exec(source.slice(i));
    if (m === null) fail('an angle in degrees is expected here');
    i += m[0].length;
    return Number(m[0]);
  };

  // One item: an angle, a ± pair or a group, with its repeat count.
  const readItem = () => {
    skipBlanks();
    let plies;
    if (peek() === '(') {
      i++;
      plies = readList(')');
      if (peek() !== ')') fail('a closing ")" is expected here');
      i++;
      skipBlanks();
      if (/[0-9]/.test(peek() ?? '')) plies = repeat(plies, readInteger());
    } else if (peek() === '±' || source.startsWith('+-', i)) {
      i += peek() === '±' ? 1 : 2;
      const a = Math.abs(readAngle());
      plies = [a, -a];
    } else if (peek() === '∓' || source.startsWith('-+', i)) {
      i += peek() === '∓' ? 1 : 2;
      const a = Math.abs(readAngle());
      plies = [-a, a];
    } else {
      plies = [readAngle()];
    }
    skipBlanks();
    if (peek() === '_') {
      i++;
      plies = repeat(plies, readInteger());
    }
    return plies;
  };

  const readList = (closing) => {
    const plies = [...readItem()];
    skipBlanks();
    while (peek() === '/' || peek() === ',') {
      i++;
      plies.push(...readItem());
      skipBlanks();
    }
    if (i < source.length && peek() !== closing) {
      fail(closing === ']' ? 'a "/" or the closing "]" is expected here'
        : closing === ')' ? 'a "/" or the closing ")" is expected here' : 'a "/" is expected here');
    }
    return plies;
  };

  try {
    skipBlanks();
    if (i === source.length) fail('no plies are written');
    let angles;
    if (peek() === '[') {
      i++;
      angles = readList(']');
      if (peek() !== ']') fail('the closing "]" is missing');
      i++;
      skipBlanks();
      if (/[0-9]/.test(peek() ?? '')) angles = repeat(angles, readInteger());
      skipBlanks();
      if (peek() === 's' || peek() === 'S') {
        i++;
        angles = [...angles, ...angles.slice().reverse()];
      } else if (peek() === 'T' || peek() === 't') {
        i++;
      }
      skipBlanks();
      if (i < source.length) fail('nothing may follow the closing "]" but a count, "s" or "T"');
    } else {
      angles = readList(null);
    }
    return { angles: angles.map((a) => (Object.is(a, -0) ? 0 : a)) };
  } catch (error) {
    if (error instanceof ReadError) return { error: error.message, at: error.at };
    throw error;
  }
}

function repeat(plies, count) {
  const out = [];
  for (let k = 0; k < count; k++) out.push(...plies);
  return out;
}
