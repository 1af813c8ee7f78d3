// The terminal's line discipline: turns keystrokes into the lines that the program reads,
// as a console in line mode does. Typed characters echo, Backspace erases the last one,
// Enter ends the line, which the program then receives with a CR LF line end. Ctrl-D on an
// empty line is the end of input (the read returns no bytes); Ctrl-D after some characters
// hands them over without a line end. Ctrl-C ends the run. Ctrl-Z is an ordinary byte: typed
// before Enter it makes the line that the program itself takes as the end of input.
// A paste (several characters holding a line end) is not echoed at once: its lines are
// handed over one per read, each echoed when the program reads it, so that every answer
// appears at its prompt; the rest after its last line end waits on the line being typed.

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
  // changed(): called when a line has been added to `typed`.
  constructor({ echo, changed = () => {} }) {
    this.echo = echo;
    this.changed = changed;
    this.typed = [];        // the text of every line typed (or typed for the user), in order
    this.received = [];     // the text of every line the program has read, in order
    this.endOfInputRead = false;  // the last read returned the end of input
    this.editing = [];      // characters of the line being typed
    this.ready = [];        // finished lines { text, bytes }, oldest first; null: end of input
    this.partial = null;    // the rest of a line that a short read did not take
    this.replay = [];       // lines the page types for the user, or pasted, shown when they
                            // are read: { text, lineEnd }, null for the end of input
    this.pending = '';      // pasted text after the last queued line end
    this.waiting = null;    // { count, resolve, reject } of a read that waits for a line
    this.closed = false;
  }

  // Keystrokes from the terminal, one or more characters (a paste gives many).
  input(data) {
    if (this.closed) return;
    const chars = Array.from(data);  // whole characters, not halves of a surrogate pair
    const pasted = chars.length > 1 && /[\r\n]/.test(data);
    let i = 0;
    // Text already typed on the line is ended by the paste's first line end, at once.
    if (pasted && this.replay.length === 0 && this.pending === '' && this.editing.length > 0) {
      while (i < chars.length && chars[i] !== '\r' && chars[i] !== '\n') i = this.edit(chars, i, true);
      if (i < chars.length) i = this.edit(chars, i, true);
    }
    while (i < chars.length && !this.closed) {
      i = this.edit(chars, i, !(pasted || this.replay.length > 0 || this.pending !== ''));
    }
  }

  // Takes the keystroke at chars[i]; `live`: onto the line being typed, with its echo,
  // else into the queue of lines shown when they are read. Returns the next index.
  edit(chars, i, live) {
    const c = chars[i];
    if (c === ESCAPE) {
      // The sequences are ASCII: their length in characters is their length in the text.
      const match = ESCAPE_SEQUENCE.exec(chars.slice(i).join(''));
      return i + (match[0].length || 1);  // cursor and function keys do not edit a console line
    }
    i += 1;
    if (c === CTRL_C) {
      this.echo('^C\r\n');
      this.interrupt();
      return chars.length;
    }
    if (c === '\r' || c === '\n') {
      if (c === '\r' && chars[i] === '\n') i += 1;  // a pasted CR LF is one line end
    }
    if (live) this.editLive(c);
    else this.editQueued(c);
    return i;
  }

  editLive(c) {
    if (c === '\r' || c === '\n') {
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
    } else {
      this.editing.push(c);
      this.echo(c < ' ' ? `^${String.fromCharCode(c.charCodeAt(0) + 64)}` : c);
    }
  }

  editQueued(c) {
    if (c === '\r' || c === '\n') {
      this.queue(this.pending, '\r\n');
    } else if (c === BACKSPACE || c === CTRL_H) {
      this.pending = Array.from(this.pending).slice(0, -1).join('');
    } else if (c === CTRL_D) {
      if (this.pending === '') {
        this.replay.push(null);
        this.serve();
      } else {
        this.queue(this.pending, '');
      }
    } else {
      this.pending += c;
    }
  }

  queue(text, lineEnd) {
    this.pending = '';
    this.replay.push({ text, lineEnd });
    this.typed.push(text);
    this.changed();
    this.serve();
  }

  finishLine(text, lineEnd) {
    this.editing = [];
    this.typed.push(text);
    this.ready.push({ text, bytes: encoder.encode(text + lineEnd) });
    this.changed();
    this.serve();
  }

  // Lines the page types for the user (Resume): each is shown, as if typed, when the program
  // reads it, and received before anything typed after.
  typeForUser(lines) {
    for (const line of lines) {
      this.replay.push({ text: line, lineEnd: '\r\n' });
      this.typed.push(line);
    }
    if (lines.length > 0) this.changed();
    this.serve();
  }

  // Whether a line is there for the next read.
  hasQueued() {
    return this.partial !== null || this.replay.length > 0 || this.ready.length > 0;
  }

  // One read call of at most `count` bytes: a Uint8Array (empty at the end of input), at once
  // when a line is there, else a promise of it.
  read(count) {
    if (this.closed) return Promise.reject(new Interrupted());
    const bytes = this.take(count);
    if (bytes !== undefined) return bytes;
    // The queue is done: the rest of a paste is on the line being typed.
    if (this.pending !== '') {
      this.echo(this.pending);
      this.editing.push(...Array.from(this.pending));
      this.pending = '';
    }
    return new Promise((resolve, reject) => {
      this.waiting = { count, resolve, reject };
    });
  }

  take(count) {
    if (this.partial === null) {
      let line;
      // Lines finished at the keyboard came before anything queued after them.
      if (this.ready.length > 0) {
        line = this.ready.shift();
      } else if (this.replay.length > 0) {
        const queued = this.replay.shift();
        if (queued !== null) {
          this.echo(queued.text + (queued.lineEnd === '' ? '' : '\r\n'));
          line = { text: queued.text, bytes: encoder.encode(queued.text + queued.lineEnd) };
        } else {
          line = null;
        }
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
