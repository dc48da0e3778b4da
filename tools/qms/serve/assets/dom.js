// Elements made with names as text only: data never passes through HTML.
const SVG = 'http://www.w3.org/2000/svg';

function fill(node, attributes, children) {
  for (const [name, value] of Object.entries(attributes || {})) {
    if (name === 'text') node.textContent = value;
    else if (name.startsWith('on')) node.addEventListener(name.slice(2), value);
    else node.setAttribute(name, value);
  }
  for (const child of children) {
    if (child !== null && child !== undefined) {
      node.append(typeof child === 'string' ? document.createTextNode(child) : child);
    }
  }
  return node;
}

/** An HTML element: el('td', {class: 'x', text: name}, child, ...). */
export function el(tag, attributes, ...children) {
  return fill(document.createElement(tag), attributes, children);
}

/** An SVG element, made the same way. */
export function svg(tag, attributes, ...children) {
  return fill(document.createElementNS(SVG, tag), attributes, children);
}

/** Replaces the children of `node`. */
export function show(node, ...children) {
  node.replaceChildren(...children.filter((c) => c !== null && c !== undefined));
  return node;
}
