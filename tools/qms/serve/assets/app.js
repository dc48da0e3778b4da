// The page of qms serve: projects -> models -> a model version, drawn as
// qms diagram draws it. Every name is put in as text, never as HTML.
import {get, getSnapshot, mergeLayout, mergeModel, message, put, setToken, token} from './api.js';
import {showLegend} from './compare.js';
import {markChanges, refreshModel, startLive} from './live.js';
import {DiagramView} from './diagram.js';
import {el, show} from './dom.js';
import {EditTools} from './edit-tools.js';
import {Editor} from './edits.js';
import {download, pngBlob, svgText} from './export.js';
import {autoLayout, pushApart} from './layout.js';
import {Minimap} from './minimap.js';
import {showTable} from './panel.js';

const $ = (id) => document.getElementById(id);
let info = {readOnly: true};
let current = null;  // the model version shown
let view = null;
let minimap = null;
let shown = {kind: 'projects'};  // what the page shows: projects, project or model
let openId = null;  // the table whose panel is open
let openFolderId = null;  // the folder whose panel is open
let edits = null;  // the editing controls
// What the page holds of the model version shown (not compared): the
// snapshots of its picture and layout, and the layout, which later reads
// ?since= them change ({id, model, layout: {snapshot, body}}).
let held = null;

// The undo lists of `what` (the projects, or a model with all its
// versions) on this server, kept in the tab over reloads.
function undoLists(what) {
  edits.editor.undo.use(`${info.config}|${what}`);
}

function crumbs(...parts) {
  show($('crumbs'), el('a', {href: '#/', text: 'Projects'}), ...parts.flatMap((p) => [' / ', p]));
}

function showSection(name) {
  $('lists').hidden = name !== 'lists';
  $('model').hidden = name !== 'model';
  $('model-tools').hidden = name !== 'model';
  closePanel();
}

function listTable(headings, rows) {
  return el('table', {class: 'list'},
      el('tr', {}, ...headings.map((h) => el('th', {text: h}))),
      ...rows.map((cells) => el('tr', {}, ...cells.map((c) => el('td', {}, c)))));
}

async function showProjects() {
  const projects = await get('/api/projects');
  shown = {kind: 'projects'};
  undoLists('projects');
  showSection('lists');
  crumbs();
  document.title = 'qms';
  show($('lists'), el('h1', {text: 'Projects'}), edits.projectsEdits(), listTable(['Project', 'Author', 'Changed'],
      projects.map((p) => [el('a', {href: `#/project/${p.id}`, text: p.name}), p.author, p.updated])));
}

async function showProject(id) {
  const project = await get(`/api/projects/${id}`);
  shown = {kind: 'project', id};
  undoLists('projects');
  showSection('lists');
  crumbs(el('span', {text: project.name}));
  document.title = `${project.name} - qms`;
  const latest = new Map();  // each model at its highest version
  for (const m of project.models) {
    if (!latest.has(m.name) || latest.get(m.name).version < m.version) latest.set(m.name, m);
  }
  show($('lists'), el('h1', {text: project.name}), edits.projectEdits(project),
      listTable(['Model', 'Versions'],
      [...latest.values()].map((m) => [el('a', {href: `#/model/${m.id}`, text: m.name}),
        String(m.version)])));
}

