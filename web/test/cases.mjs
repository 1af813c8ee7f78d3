// The whole-program case files (tests/cases/*.case), read as the C++ case runner reads
// them: each stdin line gets LF, each stdout and stderr line CR LF; escapes \\ \r \n \t \xHH,
// and \z at the end of a line drops its terminator.
import { readdirSync, readFileSync } from 'node:fs';
import { join } from 'node:path';

function decodeLine(line) {
  let bytes = '';
  let terminate = true;
  for (let i = 0; i < line.length; i++) {
    const c = line[i];
    if (c !== '\\' || i + 1 === line.length) {
      bytes += c;
      continue;
    }
    const e = line[++i];
    if (e === '\\') bytes += '\\';
    else if (e === 'r') bytes += '\r';
    else if (e === 'n') bytes += '\n';
    else if (e === 't') bytes += '\t';
    else if (e === 'z') terminate = false;
    else if (e === 'x') {
      bytes += String.fromCharCode(parseInt(line.slice(i + 1, i + 3), 16));
      i += 2;
    } else bytes += `\\${e}`;
  }
  return { bytes, terminate };
}

// Every case of `dir`: { name, comment, stdin, stdout, stderr, status }, texts of one
// character per byte.
export function loadCases(dir) {
  const cases = [];
  for (const file of readdirSync(dir).filter((f) => f.endsWith('.case')).sort()) {
    const parsed = { name: file.slice(0, -5), comment: '', stdin: '', stdout: '', stderr: '', status: 0 };
    let section = '';
    let status = '';
    for (const line of readFileSync(join(dir, file), 'latin1').split('\n').slice(0, -1)) {
      if (line.startsWith('--- ')) {
        section = line.slice(4);
        continue;
      }
      if (section === '') parsed.comment += `${line}\n`;
      else if (section === 'status') status += line;
      else if (['stdin', 'stdout', 'stderr'].includes(section)) {
        const { bytes, terminate } = decodeLine(line);
        parsed[section] += bytes + (terminate ? (section === 'stdin' ? '\n' : '\r\n') : '');
      }
    }
    if (status !== '') parsed.status = Number(status);
    cases.push(parsed);
  }
  return cases;
}
