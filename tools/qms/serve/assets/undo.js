// Undo and redo of the page's own edits, by the inverse operation sent to
// the server like any edit (with If-Match). An operation names records
// through `r(kind, id)`: a record deleted and made again has a new id, and
// every entry, earlier or later, then reaches it through the remap. An
// undo or redo is sent with the tag of the page's own last write: when
// someone else changed the model since, the server refuses it (412) and
// says what changed; unless that touches the entry's records, it is sent
// again against the model as it is now.
import {send, tagOf} from './api.js';
import {refusalText} from './edit-forms.js';

/**
 * An operation: `steps`, each {method, path(r), body(r), made: {kind, id}}
 * where `made` says the step makes again the record that had that id (the
 * new id is taken from the answer: `column` or `id`).
 */
export function op(...steps) {
  return {steps};
}

export class UndoStack {
  /**
   * `onChange()` after every change of the stacks; `report(text, kind)`
   * says what happened; `redraw()` after an operation went through.
   */
  constructor(onChange, report, redraw) {
    this.done = [];
    this.undone = [];
    this.ids = new Map();  // "kind:old id" -> new id
    this.onChange = onChange;
    this.report = report;
    this.redraw = redraw;
    this.queue = Promise.resolve();  // one undo or redo at a time, in the order asked for
    this.ownTag = undefined;  // the model's tag after the page's own last write
  }

  /** The page wrote to `path`: the tag it answered is the page's own. */
  wrote(path) {
    this.ownTag = tagOf(path);
  }

  /** The id a record has now. */
  resolve(kind, id) {
    for (let seen = 0; this.ids.has(`${kind}:${id}`) && seen < 1000; ++seen) id = this.ids.get(`${kind}:${id}`);
    return id;
  }

  /** A record made under `made` now has `id`. */
  remap(made, id) {
    if (made && id && id !== made.id) this.ids.set(`${made.kind}:${made.id}`, id);
  }

  /** An edit that was made: `label` (what it did), `forward` and `inverse` operations. */
  record(label, forward, inverse) {
    this.done.push({label, forward, inverse});
    this.undone = [];
    this.onChange();
  }

  async run(operation) {
    const r = (kind, id) => this.resolve(kind, id);
    const paths = operation.steps.map((step) => step.path(r)).join(' ');
    const touched = (kind, ids) => (ids ?? []).some((id) => paths.includes(`/${kind}/${id}`));
    for (const step of operation.steps) {
      const path = step.path(r);
      const body = step.body ? step.body(r) : {};
      let answer;
      try {
        answer = await send(step.method, path, body, this.ownTag);
      } catch (error) {
        const c = error.changed;
        if (error.status !== 412 || !c || c.model || touched('tables', c.tables) || touched('folders', c.folders)) throw error;
        answer = await send(step.method, path, body, error.etag);
      }
      this.wrote(path);
      if (step.made) this.remap(step.made, answer.column ?? answer.id);
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
      this.onChange();
      this.report(`${done}: ${entry.label}`, 'info');
      await this.redraw();
      return true;
    } catch (error) {
      const kept = error.status === 412 || !error.status;
      if (!kept) from.pop();
      this.report(`Cannot ${which === 'inverse' ? 'undo' : 'redo'} "${entry.label}": ${refusalText(error)}` +
          (kept ? '' : ` \u2014 it is taken off the ${which === 'inverse' ? 'undo' : 'redo'} list`));
      return false;
    } finally {
      this.onChange();
    }
  }
}
