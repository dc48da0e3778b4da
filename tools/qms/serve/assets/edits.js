// The edits of the page: each opens a form (or a confirmation), sends its
// request, records the inverse for undo and has the model drawn again.
// Requests go through api.send (write token, If-Match); a refusal stays in
// the form beside its field and changes nothing on the page.
import {ApiError, get, send, tagOf} from './api.js';
import {openForm} from './edit-forms.js';
import {el} from './dom.js';
import {op, ref, refValue, UndoStack} from './undo.js';

const TYPES = ['int', 'text', 'real', 'bytes', 'blob'];
const COLUMN_FIELDS = ['type', 'display', 'default', 'index', 'unique', 'maxLength', 'references'];

/**
 * `page`: {model() (the model version shown, the answer of /api/models/ID),
 * refresh() (draws it again keeping the view and the open panel),
 * go(hash), report(text, kind)}.
 */
export class Editor {
  constructor(page) {
    this.page = page;
    this.undo = new UndoStack(() => this.page.onStack?.(), page.report, () => page.refresh(), page.go);
  }

  // A form of the model shown: its edit is sent with the model's tag as it
  // was when the form opened, so a change drawn meanwhile is not overwritten.
  form(options) {
    const tag = tagOf(this.modelPath);
    openForm({...options, onSubmit: (values) => {
      this.formTag = tag;
      return options.onSubmit(values);
    }});
  }

  get modelPath() {
    return `/api/models/${this.page.model().id}`;
  }

  // The folders of the model shown, as [{id, path, parent, tables, folders}] in tree order.
  folders() {
    const out = [];
    const walk = (list, parent, prefix) => {
      for (const f of list) {
        const path = `${prefix}${f.name}`;
        out.push({id: f.id, name: f.name, path, parent, tables: f.tables, folders: f.folders});
        walk(f.folders, f.id, `${path}/`);
      }
    };
    walk(this.page.model().folders, null, '');
    return out;
  }

  tableOptions() {
    return [[null, '(none)'], ...this.page.model().diagram.tables.map((t) => [t.id, t.name])];
  }

  // Sends `forward`, records it under `label` with its `inverse` (for an
  // edit that makes a record of `kind`: a function of the new id, and a
  // redo makes the record again under that id) and draws the model again.
  async edit(label, forward, inverse, kind = null) {
    let answer = null;
    for (const step of forward.steps) {
      const path = this.undo.fill(step.path);
      answer = await send(step.method, path, step.body ? this.undo.fill(step.body) : {}, this.formTag);
      this.undo.wrote(path);
    }
    if (kind) {
      const id = answer.column ?? answer.id;
      forward = op(...forward.steps.map((step) => ({...step, made: {kind, id}})));
      inverse = inverse(id);
    }
    if (inverse) this.undo.record(label, forward, inverse);
    this.page.report(`Done: ${label}`, 'info');
    await this.page.refresh();
    return answer;
  }

  newFolder(parent = null) {
    const m = this.modelPath;
    this.form({title: 'New folder', submit: 'Create folder', fields: [
      {name: 'name', label: 'Name', kind: 'text'},
      {name: 'parent', label: 'Inside', kind: 'select', value: parent,
        options: [[null, '(the model: a root folder)'], ...this.folders().map((f) => [f.id, f.path])]},
    ], onSubmit: ({name, parent: p}) => this.edit(`new folder ${name}`,
        op({method: 'POST', path: `${m}/folders`, body: {name, parent: p && refValue('folder', p)}}),
        (id) => op({method: 'DELETE', path: `${m}/folders/${ref('folder', id)}`}), 'folder')});
  }

  // Undo makes the folder again with what went with it: its sub-folders,
  // then their tables, then the columns (a reference among them reaches a
  // table made again). References of other tables to them stay ended.
  async deleteFolder(id) {
    const m = this.modelPath;
    const folder = this.folders().find((f) => f.id === id);
    if (!folder) return;
    const inner = this.folders().filter((f) => f.path.startsWith(`${folder.path}/`));
    const held = [folder, ...inner].flatMap((f) => f.tables.map((t) => ({id: t.id, name: t.name, folder: f.id})));
    const tables = await Promise.all(held.map(async (t) => ({...await this.tableWithColumns(t.id), folder: t.folder})));
    const goes = held.length === 0 && inner.length === 0 ? ['The folder is empty; undo brings it back.']
      : [`Goes with it: ${inner.length} folder(s) and ${held.length} table(s), their columns, ` +
        'and the references of other tables to them. Undo makes them again (not those references).',
      el('ul', {class: 'goes'}, ...[...inner.map((f) => `folder ${f.path}`),
        ...held.map((t) => `table ${t.name}`)].map((t) => el('li', {text: t})))];
    const remake = op(...[folder, ...inner].map((f) => ({method: 'POST', path: `${m}/folders`,
      made: {kind: 'folder', id: f.id}, body: {name: f.name, parent: f.parent && refValue('folder', f.parent)}})),
    ...tables.map((t) => tableStep(m, t)), ...tables.flatMap((t) => columnSteps(m, t)));
    this.form({title: `Delete folder ${folder.path}?`, lines: goes, submit: 'Delete folder',
      danger: true, onSubmit: () => this.edit(`delete folder ${folder.name}`,
          op({method: 'DELETE', path: `${m}/folders/${ref('folder', id)}`}), remake)});
  }