// The model version `id`, compared with its version `compare` when given;
// `keep`: drawn again as it is now, keeping the view and the open panel,
// what changed marked.
async function showModel(id, compare, keep = false) {
  const query = compare ? `?compare=${compare}` : '';
  // A redraw reads only what changed since what the page holds.
  const base = keep && !compare && held?.id === id ? held : null;
  const [modelRead, layoutRead, diff] = await Promise.all([
    getSnapshot(`/api/models/${id}${base ? `?since=${base.model}` : query}`),
    readLayout(id, query, base),
    compare ? get(`/api/models/${id}/diff?from=${compare}`) : null]);
  // A redraw that another model's showing overtook (an upgrade went to the new version).
  if (keep && (current?.id !== id || shown.kind !== 'model')) return;
  // Another read replaced what this one's answers change: read again.
  if (base !== null && held !== base) return showModel(id, compare, keep);
  const arrived = performance.now();
  const model = 'since' in modelRead.body ? mergeModel(current, modelRead.body) : modelRead.body;
  const layout = layoutRead.body;
  held = !compare && modelRead.snapshot && layoutRead.snapshot ?
    {id, model: modelRead.snapshot, layout: layoutRead} : null;
  const openName = keep && openId !== null ? view.tables.get(openId)?.name : null;
  current = model;
  shown = {kind: 'model', id};
  undoLists(`model ${model.projectId} ${model.name}`);
  if (!keep) {
    showSection('model');
    openId = null;
  }
  crumbs(el('a', {href: `#/project/${model.projectId}`, text: model.project}),
      el('span', {text: `${model.name} v${model.version}`}));
  document.title = `${model.name} v${model.version} - qms`;
  show($('version'), ...model.versions.map((v) => el('option', {value: v.id,
    text: `version ${v.version}${v.locked ? ' (locked)' : ''}`})));
  $('version').value = String(model.id);
  show($('compare'), el('option', {value: '', text: 'nothing'}),
      ...model.versions.filter((v) => v.version !== model.version).map((v) =>
        el('option', {value: v.version, text: `version ${v.version}`})));
  $('compare').value = model.compare ? String(model.compare) : '';
  view.movable = !info.readOnly;
  const redrawn = view.draw(model.diagram, layout, keep);
  // "changes" (what differs from another version, diagram::Changes on the
  // server) is present only in an answer that compares two versions: the
  // tables and columns that version has and this one has not are drawn too.
  view.changes(model.changes);
  showLegend($('legend'), model.compare, model.changes, diff, (tid) => view.focus(tid));
  search();
  if (keep) {
    markChanges(view, redrawn);
    await reopenPanel(openName);
  }
  // Drawn once the browser has painted the new picture.
  await new Promise((painted) => requestAnimationFrame(() => requestAnimationFrame(() => {
    document.body.dataset[keep ? 'liveDrawnMs' : 'drawnMs'] = performance.now().toFixed(1);
    // The page's part: from the answers arriving to the redraw painted.
    document.body.dataset.pageMs = (performance.now() - arrived).toFixed(1);
    painted();
  })));
}

// The open panel after a redraw: its table as it is now, or closed, saying
// so, when the table went.
async function reopenPanel(name) {
  if (openFolderId !== null && !edits.openFolder(openFolderId)) closePanel();
  if (openId === null) return;
  const panel = $('panel');
  const table = view.tables.get(openId);
  if (!table) {
    panel.hidden = true;
    message(`Table ${name} has been deleted: its panel is closed.`, 'info');
    openId = null;
    return;
  }
  const scroll = panel.scrollTop;
  view.select(openId);
  const details = await get(`/api/models/${current.id}/tables/${openId}`);
  showTable(panel, details, closePanel, edits.tableEdits(details));
  panel.scrollTop = scroll;
}

function closePanel() {
  $('panel').hidden = true;
  openId = null;
  openFolderId = null;
  if (edits) edits.chosen = null;
  view.select(null);
}

// Whether an event of the stream ({model, structure, layout}) touches what
// the page shows: the model (any of its versions), or a list of models.
function concerns(change) {
  if (shown.kind !== 'model') return change.structure;
  return current !== null && (change.model === current.id ||
      current.versions.some((v) => v.id === change.model));
}

