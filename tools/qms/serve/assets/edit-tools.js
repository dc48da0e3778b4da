// The page's editing controls: the model's edit bar, the buttons of the
// table and folder panels and of a project, what is chosen (a table, a
// column or a folder) and the keys Delete, Esc, Ctrl+Z and Ctrl+Shift+Z.
// They are shown only with a write token on a server that is not read-only.
import {closeForm, formOpen} from './edit-forms.js';
import {el} from './dom.js';
import {showFolder} from './panel.js';

const button = (text, title, onclick, kind = '') =>
  el('button', {type: 'button', class: `edit ${kind}`, text, title, onclick});

export class EditTools {
  /** `editor`: an Editor; `page`: {view, panel, report, closePanel()}. */
  constructor(editor, page) {
    this.editor = editor;
    this.page = page;
    this.chosen = null;  // {kind: 'table' | 'folder', id}
    const $ = (id) => document.getElementById(id);
    const run = (act) => () => Promise.resolve(act()).catch((e) => page.report(e.message));
    for (const [id, act] of [['new-folder', () => editor.newFolder(this.chosenFolder())],
      ['new-table', () => editor.newTable(this.chosenFolder())], ['upgrade', () => editor.upgradeModel()],
      ['lock', () => editor.lockModel()], ['delete-model', () => editor.deleteModel()],
      ['undo', () => editor.undo.undo()], ['redo', () => editor.undo.redo()]]) {
      $(id).addEventListener('click', run(act));
    }
    this.stackChanged();
  }

  /** Whether edits are offered: a token given, a server that writes. */
  get on() {
    return document.body.classList.contains('editable');
  }

  // The undo and redo buttons of the model's bar and of the lists.
  stackChanged() {
    const {done, undone} = this.editor.undo;
    for (const b of document.querySelectorAll('#undo, button.undo')) {
      b.disabled = done.length === 0;
      b.title = done.length ? `Undo: ${done.at(-1).label} (Ctrl+Z)` : 'Nothing to undo';
    }
    for (const b of document.querySelectorAll('#redo, button.redo')) {
      b.disabled = undone.length === 0;
      b.title = undone.length ? `Redo: ${undone.at(-1).label} (Ctrl+Shift+Z)` : 'Nothing to redo';
    }
  }

  // Undo and redo buttons for a list's edit bar.
  undoButtons() {
    const stack = this.editor.undo;
    const act = (p) => p.catch((e) => this.page.report(e.message));
    return [button('\u21b6 Undo', '', () => act(stack.undo()), 'undo'),
      button('Redo \u21b7', '', () => act(stack.redo()), 'redo')];
  }

  /** The buttons of the list of projects. */
  projectsEdits() {
    if (!this.on) return null;
    const bar = el('div', {class: 'edit-actions'},
        button('New project', 'A new project', () => this.editor.newProject()), ...this.undoButtons());
    queueMicrotask(() => this.stackChanged());
    return bar;
  }

  chosenFolder() {
    if (this.chosen?.kind === 'folder') return this.chosen.id;
    if (this.chosen?.kind === 'table') return this.page.view.tables.get(this.chosen.id)?.folder;
    return undefined;
  }

  /** The edit buttons of an opened table (`details`: /api/models/M/tables/T), or null. */
  tableEdits(details) {
    this.chosen = {kind: 'table', id: details.id};
    if (!this.on) return null;
    const e = this.editor;
    const folder = () => this.page.view.tables.get(details.id)?.folder;
    const report = (p) => p?.catch?.((error) => this.page.report(error.message));
    return {
      actions: el('div', {class: 'edit-actions'},
          button('Change', 'Display name and folder', () => e.changeTable(details, folder())),
          button('Add column', 'A new column of this table', () => e.newColumn(details.id)),
          button('Delete', 'Delete this table (Delete)', () => report(e.deleteTable(details.id, folder())), 'danger')),
      column: (c) => el('span', {},
          button('Edit', `Change ${c.name}`, () => report(e.changeColumn(details.id, c.id))),
          button('\u00d7', `Delete ${c.name}`, () => report(e.deleteColumn(details.id, c.id)), 'danger')),
    };
  }

  /** Opens the panel of folder `id` with its edit buttons. */
  openFolder(id) {
    const folder = this.editor.folders().find((f) => f.id === id);
    if (!folder || !this.on) return false;
    this.chosen = {kind: 'folder', id};
    const e = this.editor;
    showFolder(this.page.panel, folder, () => this.page.closePanel(), el('div', {class: 'edit-actions'},
        button('New table', 'A new table in this folder', () => e.newTable(id)),
        button('New folder', 'A new folder inside this one', () => e.newFolder(id)),
        button('Delete', 'Delete this folder (Delete)',
            () => e.deleteFolder(id).catch((error) => this.page.report(error.message)), 'danger')));
    return true;
  }

  /** The buttons of a project's page. */
  projectEdits(project) {
    if (!this.on) return null;
    const bar = el('div', {class: 'edit-actions'},
        button('New model', 'A new model in this project', () => this.editor.newModel(project)),
        button('Delete project', 'Delete this project with its models',
            () => this.editor.deleteProject(project).catch((e) => this.page.report(e.message)), 'danger'),
        ...this.undoButtons());
    queueMicrotask(() => this.stackChanged());
    return bar;
  }

  // Delete: the chosen column, else the chosen table or folder, after a confirmation.
  deleteChosen() {
    const line = this.page.panel.hidden ? null : this.page.panel.querySelector('tr.chosen');
    const e = this.editor;
    const act = line && this.chosen?.kind === 'table' ? e.deleteColumn(this.chosen.id, Number(line.dataset.id))
      : this.chosen?.kind === 'table' ? e.deleteTable(this.chosen.id, this.chosenFolder())
        : this.chosen?.kind === 'folder' ? e.deleteFolder(this.chosen.id) : null;
    Promise.resolve(act).catch((error) => this.page.report(error.message));
  }

  /** Handles an editing key; answers whether it did. */
  key(e) {
    if (e.key === 'Escape' && formOpen()) {
      closeForm();
      return true;
    }
    const typing = e.target.closest('input, select, textarea');
    if (!this.on || typing || formOpen()) return false;
    const model = !document.getElementById('model').hidden;
    if (model && e.key === 'Delete' && !e.ctrlKey && !e.metaKey && !e.altKey) {
      this.deleteChosen();
      return true;
    }
    if ((e.ctrlKey || e.metaKey) && e.key.toLowerCase() === 'z') {
      const stack = this.editor.undo;
      (e.shiftKey ? stack.redo() : stack.undo()).catch((error) => this.page.report(error.message));
      return true;
    }
    return false;
  }
}