  newTable(folder) {
    const m = this.modelPath;
    const folders = this.folders();
    this.form({title: 'New table', submit: 'Create table', fields: [
      {name: 'folder', label: 'Folder', kind: 'select', value: folder ?? folders[0]?.id,
        options: folders.map((f) => [f.id, f.path])},
      {name: 'name', label: 'Name', kind: 'text'},
      {name: 'display', label: 'Display name (optional)', kind: 'text'},
    ], onSubmit: (values) => {
      const body = {folder: refValue('folder', values.folder), name: values.name,
        ...(values.display ? {display: values.display} : {})};
      return this.edit(`new table ${values.name}`, op({method: 'POST', path: `${m}/tables`, body}),
          (tid) => op({method: 'DELETE', path: `${m}/tables/${ref('table', tid)}`}), 'table');
    }});
  }

  changeTable(table, folder) {
    const m = this.modelPath;
    this.form({title: `Table ${table.name}`, submit: 'Save', fields: [
      {name: 'name', label: 'Name', kind: 'fixed', value: table.name},
      {name: 'display', label: 'Display name', kind: 'text', value: table.display},
      {name: 'folder', label: 'Folder', kind: 'select', value: folder,
        options: this.folders().map((f) => [f.id, f.path])},
    ], onSubmit: (values) => {
      const now = {};
      const was = {};
      if (values.display !== table.display) [now.display, was.display] = [values.display, table.display];
      if (values.folder !== folder) [now.folder, was.folder] = [values.folder, folder];
      if (Object.keys(now).length === 0) return Promise.resolve();
      const patch = (fields) => op({method: 'PATCH', path: `${m}/tables/${ref('table', table.id)}`,
        body: {...fields, ...('folder' in fields ? {folder: refValue('folder', fields.folder)} : {})}});
      const what = 'folder' in now ? `move table ${table.name}` : `change table ${table.name}`;
      return this.edit(what, patch(now), patch(was));
    }});
  }

  // The table as it stands, with its columns (ids, every field) and its folder.
  async tableWithColumns(id) {
    const details = await get(`${this.modelPath}/tables/${id}`);
    const drawn = this.page.model().diagram.tables.find((t) => t.id === id);
    details.columns.forEach((c) => {
      const to = drawn?.columns.find((d) => d.id === c.id)?.fkTableID;
      c.references = to > 0 ? to : null;  // no reference: 0 or -1
    });
    return details;
  }

  async deleteTable(id, folder) {
    const m = this.modelPath;
    const table = await this.tableWithColumns(id);
    const remake = op(tableStep(m, {...table, folder}), ...columnSteps(m, table));
    this.form({title: `Delete table ${table.name}?`, lines: [
      `Its ${table.columns.length} column(s) go with it, and the references of other tables to it end.` +
      ' Undo makes it again with its columns (not those references).'],
    submit: 'Delete table', danger: true,
    onSubmit: () => this.edit(`delete table ${table.name}`,
        op({method: 'DELETE', path: `${m}/tables/${ref('table', id)}`}), remake)});
  }

  columnFields(column) {
    return [
      {name: 'name', label: 'Name', kind: column ? 'fixed' : 'text', value: column?.name ?? ''},
      {name: 'type', label: 'Type', kind: 'select', value: column?.type ?? 'text',
        options: TYPES.map((t) => [t, t])},
      {name: 'display', label: 'Display name', kind: 'text', value: column?.display ?? ''},
      {name: 'default', label: 'Default', kind: 'text', value: column?.default ?? ''},
      {name: 'index', label: 'Index', kind: 'checkbox', value: column?.index ?? false},
      {name: 'unique', label: 'Unique', kind: 'checkbox', value: column?.unique ?? false},
      {name: 'maxLength', label: 'Maximum length', kind: 'number',
        value: column?.maxLength > 0 ? column.maxLength : ''},
      {name: 'references', label: 'Refers to', kind: 'select', value: column?.references ?? null,
        options: this.tableOptions()},
    ];
  }

