// Texts of one character per byte, as the program's output and a file's bytes are held, and
// the files the page saves and opens.

export function decodeBase64(text) {
  // The browser's own decoder where it has one (several times faster), else atob's text.
  if (typeof Uint8Array.fromBase64 === 'function') return Uint8Array.fromBase64(text);
  const binary = atob(text);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

// The bytes of gzip-compressed base64 text.
export async function inflateBase64(text) {
  const stream = new Response(decodeBase64(text)).body.pipeThrough(new DecompressionStream('gzip'));
  return new Uint8Array(await new Response(stream).arrayBuffer());
}

// One character per byte.
export function bytesToText(bytes) {
  let text = '';
  for (let i = 0; i < bytes.length; i += 8192) {
    text += String.fromCharCode.apply(null, bytes.subarray(i, i + 8192));
  }
  return text;
}

// A string of one character per byte back to its bytes; text with characters above 255
// (typed or pasted, not read from a file) is taken as UTF-8.
export function textToBytes(text) {
  if (/[^\x00-\xff]/.test(text)) return new TextEncoder().encode(text);
  const bytes = new Uint8Array(text.length);
  for (let i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i);
  return bytes;
}

// Whether `bytes` are a text file: no NUL, and no control character but a tab, the line
// ends, a form feed and the Ctrl-Z that ends a file in some systems' text files.
export function isText(bytes) {
  for (const b of bytes) {
    if (b < 0x20 && b !== 0x09 && b !== 0x0a && b !== 0x0b && b !== 0x0c && b !== 0x0d && b !== 0x1a) return false;
    if (b === 0x7f) return false;
  }
  return true;
}

export function save(name, bytes, type) {
  const url = URL.createObjectURL(new Blob([bytes], { type }));
  const link = document.createElement('a');
  link.href = url;
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

export async function fileBytes(file) {
  return new Uint8Array(await file.arrayBuffer());
}

export const baseName = (fileName) => fileName.replace(/\.[^.]*$/, '') || fileName;
