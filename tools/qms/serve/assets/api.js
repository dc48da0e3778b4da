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
