// The JSON API of qms serve, and the message line that reports its failures.
const TOKEN_KEY = 'qms-write-token';

export function token() {
  return sessionStorage.getItem(TOKEN_KEY) || '';
}

export function setToken(value) {
  sessionStorage.setItem(TOKEN_KEY, value.trim());
}

async function answer(response) {
  const body = await response.json().catch(() => ({}));
  if (!response.ok) {
    throw new Error(body.error || `the server answered ${response.status}`);
  }
  return body;
}

export async function get(path) {
  return answer(await fetch(path, {headers: {Accept: 'application/json'}}));
}

/** Writes `body` as JSON with the write token in its header. */
export async function put(path, body) {
  return answer(await fetch(path, {
    method: 'PUT',
    headers: {'Content-Type': 'application/json', 'X-QMS-Token': token()},
    body: JSON.stringify(body),
  }));
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
