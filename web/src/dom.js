// An HTML element in one call: node('td', { class: 'x', text: '1.5' }, child...), where the
// attribute `text` is the element's text and every other attribute is set as given.
export function node(name, attributes = {}, ...children) {
  const e = document.createElement(name);
  for (const [k, v] of Object.entries(attributes)) {
    if (k === 'text') e.textContent = v;
    else e.setAttribute(k, v);
  }
  e.append(...children);
  return e;
}
