// A model file (qms model apply) of `count` tables in folders of about
// `perFolder`, every third folder inside the one before it, each table
// with a key, an indexed and a unique column, and references to tables
// before it, near and far; every tenth table refers to itself, every
// fourth has a display name. With `width`, plain columns fill each table
// up to that many.
export function modelFile(project, model, count, perFolder, width = 0) {
  const folders = [];
  for (let i = 0; i < count; ++i) {
    const f = Math.floor(i / perFolder);
    if (!folders[f]) folders[f] = {name: `Area${f + 1}`, display: `Area ${f + 1}`, tables: [], folders: []};
    const columns = [
      {name: 'code', type: 'text', display: 'Code', findKey: 1},
      {name: 'title', type: 'text', display: 'Title', index: 1},
      {name: 'serial', type: 'int', display: 'Serial number', unique: 1},
    ];
    for (const back of [1, 4, 13]) {
      if (i - back >= 0 && (back === 1 || i % back === 0)) {
        columns.push({name: `ref${back}`, type: 'int', display: `Ref ${back}`, references: `T${i - back}`});
      }
    }
    if (i % 10 === 9) columns.push({name: 'parent', type: 'int', display: 'Parent', references: `T${i}`});
    for (let c = columns.length; c < width; ++c) columns.push({name: `c${c}`, type: c % 2 ? 'int' : 'text'});
    folders[f].tables.push({name: `T${i}`, display: i % 4 === 0 ? `Table number ${i}` : `T${i}`, columns});
  }
  // Every third folder goes inside the folder before it.
  const roots = [];
  folders.forEach((f, i) => (i % 3 === 2 ? folders[i - 1].folders.push(f) : roots.push(f)));
  return {project, model, version: 1, type: 1, display: model, folders: roots};
}
