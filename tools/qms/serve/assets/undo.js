// Undo and redo of the page's own edits, by the inverse operation sent to
// the server like any edit (with If-Match). Operations are plain data, so
// that the lists are kept in sessionStorage and survive a reload: a record
// is named by ref(kind, id) in a path ("{table:12}") and by refValue(kind,
// id) in a body. A record deleted and made again has a new id, and every
// entry, earlier or later, then reaches it through the remap. An undo or
// redo is sent with the tag of the page's own last write to that model:
// when someone else changed the model since, the server refuses it (412)
// and says what changed; unless that touches the entry's records, it is
// sent again against the model as it is now.
import {ApiError, get, keyOf, send, tagOf} from './api.js';
import {refusalText} from './edit-forms.js';

/** A record in a step's path: replaced by the id it has when the step is sent. */
export function ref(kind, id) {
  return `{${kind}:${id}}`;
}

/** A record in a step's body, likewise. */
export function refValue(kind, id) {
  return {$ref: `${kind}:${id}`};
}

/**
 * An operation: `steps`, each {method, path, body, made: {kind, id},
 * tagMade, ifMatch, ifMatchMade, refused} where `made` says the step makes
 * again the record that had that id (the new id is taken from the answer:
 * `column` or `id`) and `tagMade` (a path) where to read the tag of the
 * record as made; `ifMatch` a tag of its own, or `ifMatchMade` ({kind, id})
 * the tag a record had when it was made, whose 412 means the step can
 * never be sent (`refused` says why). `go`: where the page goes after it
 * (refs allowed).
 */
export function op(...steps) {
  return {steps};
}

const STORE = 'qms-undo';

export class UndoStack {
  /**
   * `onChange()` after every change of the stacks; `report(text, kind)`
   * says what happened; `redraw()` after an operation went through;
   * `go(hash)` shows another page.
   */
  constructor(onChange, report, redraw, go) {
    this.done = [];
    this.undone = [];
    this.ids = new Map();  // "kind:old id" -> new id
    this.made = new Map();  // "kind:id" -> the record's tag when made
    this.onChange = onChange;
    this.report = report;
    this.redraw = redraw;
    this.go = go;
    this.queue = Promise.resolve();  // one undo or redo at a time, in the order asked for
    this.own = new Map();  // per model or project: its tag after the page's own last write
    this.key = '';
  }

  /**
   * The lists of `key` (a server and a model) from now on: those kept for
   * it in this tab, or empty ones.
   */
  use(key) {
    if (key === this.key) return;
    this.key = key;
    let kept = null;
    try {
      kept = JSON.parse(sessionStorage.getItem(`${STORE}:${key}`) || 'null');
    } catch {
      kept = null;
    }
    this.done = kept?.done ?? [];
    this.undone = kept?.undone ?? [];
    this.ids = new Map(kept?.ids ?? []);
    this.made = new Map(kept?.made ?? []);
    this.onChange();
  }

  save() {
    if (!this.key) return;
    try {
      sessionStorage.setItem(`${STORE}:${this.key}`,
          JSON.stringify({done: this.done, undone: this.undone, ids: [...this.ids],
            made: [...this.made]}));
    } catch {
      // Storage full or refused: the lists live on in this page only.
    }
  }

  /** The page wrote to `path`: the tag it answered is the page's own. */
  wrote(path) {
    if (keyOf(path)) this.own.set(keyOf(path), tagOf(path));
  }

  /** The id a record has now. */
  resolve(kind, id) {
    for (let seen = 0; this.ids.has(`${kind}:${id}`) && seen < 1000; ++seen) id = this.ids.get(`${kind}:${id}`);
    return id;
  }

  /** A path or a body with its records as they are now. */
  fill(value) {
    if (typeof value === 'string') {
      return value.replace(/\{(\w+):(\d+)\}/g, (_, kind, id) => String(this.resolve(kind, Number(id))));
    }
    if (Array.isArray(value)) return value.map((v) => this.fill(v));
    if (value && typeof value === 'object') {
      if (typeof value.$ref === 'string') {
        const [kind, id] = value.$ref.split(':');
        return this.resolve(kind, Number(id));
      }
      return Object.fromEntries(Object.entries(value).map(([k, v]) => [k, this.fill(v)]));
    }
    return value;
  }

  /** A record made under `made` now has `id`. */
  remap(made, id) {
    if (made && id && id !== made.id) this.ids.set(`${made.kind}:${made.id}`, id);
  }

  /** The record `kind` `id` was made with the tag `tag`. */
  madeWith(kind, id, tag) {
    this.made.set(`${kind}:${id}`, tag);
    this.save();
  }

  /** An edit that was made: `label` (what it did), `forward` and `inverse` operations. */
  record(label, forward, inverse) {
    this.done.push({label, forward, inverse});
    this.undone = [];
    this.save();
    this.onChange();
  }

  async run(operation) {
    const paths = operation.steps.map((step) => this.fill(step.path)).join(' ');
    const touched = (kind, ids) => (ids ?? []).some((id) => paths.includes(`/${kind}/${id}`));
    for (const step of operation.steps) {
      const path = this.fill(step.path);
      const body = step.body ? this.fill(step.body) : {};
      const fixed = step.ifMatchMade ?
        this.made.get(`${step.ifMatchMade.kind}:${this.resolve(step.ifMatchMade.kind, step.ifMatchMade.id)}`) ?? '"none"' :
        step.ifMatch;
      let answer;
      try {
        answer = await send(step.method, path, body, fixed ?? this.own.get(keyOf(path)));
      } catch (error) {
        if (fixed && error.status === 412) {
          throw new ApiError(409, {error: step.refused});
        }
        const c = error.changed;
        if (error.status !== 412 || !c || c.model || touched('tables', c.tables) || touched('folders', c.folders)) throw error;
        answer = await send(step.method, path, body, error.etag);
      }
      this.wrote(path);
      if (step.made) this.remap(step.made, answer.column ?? answer.id);
      if (step.tagMade) {
        const read = this.fill(step.tagMade);
        await get(read);
        this.madeWith(step.made.kind, this.resolve(step.made.kind, step.made.id), tagOf(read));
      }
    }
  }

  undo() {
    return this.next(() => this.move(this.done, this.undone, 'inverse', 'Undone'));
  }

  redo() {
    return this.next(() => this.move(this.undone, this.done, 'forward', 'Redone'));
  }

  next(act) {
    this.queue = this.queue.then(act);
    return this.queue;
  }

  // Sends the top entry's operation; on success it goes to the other stack.
  // A stale tag (412) keeps it, to be tried again once the model is read
  // again; any other refusal (the version got locked, the record is gone)
  // means it can never be sent: it is dropped, and the message says why.
  async move(from, to, which, done) {
    const entry = from.at(-1);
    if (!entry) return false;
    try {
      await this.run(entry[which]);
      from.pop();
      to.push(entry);
      this.save();
      this.onChange();
      this.report(`${done}: ${entry.label}`, 'info');
      if (entry[which].go) this.go(this.fill(entry[which].go));
      else await this.redraw();
      return true;
    } catch (error) {
      const kept = error.status === 412 || !error.status;
      if (!kept) from.pop();
      this.save();
      this.report(`Cannot ${which === 'inverse' ? 'undo' : 'redo'} "${entry.label}": ${refusalText(error)}` +
          (kept ? '' : ` \u2014 it is taken off the ${which === 'inverse' ? 'undo' : 'redo'} list`));
      return false;
    } finally {
      this.onChange();
    }
  }
}
