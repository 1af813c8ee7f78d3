// The terminal's line discipline: turns keystrokes into the lines that the program reads,
// as a console in line mode does. Typed characters echo, Backspace erases the last one,
// Enter ends the line, which the program then receives with a CR LF line end. Ctrl-D on an
// empty line is the end of input (the read returns no bytes); Ctrl-D after some characters
// hands them over without a line end. Ctrl-C ends the run. Ctrl-Z is an ordinary byte: typed
// before Enter it makes the line that the program itself takes as the end of input.

const encoder = new TextEncoder();

const CTRL_C = '\x03';
const CTRL_D = '\x04';
const CTRL_Z = '\x1a';
const BACKSPACE = '\x7f';
const CTRL_H = '\b';
const ESCAPE = '\x1b';

// An escape sequence as a terminal sends it for a cursor or function key: ESC, then either
// "[" or "O" with parameters and a final letter or "~", or one more character.
const ESCAPE_SEQUENCE = /^\x1b(?:[[O][0-9;?]*[@-~]|.)?/s;

export class Interrupted extends Error {
  constructor() {
    super('interrupted');
    this.name = 'Interrupted';
  }
}

export class LineDiscipline {
  // echo(text): shows text on the terminal (the echo of typed characters).
  constructor({ echo }) {
    this.echo = echo;
    this.typed = [];        // the text of every line typed (or typed for the user), in order
    this.received = [];     // the text of every line the program has read, in order
    this.endOfInputRead = false;  // the last read returned the end of input
    this.editing = [];      // characters of the line being typed
    this.ready = [];        // finished lines { text, bytes }, oldest first; null: end of input
    this.partial = null;    // the rest of a line that a short read did not take
    this.replay = [];       // lines the page types for the user, shown when they are read
    this.waiting = null;    // { count, resolve, reject } of a read that waits for a line
    this.closed = false;
  }

  // Keystrokes from the terminal, one or more characters (a paste gives many).
  input(data) {
    if (this.closed) return;
    const chars = Array.from(data);  // whole characters, not halves of a surrogate pair
    let i = 0;
    while (i < chars.length) {
      const c = chars[i];
      if (c === ESCAPE) {
        // The sequences are ASCII: their length in characters is their length in the text.
        const match = ESCAPE_SEQUENCE.exec(chars.slice(i).join(''));
        i += match[0].length || 1;
        continue;  // cursor and function keys do not edit a console line
      }
      i += 1;
      if (c === '\r' || c === '\n') {
        if (c === '\r' && chars[i] === '\n') i += 1;  // a pasted CR LF is one line end
        this.echo('\r\n');
        this.finishLine(this.editing.join(''), '\r\n');
      } else if (c === BACKSPACE || c === CTRL_H) {
        const erased = this.editing.pop();
        if (erased !== undefined) this.echo(erased < ' ' ? '\b\b  \b\b' : '\b \b');
      } else if (c === CTRL_D) {
        if (this.editing.length === 0) {
          this.ready.push(null);
          this.serve();
        } else {
          this.finishLine(this.editing.join(''), '');
        }
      } else if (c === CTRL_C) {
        this.echo('^C\r\n');
        this.interrupt();
        return;
      } else {
        this.editing.push(c);
        this.echo(c < ' ' ? `^${String.fromCharCode(c.charCodeAt(0) + 64)}` : c);
      }
    }
  }

  finishLine(text, lineEnd) {
    this.editing = [];
    this.typed.push(text);
    this.ready.push({ text, bytes: encoder.encode(text + lineEnd) });
    this.serve();
  }

  // Lines the page types for the user (Resume): each is shown, as if typed, when the program
  // reads it, and received before anything typed after.
  typeForUser(lines) {
    for (const line of lines) {
      this.replay.push(line);
      this.typed.push(line);
    }
    this.serve();
  }

  // One read call of at most `count` bytes: a Uint8Array (empty at the end of input), at once
  // when a line is there, else a promise of it.
  read(count) {
    if (this.closed) return Promise.reject(new Interrupted());
    const bytes = this.take(count);
    if (bytes !== undefined) return bytes;
    return new Promise((resolve, reject) => {
      this.waiting = { count, resolve, reject };
    });
  }

  take(count) {
    if (this.partial === null) {
      let line;
      if (this.replay.length > 0) {
        const text = this.replay.shift();
        this.echo(text + '\r\n');
        line = { text, bytes: encoder.encode(text + '\r\n') };
      } else if (this.ready.length > 0) {
        line = this.ready.shift();
      } else {
        return undefined;
      }
      this.endOfInputRead = line === null;
      if (line === null) return new Uint8Array(0);
      this.received.push(line.text);
      this.partial = line.bytes;
    }
    const bytes = this.partial.subarray(0, count);
    this.partial = this.partial.length > count ? this.partial.subarray(count) : null;
    return bytes;
  }

  serve() {
    if (this.waiting === null) return;
    const bytes = this.take(this.waiting.count);
    if (bytes === undefined) return;
    const { resolve } = this.waiting;
    this.waiting = null;
    resolve(bytes);
  }

  // Ends the run: a waiting read, and any later one, fails with Interrupted.
  interrupt() {
    this.closed = true;
    if (this.waiting !== null) {
      const { reject } = this.waiting;
      this.waiting = null;
      reject(new Interrupted());
    }
  }
}
