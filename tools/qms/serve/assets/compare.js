// The legend of a comparison: what each colour means, how many tables and
// columns are added, changed and ended, and for each changed column what
// it was and what it is (from the model diff, /api/models/ID/diff).
import {el, show} from './dom.js';

const KINDS = [['added', 'added'], ['changed', 'changed'], ['ended', 'gone (struck through)']];
const plural = (n, word) => `${n} ${word}${n === 1 ? '' : 's'}`;
const quoted = (value) => (value === '' || value === null || value === undefined ? '(none)' : `"${value}"`);

/**
 * Shows in `legend` the comparison with version `other` (`changes`: the
 * model's "changes" field; `diff`: the answer of /diff?from=other), or
 * hides it when there is none. `onPick(tableId)` when a line is clicked.
 */
export function showLegend(legend, other, changes, diff, onPick) {
  legend.hidden = !changes;
  if (!changes) return;
  const lines = (diff?.changes ?? []).filter((c) => c.attribute && c.column);
  show(legend,
      el('h3', {text: `Compared with version ${other}`}),
      el('ul', {class: 'kinds'}, ...KINDS.map(([kind, text]) => el('li', {class: kind},
          el('span', {class: 'swatch'}), `${text}: `,
          el('span', {class: 'count', 'data-kind': kind, text:
            `${plural(changes.tables[kind].length, 'table')}, ${plural(changes.columns[kind].length, 'column')}`})))),
      lines.length ? el('h4', {text: 'Changed columns'}) : null,
      lines.length ? el('ul', {class: 'changed-columns'}, ...lines.map((c) => el('li', {},
          el('button', {type: 'button', onclick: () => onPick(c.tableId)},
              el('b', {text: `${c.table}.${c.column}`}), ` ${c.attribute}: `,
              el('span', {class: 'old', text: quoted(c.before)}), ' \u2192 ',
              el('span', {class: 'new', text: quoted(c.after)}))))) : null);
}