  newColumn(tableId) {
    const m = this.modelPath;
    const table = this.page.model().diagram.tables.find((t) => t.id === tableId);
    this.form({title: `New column of ${table.name}`, submit: 'Add column', fields: this.columnFields(null),
      onSubmit: (values) => {
        const path = `${m}/tables/${ref('table', tableId)}/columns`;
        return this.edit(`new column ${table.name}.${values.name}`,
            op({method: 'POST', path, body: columnBody(values)}),
            (cid) => op({method: 'DELETE', path: `${path}/${ref('column', cid)}`}), 'column');
      }});
  }

  async changeColumn(tableId, columnId) {
    const m = this.modelPath;
    const table = await this.tableWithColumns(tableId);
    const column = table.columns.find((c) => c.id === columnId);
    if (!column) return;
    this.form({title: `Column ${table.name}.${column.name}`, submit: 'Save',
      fields: this.columnFields(column), onSubmit: (values) => {
        const now = {};
        const was = {};
        const old = {...column, maxLength: column.maxLength > 0 ? column.maxLength : null};
        for (const f of COLUMN_FIELDS) {
          if (values[f] !== old[f] && !(f === 'maxLength' && values[f] === null)) {
            [now[f], was[f]] = [values[f], old[f]];
          }
        }
        if (Object.keys(now).length === 0) return Promise.resolve();
        const patch = (fields) => op({method: 'PATCH',
          path: `${m}/tables/${ref('table', tableId)}/columns/${ref('column', columnId)}`,
          body: patchBody(fields)});
        return this.edit(`change column ${table.name}.${column.name}`, patch(now), patch(was));
      }});
  }

  async deleteColumn(tableId, columnId) {
    const m = this.modelPath;
    const table = await this.tableWithColumns(tableId);
    const column = table.columns.find((c) => c.id === columnId);
    if (!column) return;
    const path = `${m}/tables/${ref('table', tableId)}/columns`;
    this.form({title: `Delete column ${table.name}.${column.name}?`, submit: 'Delete column', danger: true,
      lines: ['Earlier versions keep it. Undo adds it again.'],
      onSubmit: () => this.edit(`delete column ${table.name}.${column.name}`,
          op({method: 'DELETE', path: `${path}/${ref('column', columnId)}`}),
          op({method: 'POST', path, made: {kind: 'column', id: columnId}, body: columnBody(column)}))});
  }

  newProject() {
    openForm({title: 'New project', submit: 'Create project', fields: [
      {name: 'name', label: 'Name', kind: 'text'},
      {name: 'author', label: 'Author (optional)', kind: 'text'},
      {name: 'type', label: 'Type', kind: 'select', value: 2, options: [[2, 'application'], [1, 'platform']]},
    ], onSubmit: async ({name, author, type}) => {
      const body = {name, type, ...(author ? {author} : {})};
      const made = await send('POST', '/api/projects', body);
      // Undo deletes it with the tag it had when new: refused once it holds a model.
      const forward = {...op({method: 'POST', path: '/api/projects', body, made: {kind: 'project', id: made.id}}),
        go: `#/project/${ref('project', made.id)}`};
      const inverse = {...op({method: 'DELETE', ifMatch: tagOf(`/api/projects/${made.id}`),
        path: `/api/projects/${ref('project', made.id)}?confirm=${encodeURIComponent(name)}`,
        refused: `project ${name} is no longer empty: undo would delete its models`}), go: '#/'};
      this.undo.record(`new project ${name}`, forward, inverse);
      this.page.report(`Done: new project ${name}`, 'info');
      this.page.go(`#/project/${made.id}`);
    }});
  }

  newModel(project) {
    openForm({title: `New model in ${project.name}`, submit: 'Create model', fields: [
      {name: 'name', label: 'Name', kind: 'text'},
      {name: 'display', label: 'Display name (optional)', kind: 'text'},
    ], onSubmit: async ({name, display}) => {
      const body = {name, ...(display ? {display} : {})};
      const made = await send('POST', `/api/projects/${project.id}/models`, body);
      // Undo deletes it with the tag it had when new: refused once anything
      // in it changed (a folder, a table, a lock, a new version).
      const read = `/api/models/${made.id}`;
      await get(read);
      this.undo.madeWith('model', made.id, tagOf(read));
      const forward = {...op({method: 'POST', path: `/api/projects/${ref('project', project.id)}/models`, body,
        made: {kind: 'model', id: made.id}, tagMade: `/api/models/${ref('model', made.id)}`}),
        go: `#/model/${ref('model', made.id)}`};
      const inverse = {...op({method: 'DELETE', ifMatchMade: {kind: 'model', id: made.id},
        path: `/api/models/${ref('model', made.id)}?confirm=${encodeURIComponent(name)}`,
        refused: `model ${name} changed since it was made: undo would delete what was added to it`}),
        go: `#/project/${ref('project', project.id)}`};
      this.undo.record(`new model ${name}`, forward, inverse);
      this.page.report(`Done: new model ${name}`, 'info');
      this.page.go(`#/model/${made.id}`);
    }});
  }