// The page shown drawn again as it is now; a box being dragged is let go first.
async function redrawShown() {
  if (view.drag && !view.drag.pan) {
    await new Promise((later) => setTimeout(later, 200));
    return redrawShown();
  }
  if (shown.kind !== 'model') return route();
  const id = current.id;
  try {
    await showModel(id, current.compare, true);
  } catch (error) {
    // The page went on to another page meanwhile (an undone upgrade goes to the version before).
    if (location.hash.match(/^#\/model\/(\d+)/)?.[1] !== String(id)) return;
    // The model version itself went: its project's list instead.
    const gone = await fetch(`/api/models/${id}`, {method: 'HEAD'});
    if (gone.status !== 404) throw error;
    message(`Model ${current.name} v${current.version} has been deleted.`, 'info');
    location.hash = `#/project/${current.projectId}`;
  }
}

async function openTable(table) {
  view.select(table.id);
  openId = table.id;
  openFolderId = null;
  const details = await get(`/api/models/${current.id}/tables/${table.id}`);
  showTable($('panel'), details, closePanel, edits.tableEdits(details));
}

// A folder's panel (a click on its frame's name line): edits only.
function openFolder(id) {
  if (!edits.openFolder(id)) return;
  view.select(null);
  openId = null;
  openFolderId = id;
}

// Stores the boxes of `tables` (a few writes at a time), then draws the
// layout the server answers (frames fitted, arrows routed) in the same view.
async function storeBoxes(tables) {
  if (!token()) {
    message('Enter the write token that qms serve printed to move boxes.');
    $('token').focus();
    throw new Error('no token');
  }
  const queue = [...tables];
  const worker = async () => {
    for (let table; (table = queue.shift());) {
      const {x, y, width, height} = table.box;
      try {
        await put(`/api/models/${current.id}/tables/${table.id}/box`, {x, y, width, height});
      } catch (error) {
        message(`${table.name} was not moved: ${error.message}`);
        throw error;
      }
    }
  };
  try {
    await Promise.all([1, 2, 3, 4].map(worker));
  } finally {
    await redrawLayout();
  }
}

// The layout of model version `id` (`query`: its ?compare=), only what
// changed since `base` (what the page holds) when given: {snapshot, body}.
async function readLayout(id, query, base) {
  const from = base?.layout;
  const read = await getSnapshot(`/api/models/${id}/layout${from ? `?since=${from.snapshot}` : query}`);
  if ('since' in read.body) read.body = mergeLayout(from.body, read.body);
  return read;
}

async function redrawLayout() {
  const query = current.compare ? `?compare=${current.compare}` : '';
  const base = !query && held?.id === current.id ? held : null;
  const read = await readLayout(current.id, query, base);
  if (base !== null && held === base) held = read.snapshot ? {...base, layout: read} : null;
  view.draw(current.diagram, read.body, true);
}

// Boxes moved by hand: sibling frames that now overlap are pushed apart
// (the frame moved, or the moved box's, stays), and all is stored.
async function moveTables(tables, frame) {
  const pushed = pushApart(view.frames, view.tables, frame ? frame.id : tables[0].folder);
  await storeBoxes([...new Set([...tables, ...[...pushed].map((id) => view.tables.get(id))])]);
}

// A folder (`frame`) or, without one, the whole model laid out afresh;
// `natural`: each box at its own size again.
async function arrange(frame, natural) {
  if (!view.movable) return;
  if (natural && !confirm('Put every box of this model back at its own size in rows? ' +
      'Everyone who opens the model sees the new layout.')) return;
  const placed = autoLayout(view.frames, view.tables, frame?.id, natural);
  pushApart(view.frames, view.tables, frame?.id);
  await storeBoxes([...placed].map((id) => view.tables.get(id))).catch(() => {});
  if (!frame) view.fit();
}

// Tables and columns whose name or display name holds the search text.
function search() {
  const text = $('search').value.trim().toLowerCase();
  const found = [];
  const holds = (thing) => thing.name.toLowerCase().includes(text) ||
      thing.display.toLowerCase().includes(text);
  if (text && view.tables) {
    for (const t of view.tables.values()) {
      if (holds(t)) found.push({table: t, text: view.nameOf(t)});
      for (const c of t.columns) if (holds(c)) found.push({table: t, text: `${view.nameOf(t)}.${view.nameOf(c)}`});
    }
  }
  view.mark(new Set(found.map((f) => f.table.id)));
  // The panel opens first, so that the box is centred in what it leaves visible.
  const open = (table) => async () => {
    await openTable(table).catch((e) => message(e.message));
    view.focus(table.id);
  };
  show($('results'), ...found.slice(0, 200).map((f) =>
    el('li', {}, el('button', {type: 'button', text: f.text, onclick: open(f.table)}))),
  text && found.length === 0 ? el('li', {class: 'none', text: 'Nothing found.'}) : null);
  $('results').hidden = !text;
}

async function route() {
  const [, kind, id, compare] =
      location.hash.match(/^#\/(project|model)\/(\d+)(?:\/compare\/(\d+))?$/) || [];
  try {
    if (kind === 'project') await showProject(Number(id));
    else if (kind === 'model') await showModel(Number(id), compare && Number(compare));
    else await showProjects();
  } catch (error) {
    message(error.message);
  }
}

function keyboard(e) {
  if (edits.key(e)) {
    e.preventDefault();
    return;
  }
  const typing = e.target.closest('input, select, textarea');
  if (e.key === 'Escape') {
    if (typing) e.target.blur();
    if (e.target === $('search') || !$('results').hidden) {
      $('search').value = '';
      search();
    }
    closePanel();
    return;
  }
  if (typing || e.ctrlKey || e.metaKey || e.altKey || $('model').hidden) return;
  const act = {'/': () => $('search').focus(), '+': () => view.zoom(1.25), '=': () => view.zoom(1.25),
    '-': () => view.zoom(0.8), '0': () => view.fit()}[e.key];
  if (act) {
    e.preventDefault();
    act();
  }
}

function toolbar() {
  const click = (id, act) => $(id).addEventListener('click', act);
  click('zoom-in', () => view.zoom(1.25));
  click('zoom-out', () => view.zoom(0.8));
  click('fit', () => view.fit());
  click('arrange', () => arrange(null, false).catch((e) => message(e.message)));
  click('reset-layout', () => arrange(null, true).catch((e) => message(e.message)));
  const file = (kind) => `${current.name}-v${current.version}.${kind}`;
  click('export-svg', () => download(new Blob([svgText(view)], {type: 'image/svg+xml'}), file('svg')));
  click('export-png', async () => download(await pngBlob(view), file('png')));
  $('display-names').addEventListener('change', (e) => {
    view.showDisplayNames(e.target.checked);
    search();
  });
}

async function start() {
  view = new DiagramView($('canvas'), {
    onOpen: (table) => openTable(table).catch((e) => message(e.message)),
    onMove: moveTables,
    onArrange: (frame) => arrange(frame, false).catch((e) => message(e.message)),
    onOpenFolder: openFolder,
    onView: () => {
      const scale = `${Math.round(view.view.k * 100)}%`;
      if ($('scale').textContent !== scale) $('scale').textContent = scale;
      minimap.draw();
    },
  });
  minimap = new Minimap($('minimap'), view);
  const editor = new Editor({model: () => current, refresh: refreshModel, report: message,
    go: (hash) => { location.hash = hash; }, onStack: () => edits?.stackChanged()});
  edits = new EditTools(editor, {view, panel: $('panel'), report: message, closePanel});
  toolbar();
  document.addEventListener('keydown', keyboard);
  $('message').querySelector('button').addEventListener('click', () => {
    $('message').hidden = true;
  });
  $('token').value = token();
  const editable = () => document.body.classList.toggle('editable', !info.readOnly && token() !== '');
  $('token').addEventListener('input', (e) => {
    const was = document.body.classList.contains('editable');
    setToken(e.target.value);
    editable();
    // The lists' edit buttons come or go.
    if (was !== document.body.classList.contains('editable') && shown.kind !== 'model') route();
  });
  $('version').addEventListener('change', (e) => { location.hash = `#/model/${e.target.value}`; });
  $('compare').addEventListener('change', (e) => {
    location.hash = `#/model/${current.id}${e.target.value ? `/compare/${e.target.value}` : ''}`;
  });
  let pending = 0;
  $('search').addEventListener('input', () => {
    clearTimeout(pending);
    pending = setTimeout(search, 120);
  });
  try {
    info = await get('/api/info');
  } catch (error) {
    message(error.message);
  }
  $('where').textContent = info.config + (info.readOnly ? ' (read-only)' : '');
  $('token').hidden = info.readOnly;
  for (const id of ['arrange', 'reset-layout']) $(id).hidden = info.readOnly;
  editable();
  window.addEventListener('hashchange', route);
  startLive({concerns, redraw: redrawShown});
  await route();
}

start();
