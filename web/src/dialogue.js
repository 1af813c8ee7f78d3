// The dialogue as the program printed it: which input a read asks for, told from the prompt
// that the program wrote before the read (never from a guess of where the dialogue should
// be), and the inputs of a run gathered from the lines it read.

export const SET_FIELDS = ['e1', 'e2', 'nu12', 'g12', 'thickness', 'creep'];
export const LOADS = ['Nx', 'Ny', 'Nxy', 'Mx', 'My', 'Mxy'];
export const MAX_SETS = 10;
export const MAX_PLIES = 20;

const SET_PROMPTS = {
  'Enter modulus in fiber direction (-1 to stop): ': 'e1',
  'Enter modulus in transverse direction: ': 'e2',
  'Enter principal Poisson ratio: ': 'nu12',
  'Enter shear modulus: ': 'g12',
  'Enter ply thickness: ': 'thickness',
  'Enter creep fraction: ': 'creep',
};

// What the read after `output` (all the program wrote so far) asks for:
//   { kind: 'set', set, field } | { kind: 'ply', ply, field: 'set' | 'angle' }
//   | { kind: 'load', load } | { kind: 'relaxation' } | { kind: 'pause' } | { kind: 'unknown' }
// with `prompt`, the line that asked.
export function askedBy(output) {
  const lines = output.split('\r\n');
  if (lines.at(-1) === '') lines.pop();
  const prompt = lines.at(-1) ?? '';
  const lastMatch = (pattern) => {
    for (let i = lines.length - 1; i >= 0; i--) {
      const m = pattern.exec(lines[i]);
      if (m !== null) return Number(m[1]);
    }
    return null;
  };
  let m;
  if (prompt in SET_PROMPTS) {
    return { kind: 'set', set: lastMatch(/^Material set +(\d+): $/), field: SET_PROMPTS[prompt], prompt };
  }
  if ((m = /enter material set number for ply number *(\d+): $/.exec(prompt)) !== null) {
    return { kind: 'ply', ply: Number(m[1]), field: 'set', prompt };
  }
  if (prompt === 'enter ply angle: ') {
    return { kind: 'ply', ply: lastMatch(/enter material set number for ply number *(\d+): $/), field: 'angle', prompt };
  }
  if ((m = /^ *(Nx|Ny|Nxy|Mx|My|Mxy): $/.exec(prompt)) !== null) return { kind: 'load', load: m[1], prompt };
  if (prompt === 'Enter relaxation time') return { kind: 'relaxation', prompt };
  if (prompt === 'Singular matrix.') return { kind: 'pause', prompt };
  return { kind: 'unknown', prompt };
}

// The key of the form field that answers `asked`.
export function fieldKey(asked) {
  if (asked.kind === 'set') return `set.${asked.set}.${asked.field}`;
  if (asked.kind === 'ply') return `ply.${asked.ply}.${asked.field}`;
  if (asked.kind === 'load') return `load.${asked.load}`;
  if (asked.kind === 'relaxation') return 'relaxation';
  return asked.kind;
}

// The inputs of a run from its reads: [{ asked, text }] in order. A later answer to the same
// question (a ply asked again after a refused set number) replaces the earlier one. Whether
// an E1 or a ply's set number ended its list is told by what the program asked next.
export function inputsOf(reads) {
  const inputs = { sets: [], plies: [], loads: {}, relaxation: null };
  reads.forEach(({ asked, text }, i) => {
    const next = reads[i + 1]?.asked;
    if (asked.kind === 'set' && asked.set !== null) {
      if (asked.field === 'e1' && !(next?.kind === 'set' && next.set === asked.set)) return;
      inputs.sets[asked.set - 1] ??= {};
      inputs.sets[asked.set - 1][asked.field] = text;
    } else if (asked.kind === 'ply' && asked.ply !== null) {
      if (asked.field === 'set' && !(next?.kind === 'ply' && next.ply === asked.ply && next.field === 'angle')) return;
      inputs.plies[asked.ply - 1] ??= {};
      inputs.plies[asked.ply - 1][asked.field] = text;
    } else if (asked.kind === 'load') {
      inputs.loads[asked.load] = text;
    } else if (asked.kind === 'relaxation') {
      inputs.relaxation = text;
    }
  });
  inputs.sets = inputs.sets.filter(Boolean);
  inputs.plies = inputs.plies.filter((p) => p && p.angle !== undefined);
  return inputs;
}

// The first value of a typed line as a number (the program reads one value per line), or
// NaN when it does not start with one.
export function firstNumber(text) {
  const m = /^[\s,]*([+-]?(?:\d+\.?\d*|\.\d+)(?:[EeDdQq][+-]?\d+)?)/.exec(text);
  return m === null ? NaN : Number(m[1].replace(/[DdQq]/, 'e'));
}

// The interfaces of the plies, bottom face first, from the thickness of each ply's set;
// null when a ply's set or thickness is not a number. The program refers them to the
// mid-plane, as here.
export function plyInterfaces(inputs) {
  const z = [0];
  for (const ply of inputs.plies) {
    const set = inputs.sets[firstNumber(ply.set ?? '') - 1];
    const t = set === undefined ? NaN : firstNumber(set.thickness ?? '');
    if (!Number.isFinite(t)) return null;
    z.push(Math.fround(z.at(-1) + Math.fround(t)));
  }
  const middle = z.at(-1) / 2;
  return z.map((v) => v - middle);
}
