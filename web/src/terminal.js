// The terminal: xterm.js fitted to its box, with the keys other terminals have, and its
// text as it shows it. The page's first prompt does not wait for xterm.js: until the
// terminal is opened (open(), once the first prompt is up) what the program writes is shown
// as plain text in the terminal's font and colours, the keys typed and text pasted are kept,
// and once open the terminal is given the output, then the keys, in their order.
// xterm.js is inflated and run only then (web/build.mjs keeps it in a data block).
import xtermSource from 'lamvis2:xterm';
import { bytesToText, inflateBase64 } from './bytes.js';

// The narrowest terminal that shows a row of the relaxation table on one line.
const MIN_COLUMNS = 84;
const FONT_FAMILY = 'ui-monospace, "DejaVu Sans Mono", Menlo, Consolas, "Liberation Mono", monospace';
const THEME = { background: '#101418', foreground: '#e6e9ec', selectionBackground: '#4a6a90' };
// The font size for a box of this width (a phone's is smaller).
const fontSize = (box) => (box.clientWidth < 640 ? 12 : 14);
// Text shown without the terminal is at most this long: more opens it (and is kept, not
// shown, until it is open).
const OPEN_AT = 8192;

// xterm.js: { Terminal, FitAddon }, once inflated and run (once).
let xtermLoaded = null;
function loadXterm() {
  xtermLoaded ??= inflateBase64(xtermSource.source()).then((bytes) => {
    const script = document.createElement('script');
    script.textContent = new TextDecoder().decode(bytes);
    document.head.append(script);
    script.remove();
    return globalThis[xtermSource.name];
  });
  return xtermLoaded;
}

// The keys of a terminal's keyboard, as xterm.js sends them, for the keys that a console in
// line mode uses: characters, Enter, Backspace, Ctrl-C (when no text is selected), Ctrl-D,
// Ctrl-Z. Anything else is left to the browser (Tab moves the focus on).
function keyData(event) {
  if (event.altKey || event.metaKey) return null;
  if (event.ctrlKey) {
    const key = event.key.toLowerCase();
    if (key === 'c' && !event.shiftKey && String(window.getSelection()) === '') return '\x03';
    if (key === 'd' && !event.shiftKey) return '\x04';
    if (key === 'z' && !event.shiftKey) return '\x1a';
    return null;
  }
  if (event.key === 'Enter') return '\r';
  if (event.key === 'Backspace') return '\x7f';
  return [...event.key].length === 1 ? event.key : null;
}

export class PageTerminal {
  // holder: the element the terminal is drawn in; box: the element around it, whose size
  // the terminal fits.
  constructor(holder, box) {
    this.holder = holder;
    this.box = box;
    this.xterm = null;
    this.opening = null;     // open()'s promise
    this.pending = [];       // { data, callback } written before the terminal was open
    this.keys = [];          // what was typed or pasted before open()
    this.handlers = [];      // onData's handlers
    this.pendingOptions = {};
    this.focusWanted = false;
    // The text shown until open(): the lines written, the last one with the cursor.
    this.text = document.createElement('pre');
    this.text.className = 'terminal-text';
    this.text.style.cssText = `margin:0;font-family:${FONT_FAMILY};font-size:14px;` +
      `color:${THEME.foreground};white-space:pre;overflow:hidden;height:100%`;
    this.cursor = document.createElement('span');
    this.cursor.style.cssText = `background:${THEME.foreground}`;
    this.cursor.textContent = ' ';
    this.shown = '';         // the text of the lines written so far (null: more than is shown)
    holder.tabIndex = 0;
    holder.append(this.text);
    // The size of the box, and the focus, are asked for only as the first frame is drawn, so
    // that the page is laid out once before it (asked for now, the page would be laid out
    // before the script ends and again after).
    requestAnimationFrame(() => {
      if (this.xterm !== null) return;
      this.text.style.fontSize = `${fontSize(box)}px`;
      if (this.focusWanted && this.focusFree()) holder.focus({ preventScroll: true });
    });
    this.keep = (event) => {
      const data = keyData(event);
      if (data === null) return;
      event.preventDefault();
      this.keys.push(data);
    };
    this.keepPaste = (event) => {
      event.preventDefault();
      const text = event.clipboardData?.getData('text/plain') ?? '';
      // A paste's line ends as xterm.js gives them: CR.
      if (text !== '') this.keys.push(text.replace(/\r?\n/g, '\r'));
    };
    holder.addEventListener('keydown', this.keep);
    holder.addEventListener('paste', this.keepPaste);
  }

  // Whether the focus may be taken for the terminal: nothing else has it.
  focusFree() {
    const active = document.activeElement;
    return active === null || active === document.body || this.holder.contains(active);
  }

  // Shows `data` (a string of one character per byte, or bytes); `callback` is called once
  // it is on the screen's text (after open(), as xterm.js calls it).
  write(data, callback) {
    if (this.xterm !== null) {
      this.xterm.write(data, callback);
      return;
    }
    // More than a screen or two (an answer file's run started at once) goes to the terminal,
    // kept until it is open.
    if (this.shown === null || this.shown.length + data.length > OPEN_AT) {
      this.shown = null;
      this.open();
      this.pending.push({ data, callback });
      return;
    }
    const text = typeof data === 'string' ? data : bytesToText(data);
    this.pending.push({ data, callback: null });
    this.shown = (this.shown + text).replace(/\r\n/g, '\n');
    // The lines as a terminal shows them: a CR alone returns to the start of the line,
    // a backspace steps back, other control characters show nothing.
    const lines = this.shown.split('\n').map((line) => {
      let out = '';
      let at = 0;
      for (const c of line) {
        if (c === '\r') at = 0;
        else if (c === '\b') at = Math.max(0, at - 1);
        else if (c >= ' ') {
          out = out.slice(0, at) + c + out.slice(at + 1);
          at += 1;
        }
      }
      return out;
    });
    this.text.textContent = lines.join('\n');
    this.text.append(this.cursor);
    if (callback) queueMicrotask(callback);
  }

