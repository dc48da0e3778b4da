// The JSON API of qms serve, and the message line that reports its failures.
const TOKEN_KEY = 'qms-write-token';

export function token() {
  return sessionStorage.getItem(TOKEN_KEY) || '';
}

export function setToken(value) {
  sessionStorage.setItem(TOKEN_KEY, value.trim());
}

// The tag (ETag) last read per model and per project, sent back as
// If-Match by send().
const tags = new Map();

/** Whose tag a path reads or checks: "models/ID", "projects/ID" or ''. */
export function keyOf(path) {
  const m = path.match(/^\/api\/(models|projects)\/(\d+)/);
  return m ? `${m[1]}/${m[2]}` : '';
}

/**
 * A refusal of the server: `status`, its `field` (the request field or
 * path part it concerns, or null), `hint` (what to do) and, for a stale
 * tag (412), `changed` (what changed since) and `etag`.
 */
export class ApiError extends Error {
  constructor(status, body) {
    super(body.error || `the server answered ${status}`);
    Object.assign(this, {status, field: body.field ?? null, hint: body.hint ?? '',
      changed: body.changed ?? null, etag: body.etag ?? '', goes: body.goes ?? null});
  }
}

async function answer(response, path) {
  const body = await response.json().catch(() => ({}));
  if (!response.ok) throw new ApiError(response.status, body);
  const etag = response.headers.get('ETag');
  // A new project answers its own tag.
  const key = keyOf(path) || (path === '/api/projects' && body.id ? `projects/${body.id}` : '');
  if (etag && key) tags.set(key, etag);
  return body;
}

export async function get(path) {
  return answer(await fetch(path, {headers: {Accept: 'application/json'}}), path);
}

/**
 * A read of a model's picture or layout: its answer and the snapshot it
 * shows (the X-QMS-Snapshot header; 0 for none), for a later read ?since=.
 */
export async function getSnapshot(path) {
  const response = await fetch(path, {headers: {Accept: 'application/json'}});
  return {body: await answer(response, path),
    snapshot: Number(response.headers.get('X-QMS-Snapshot') || 0)};
}

// `held` (a list) with what a read ?since= answers applied: `removed` keys
// gone, `changed` items new or replacing those of their key; the rest
// keeps its objects. In the order of `order`, as a full read lists them.
function mergeList(held, changed, removed, key, order) {
  const items = new Map(held.map((x) => [key(x), x]));
  for (const k of removed) items.delete(k);
  for (const x of changed) items.set(key(x), x);
  return [...items.values()].sort(order);
}

/**
 * What GET /api/models/ID answers now, from the answer held (`held`) and
 * the answer of a read ?since= its snapshot (`delta`: the tables changed
 * or new, and the ids of those removed).
 */
export function mergeModel(held, delta) {
  const {since, diagram: {removed, tables, ...picture}, ...model} = delta;
  return {...model, diagram: {...picture, tables: mergeList(held.diagram.tables, tables, removed,
    (t) => t.id, (a, b) => a.id - b.id)}};
}

/** The same of GET /api/models/ID/layout (boxes and arrows; the frames come whole). */
export function mergeLayout(held, delta) {
  const arrow = (a) => `${a.table},${a.row}`;
  return {
    arrows: mergeList(held.arrows, delta.arrows, delta.removedArrows.map(([t, r]) => `${t},${r}`),
        arrow, (a, b) => a.table - b.table || a.row - b.row),
    boxes: mergeList(held.boxes, delta.boxes, delta.removedBoxes, (b) => b.table,
        (a, b) => a.table - b.table),
    frames: delta.frames,
  };
}

/** Writes `body` as JSON with the write token in its header. */
export async function put(path, body) {
  return send('PUT', path, body);
}

/** The tag last read for the model or project of `path`. */
export function tagOf(path) {
  return tags.get(keyOf(path));
}

/**
 * A write: `body` as JSON with the write token and, for a path of a model
 * or a project, If-Match with `ifMatch` or else the tag last read for it.
 * Throws ApiError.
 */
export async function send(method, path, body, ifMatch = undefined) {
  const headers = {'Content-Type': 'application/json', 'X-QMS-Token': token()};
  const tag = ifMatch ?? tags.get(keyOf(path));
  if (tag && method !== 'PUT') headers['If-Match'] = tag;
  return answer(await fetch(path, {method, headers, body: JSON.stringify(body ?? {})}), path);
}

let hideTimer = 0;

/** Shows `text` in the message line; an error stays until dismissed. */
export function message(text, kind = 'error') {
  const line = document.getElementById('message');
  line.querySelector('span').textContent = text;
  line.className = kind;
  line.hidden = false;
  clearTimeout(hideTimer);
  if (kind !== 'error') hideTimer = setTimeout(() => { line.hidden = true; }, 4000);
}
