// The side panel of one table: its names, folders, columns and definitions.
import {el, show} from './dom.js';

const FLAGS = [['findKey', 'find key'], ['primaryKey', 'primary key']];

function row(cells, tag = 'td') {
  return el('tr', {}, ...cells.map((c) => el(tag, {text: String(c)})));
}

function definitions(title, list, withSort) {
  if (list.length === 0) return el('p', {class: 'none', text: `No ${title.toLowerCase()}.`});
  const head = ['Name', 'Parameters', ...(withSort ? ['Sort'] : [])];
  return el('table', {}, row(head, 'th'),
      ...list.map((d) => row([d.name, d.parameters, ...(withSort ? [d.sort] : [])])));
}

/**
 * Shows `table` (the JSON of /api/models/M/tables/T) in `panel`; with
 * `edit` ({actions: element, column(c): element}) its edit buttons too,
 * and a column's line is chosen by a click (class "chosen").
 */
export function showTable(panel, table, onClose, edit = null) {
  const key = (c) => FLAGS.filter(([f]) => c[f]).map(([, text]) => text).join(', ');
  const yes = (flag) => (flag ? 'yes' : '');
  show(panel,
      el('button', {class: 'close', title: 'Close', text: '\u00d7', onclick: onClose}),
      el('h2', {text: table.name}),
      edit?.actions,
      el('dl', {},
          el('dt', {text: 'Display name'}), el('dd', {text: table.display}),
          el('dt', {text: 'Inner name'}), el('dd', {text: table.innerName}),
          el('dt', {text: 'Added in version'}), el('dd', {text: String(table.addVersion)}),
          el('dt', {text: 'Folder'}), el('dd', {class: 'folders', text: table.folders.join(', ')})),
      el('h3', {text: `Columns (${table.columns.length})`}),
      el('table', {class: 'columns'},
          row(['Name', 'Inner name', 'Type', 'Default', 'Key', 'Index', 'Unique', 'References',
            ...(edit ? [''] : [])], 'th'),
          ...table.columns.map((c) => {
            const line = row([c.name, c.innerName, c.type, c.default, key(c), yes(c.index),
              yes(c.unique), c.references]);
            if (edit) {
              line.dataset.id = c.id;
              line.append(el('td', {class: 'actions'}, edit.column(c)));
              line.addEventListener('click', () => {
                for (const other of line.parentNode.children) other.classList.toggle('chosen', other === line);
              });
            }
            return line;
          })),
      el('h3', {text: 'Query definitions'}), definitions('Query definitions', table.findBy, true),
      el('h3', {text: 'Delete definitions'}), definitions('Delete definitions', table.delBy, false));
  panel.hidden = false;
}

/**
 * Shows a folder (`folder`: {path, tables: [{name}], folders: [{name}]})
 * in `panel` with its edit buttons (`actions`).
 */
export function showFolder(panel, folder, onClose, actions) {
  const list = (things, none) => (things.length === 0 ? el('p', {class: 'none', text: none})
    : el('ul', {}, ...things.map((t) => el('li', {text: t.name}))));
  show(panel,
      el('button', {class: 'close', title: 'Close', text: '\u00d7', onclick: onClose}),
      el('h2', {text: folder.path}), actions,
      el('h3', {text: `Tables (${folder.tables.length})`}), list(folder.tables, 'No tables.'),
      el('h3', {text: `Folders (${folder.folders.length})`}), list(folder.folders, 'No folders.'));
  panel.hidden = false;
}