  // Undo deletes the version made and unlocks the one before, which the
  // server refuses once anything in the new version changed.
  upgradeModel() {
    const model = this.page.model();
    openForm({title: `Upgrade ${model.name} to version ${model.version + 1}?`, submit: 'Upgrade',
      lines: [`Version ${model.version} is locked and stays as it is; the changes go on in the new version.` +
        ' Undo takes the new version back while nothing in it changed.'],
      onSubmit: async () => {
        const made = await send('POST', `${this.modelPath}/upgrade`, {});
        const forward = {...op({method: 'POST', path: `/api/models/${ref('model', model.id)}/upgrade`,
          made: {kind: 'model', id: made.id}}), go: `#/model/${ref('model', made.id)}`};
        const locked = Boolean(model.versions.find((v) => v.id === model.id)?.locked);
        const inverse = {...op({method: 'DELETE', path: `/api/models/${ref('model', made.id)}/upgrade`,
          body: {locked}}),
          go: `#/model/${ref('model', model.id)}`};
        this.undo.record(`upgrade ${model.name} to version ${made.version}`, forward, inverse);
        this.page.report(`Done: ${model.name} version ${made.version}`, 'info');
        this.page.go(`#/model/${made.id}`);
      }});
  }

  lockModel() {
    const model = this.page.model();
    openForm({title: `Lock ${model.name} version ${model.version}?`, submit: 'Lock', danger: true,
      lines: ['Nothing in this version may change any more, also not by undo. This cannot be undone.'],
      onSubmit: async () => {
        await send('POST', `${this.modelPath}/lock`, {});
        this.undo.wrote(this.modelPath);  // the page's own change
        this.page.report(`Done: ${model.name} version ${model.version} locked`, 'info');
        await this.page.refresh();
      }});
  }

  // A deletion that takes more: the server's 409 without ?confirm= lists
  // what goes (`describe(goes)` words it); confirmed, it is sent with the name.
  async confirmDeletion(path, name, title, describe, after) {
    let goes;
    try {
      await send('DELETE', path, {});
    } catch (error) {
      if (!(error instanceof ApiError) || error.field !== 'confirm') throw error;
      goes = error.goes;
    }
    if (goes === undefined) return after();  // nothing asked for a confirmation
    openForm({title, lines: [...describe(goes), 'This cannot be undone.'], submit: `Delete ${name}`,
      danger: true, onSubmit: async () => {
        await send('DELETE', `${path}?confirm=${encodeURIComponent(name)}`, {});
        await after();
      }});
  }

  deleteModel() {
    const model = this.page.model();
    const version = new Map(model.versions.map((v) => [v.id, v.version]));
    return this.confirmDeletion(this.modelPath, model.name, `Delete model ${model.name}?`, (goes) => [
      `Every version goes: ${goes.versions.map((id) => `version ${version.get(id) ?? id}`).join(', ')},` +
      ' with their folders, tables and columns.'], () => {
      this.page.report(`Done: model ${model.name} deleted`, 'info');
      this.page.go(`#/project/${model.projectId}`);
    });
  }

  deleteProject(project) {
    return this.confirmDeletion(`/api/projects/${project.id}`, project.name, `Delete project ${project.name}?`,
        (goes) => [goes.models.length ? 'Its models go with it:' : 'It has no models.',
          el('ul', {class: 'goes'}, ...goes.models.map((m) => el('li', {text: `${m.name} version ${m.version}`})))],
        () => {
          this.page.report(`Done: project ${project.name} deleted`, 'info');
          this.page.go('#/');
        });
  }
}

// The step that makes `table` (its id, name, display, folder) again in model path `m`.
function tableStep(m, table) {
  return {method: 'POST', path: `${m}/tables`, made: {kind: 'table', id: table.id},
    body: {folder: refValue('folder', table.folder), name: table.name, display: table.display || table.name}};
}

// The steps that make the columns of `table` again.
function columnSteps(m, table) {
  return table.columns.map((c) => ({method: 'POST', path: `${m}/tables/${ref('table', table.id)}/columns`,
    made: {kind: 'column', id: c.id}, body: columnBody(c)}));
}

// The body that makes a column again or anew: only the fields it has.
function columnBody(c) {
  return {name: c.name, type: c.type, index: Boolean(c.index), unique: Boolean(c.unique),
    ...(c.display ? {display: c.display} : {}), ...(c.default ? {default: c.default} : {}),
    ...(c.maxLength > 0 ? {maxLength: c.maxLength} : {}),
    ...(c.references ? {references: refValue('table', c.references)} : {})};
}

function patchBody(fields) {
  const body = {...fields};
  if ('references' in body) body.references = body.references && refValue('table', body.references);
  if (body.maxLength === null) delete body.maxLength;
  return body;
}
