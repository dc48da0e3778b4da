// One form at a time over the page, for an edit or its confirmation. A
// refusal of the server is shown beside the field it names (the message
// and what to do); the form stays open and nothing on the page changes.
import {el, show} from './dom.js';

let current = null;  // {layer, submitted}

/** Whether a form is open. */
export function formOpen() {
  return current !== null;
}

/** Closes the open form, if any. */
export function closeForm() {
  current?.layer.remove();
  current = null;
}

function input(field) {
  const id = `edit-${field.name}`;
  if (field.kind === 'checkbox') {
    return el('input', {id, name: field.name, type: 'checkbox', ...(field.value ? {checked: ''} : {})});
  }
  if (field.kind === 'select') {
    const node = el('select', {id, name: field.name}, ...field.options.map(([value, text], i) =>
      el('option', {value: String(i), text})));
    node.selectedIndex = Math.max(0, field.options.findIndex(([value]) => value === field.value));
    return node;
  }
  if (field.kind === 'fixed') return el('output', {id, name: field.name, text: field.value});
  const node = el('input', {id, name: field.name, type: field.kind === 'number' ? 'number' : 'text',
    autocomplete: 'off', ...(field.kind === 'number' ? {min: 1, step: 1} : {})});
  node.value = field.value ?? '';
  return node;
}

function valueOf(field, node) {
  if (field.kind === 'checkbox') return node.checked;
  if (field.kind === 'select') return field.options[node.selectedIndex][0];
  if (field.kind === 'number') return node.value === '' ? null : Number(node.value);
  if (field.kind === 'fixed') return field.value;
  return node.value;
}

/** The refusal's words: what the server said, what to do, and for a stale tag what changed. */
export function refusalText(error) {
  const changed = error.changed;
  const what = changed ? [changed.model ? 'the model' : '',
    changed.tables?.length ? `tables ${changed.tables.join(', ')}` : '',
    changed.folders?.length ? `folders ${changed.folders.join(', ')}` : ''].filter(Boolean) : [];
  return [error.message + (what.length ? ` (changed: ${what.join('; ')})` : ''), error.hint]
      .filter(Boolean).join(' \u2014 ');
}

/**
 * Opens a form: `title`, `lines` (texts or elements shown above the
 * fields), `fields` ({name, label, kind: text|number|checkbox|select|fixed,
 * value, options: [[value, text]] for a select}), `submit` (the button's
 * text), `danger` (a destructive action). `onSubmit(values)` answers a
 * promise; when it fails with an error naming a `field` of the form, the
 * refusal is shown beside that field, otherwise above the buttons.
 */
export function openForm({title, lines = [], fields = [], submit, danger = false, onSubmit}) {
  closeForm();
  const nodes = new Map();
  const refusals = new Map();
  const general = el('p', {class: 'refusal', 'data-field': '', hidden: ''});
  const rows = fields.map((field) => {
    const node = input(field);
    nodes.set(field.name, node);
    const refusal = el('p', {class: 'refusal', 'data-field': field.name, hidden: ''});
    refusals.set(field.name, refusal);
    return el('div', {class: `field ${field.kind || 'text'}`},
        el('label', {for: node.id, text: field.label}), node, refusal);
  });
  const button = el('button', {type: 'submit', class: danger ? 'danger' : 'primary', text: submit});
  const form = el('form', {class: 'edit', novalidate: ''},
      el('h2', {text: title}),
      ...lines.map((line) => (typeof line === 'string' ? el('p', {text: line}) : line)),
      ...rows, general,
      el('div', {class: 'buttons'}, button,
          el('button', {type: 'button', class: 'cancel', text: 'Cancel', onclick: closeForm})));
  const layer = el('div', {id: 'form-layer'}, form);
  form.addEventListener('submit', async (e) => {
    e.preventDefault();
    if (button.disabled) return;
    for (const p of [general, ...refusals.values()]) p.hidden = true;
    const values = Object.fromEntries(fields.map((f) => [f.name, valueOf(f, nodes.get(f.name))]));
    button.disabled = true;
    try {
      await onSubmit(values);
      if (current?.layer === layer) closeForm();
    } catch (error) {
      const beside = refusals.get(error.field) ?? general;
      show(beside, refusalText(error));
      beside.hidden = false;
      nodes.get(error.field)?.focus();
    } finally {
      button.disabled = false;
    }
  });
  current = {layer};
  document.body.append(layer);
  (rows.length ? nodes.get(fields.find((f) => f.kind !== 'fixed')?.name) : button)?.focus();
  if (!document.activeElement || document.activeElement === document.body) button.focus();
  return form;
}
