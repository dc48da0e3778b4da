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

/** Shows `table` (the JSON of /api/models/M/tables/T) in `panel`. */
export function showTable(panel, table, onClose) {
  const key = (c) => FLAGS.filter(([f]) => c[f]).map(([, text]) => text).join(', ');
  const yes = (flag) => (flag ? 'yes' : '');
  show(panel,
      el('button', {class: 'close', title: 'Close', text: '\u00d7', onclick: onClose}),
      el('h2', {text: table.name}),
      el('dl', {},
          el('dt', {text: 'Display name'}), el('dd', {text: table.display}),
          el('dt', {text: 'Inner name'}), el('dd', {text: table.innerName}),
          el('dt', {text: 'Added in version'}), el('dd', {text: String(table.addVersion)}),
          el('dt', {text: 'Folder'}), el('dd', {class: 'folders', text: table.folders.join(', ')})),
      el('h3', {text: `Columns (${table.columns.length})`}),
      el('table', {class: 'columns'},
          row(['Name', 'Inner name', 'Type', 'Default', 'Key', 'Index', 'Unique', 'References'],
              'th'),
          ...table.columns.map((c) => row([c.name, c.innerName, c.type, c.default, key(c),
            yes(c.index), yes(c.unique), c.references]))),
      el('h3', {text: 'Query definitions'}), definitions('Query definitions', table.findBy, true),
      el('h3', {text: 'Delete definitions'}), definitions('Delete definitions', table.delBy, false));
  panel.hidden = false;
}