  // Calls `callback` once all that was written is in the terminal (opening it): its buffer
  // is then the screen's text.
  whenShown(callback) {
    this.open().then(() => this.xterm.write('', callback));
  }

  reset() {
    if (this.xterm !== null) {
      this.xterm.reset();
      return;
    }
    this.pending = [];
    this.shown = '';
    this.text.textContent = '';
    this.text.append(this.cursor);
  }

  focus() {
    if (this.xterm !== null) this.xterm.focus();
    else this.focusWanted = true;
  }

  onData(handler) {
    this.handlers.push(handler);
    if (this.xterm !== null) this.xterm.onData(handler);
  }

  get options() {
    return this.xterm !== null ? this.xterm.options : this.pendingOptions;
  }

  get buffer() {
    return this.xterm.buffer;
  }

  // Makes the terminal (xterm.js) in the holder and gives it what was written and typed: a
  // promise, resolved once it is open.
  open() {
    this.opening ??= loadXterm().then((xterm) => this.made(xterm));
    return this.opening;
  }

  // The terminal made, once xterm.js is run.
  made({ Terminal, FitAddon }) {
    const focused = this.holder.contains(document.activeElement) || (this.focusWanted && this.focusFree());
    this.holder.removeEventListener('keydown', this.keep);
    this.holder.removeEventListener('paste', this.keepPaste);
    this.holder.removeAttribute('tabindex');
    this.text.remove();
    const xterm = createXterm(Terminal, FitAddon, this.holder, this.box);
    Object.assign(xterm.options, this.pendingOptions);
    this.xterm = xterm;
    for (const { data, callback } of this.pending) xterm.write(data, callback ?? undefined);
    this.pending = [];
    for (const handler of this.handlers) xterm.onData(handler);
    if (focused) xterm.focus();
    const keys = this.keys;
    this.keys = [];
    for (const data of keys) for (const handler of this.handlers) handler(data);
  }
}

function createXterm(Terminal, FitAddon, holder, box) {
  const terminal = new Terminal({
    cols: 90,
    rows: 30,
    fontFamily: FONT_FAMILY,
    fontSize: fontSize(box),
    scrollback: 10000,
    cursorBlink: true,
    theme: THEME,
  });
  const fit = new FitAddon();
  terminal.loadAddon(fit);
  terminal.open(holder);

  // Copies the selection to the clipboard where the page may write it; the browser's own
  // copy (the copy event, which the terminal answers with its selection) does it elsewhere.
  const copySelection = () => {
    const text = terminal.getSelection();
    if (text !== '' && navigator.clipboard?.writeText) navigator.clipboard.writeText(text).catch(() => {});
  };

  // Keys as other terminals take them: Tab moves the focus on, so that the page serves the
  // keyboard alone (the program takes a tab as a blank); Ctrl+V and Ctrl+Shift+V paste (the
  // browser's paste, which the terminal takes as one input); Ctrl+C copies when text is
  // selected and is the interrupt otherwise; Ctrl+Shift+C copies.
  terminal.attachCustomKeyEventHandler((event) => {
    if (event.key === 'Tab') return false;
    if (!event.ctrlKey || event.altKey || event.metaKey) return true;
    const key = event.key.toLowerCase();
    if (key === 'v') return false;
    if (key === 'c' && (event.shiftKey || terminal.hasSelection())) {
      if (event.type === 'keydown') copySelection();
      return false;
    }
    return true;
  });

  // Fits the terminal to its box with a font no smaller than can be read; where a row of
  // the relaxation table would not fit, the terminal keeps its width and its box scrolls
  // sideways.
  let fittedSize = '';
  const fitTerminal = () => {
    const size = `${box.clientWidth}x${box.clientHeight}`;
    if (size === fittedSize) return;
    fittedSize = size;
    holder.style.width = '';
    terminal.options.fontSize = fontSize(box);
    const proposed = fit.proposeDimensions();
    if (proposed === undefined || !Number.isFinite(proposed.cols)) return;
    if (proposed.cols >= MIN_COLUMNS) {
      terminal.resize(proposed.cols, proposed.rows);
      return;
    }
    const cellWidth = holder.clientWidth / proposed.cols;
    terminal.resize(MIN_COLUMNS, proposed.rows);
    holder.style.width = `${Math.ceil((MIN_COLUMNS + 1) * cellWidth) + 12}px`;
  };
  fitTerminal();
  new ResizeObserver(() => requestAnimationFrame(fitTerminal)).observe(box);
  return terminal;
}

// The terminal's text as it shows it, answers included, a line per row (rows that a long
// line wrapped onto joined again), with CR LF line ends.
export function screenText(terminal) {
  const buffer = terminal.buffer.active;
  const lines = [];
  for (let i = 0; i < buffer.length; i++) {
    const line = buffer.getLine(i);
    const text = line.translateToString(true);
    if (line.isWrapped && lines.length > 0) lines[lines.length - 1] += text;
    else lines.push(text);
  }
  while (lines.length > 0 && lines.at(-1) === '') lines.pop();
  return lines.map((l) => `${l}\r\n`).join('');
}
