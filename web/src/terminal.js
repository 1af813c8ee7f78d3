// The terminal: xterm.js fitted to its box, with the keys other terminals have, and its
// text as it shows it.
import { Terminal } from '@xterm/xterm';
import { FitAddon } from '@xterm/addon-fit';

// The narrowest terminal that shows a row of the relaxation table on one line.
const MIN_COLUMNS = 84;

export function createTerminal(holder, box) {
  const terminal = new Terminal({
    cols: 90,
    rows: 30,
    fontFamily: 'ui-monospace, "DejaVu Sans Mono", Menlo, Consolas, "Liberation Mono", monospace',
    fontSize: 14,
    scrollback: 10000,
    cursorBlink: true,
    theme: { background: '#101418', foreground: '#e6e9ec', selectionBackground: '#4a6a90' },
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
    terminal.options.fontSize = box.clientWidth < 640 ? 12 : 14;
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
