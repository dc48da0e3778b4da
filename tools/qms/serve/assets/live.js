// Live redraw: the page follows the server's event stream (/api/events) and
// draws again what it shows once someone changed it (another browser,
// another server on the same database, qms at a terminal), keeping the
// view; what changed is marked for a few seconds. The stream reconnects by
// itself; the header says when it is lost and when it is back.
import {message} from './api.js';

const RETRY_MS = 3000;
// Events of one change may come in a burst: they are drawn once.
const SETTLE_MS = 30;
export const MARK_MS = 4000;

let hooks = null;
let source = null;
let lost = false;
let timer = 0;
let running = null;  // the redraw under way
let again = false;   // one more redraw is due after it
let waiting = [];    // resolvers of refreshModel() calls

function status(text, kind) {
  const node = document.getElementById('live');
  if (!node) return;
  node.textContent = text;
  node.className = kind;
  node.title = kind === 'lost' ? 'The page no longer hears of changes; it tries again every few seconds'
    : 'Changes by anyone are drawn as they happen';
}

async function redraw() {
  const done = waiting;
  waiting = [];
  try {
    await hooks.redraw();
  } catch (error) {
    message(error.message);
  } finally {
    done.forEach((resolve) => resolve());
  }
}

function run() {
  timer = 0;
  if (running) {
    again = true;
    return;
  }
  running = redraw().finally(() => {
    running = null;
    if (again) {
      again = false;
      run();
    }
  });
}

function schedule(delay = SETTLE_MS) {
  if (!timer) timer = setTimeout(run, delay);
}

/**
 * Fetches what the page shows again and redraws it, keeping pan, zoom and
 * the open panel, marking what changed. For the page's own edits: call it
 * once the edit was answered. Resolves when the redraw is painted.
 */
export function refreshModel() {
  return new Promise((resolve) => {
    waiting.push(resolve);
    schedule(0);
  });
}

function onEvent(event) {
  let change;
  try {
    change = JSON.parse(event.data);
  } catch {
    return;
  }
  if (hooks.concerns(change)) schedule();
}

function connect() {
  source = new EventSource('/api/events');
  source.addEventListener('open', () => {
    status('Live', 'ok');
    if (!lost) return;
    lost = false;
    message('The connection to the server is back; the page shows the model as it is now.', 'info');
    schedule(0);  // what changed meanwhile was not told
  });
  source.addEventListener('model', onEvent);
  source.addEventListener('error', () => {
    if (!lost) {
      lost = true;
      status('Connection lost', 'lost');
      message('The connection to the server is lost: changes are not shown until it is back ' +
          '(trying again every few seconds).');
    }
    // A stream the server refused is not tried again by the browser.
    if (source.readyState === EventSource.CLOSED) {
      source = null;
      setTimeout(connect, RETRY_MS);
    }
  });
}

/**
 * Follows the event stream. `concerns(change)`: whether an event
 * ({model, structure, layout}) touches what the page shows; `redraw()`:
 * fetches it again and draws it (a promise).
 */
export function startLive(pageHooks) {
  hooks = pageHooks;
  status('Connecting', 'lost');
  connect();
}

let clearMarks = 0;
// What is marked until the marks go; redraws meanwhile add to it.
const KINDS = ['live-added', 'live-changed', 'live-moved'];
let marked = {tables: new Map(), columns: new Map()};

/**
 * Marks for a few seconds what a redraw changed (`diff`, as the view's
 * draw() answers it): tables added, changed (names or columns) and moved,
 * and column lines added or changed. Marks of a redraw shortly before stay.
 */
export function markChanges(view, diff) {
  const {tables, columns} = marked;
  // A table keeps the strongest mark it got: added, then changed, then moved.
  const mark = (id, kind) => {
    const was = tables.get(id);
    if (was === undefined || KINDS.indexOf(kind) < KINDS.indexOf(was)) tables.set(id, kind);
  };
  for (const id of diff.added) mark(id, 'live-added');
  for (const id of diff.changed) mark(id, 'live-changed');
  for (const id of diff.moved) mark(id, 'live-moved');
  for (const [id, kind] of diff.columns) {
    columns.set(id, kind === 'live-added' ? kind : columns.get(id) ?? kind);
  }
  const any = diff.added.size + diff.changed.size + diff.moved.size > 0;
  if (!any && tables.size === 0) return;
  const show = () => {
    for (const kind of KINDS) {
      view.setMark(kind, new Set([...tables].filter(([, k]) => k === kind).map(([id]) => id)));
    }
    view.flashColumns(new Map(columns));
  };
  show();
  if (!any) return;
  clearTimeout(clearMarks);
  clearMarks = setTimeout(() => {
    marked = {tables: new Map(), columns: new Map()};
    for (const kind of KINDS) view.setMark(kind, new Set());
    view.flashColumns(new Map());
  }, MARK_MS);
}
