// Where folder frames and boxes go when boxes move: frames fitted around
// what they hold (as the server fits them, diagram/DiagramLayout.cpp), sibling
// frames pushed apart, and a folder or the model laid out afresh. Boxes are
// {x, y, width, height}; frames {id, parent, fixed, folder (its name), box}.
const PADDING = 12;
const TITLE = 22;
const GAP = 24;

// The estimate of the server's textWidth (diagram/DiagramRead.cpp).
function textWidth(text) {
  let width = 0;
  for (const c of text) width += c.codePointAt(0) < 0x80 ? 7 : 12;
  return width;
}

function bounds(boxes) {
  if (boxes.length === 0) return null;
  const left = Math.min(...boxes.map((b) => b.x));
  const top = Math.min(...boxes.map((b) => b.y));
  return {x: left, y: top, width: Math.max(...boxes.map((b) => b.x + b.width)) - left,
    height: Math.max(...boxes.map((b) => b.y + b.height)) - top};
}

/** The frames of `frames` that lie inside the frame of `id`, itself included. */
export function subtree(frames, id) {
  const ids = new Set([id]);
  for (let grown = true; grown;) {
    grown = false;
    for (const f of frames) {
      if (!ids.has(f.id) && ids.has(f.parent)) {
        ids.add(f.id);
        grown = true;
      }
    }
  }
  return ids;
}

/**
 * Fits each frame that no scene record fixes around its tables (those of
 * `tables`, a Map id -> {box, folder}) and its sub-frames, children first.
 */
export function fitFrames(frames, tables) {
  const byId = new Map(frames.map((f) => [f.id, f]));
  const done = new Set();
  const fit = (frame) => {
    if (done.has(frame.id)) return frame.box;
    done.add(frame.id);
    const held = [...tables.values()].filter((t) => t.folder === frame.id).map((t) => t.box);
    for (const f of frames) if (f.parent === frame.id && f.id !== frame.id) held.push(fit(f));
    const b = bounds(held);
    if (b && !frame.fixed) {
      const top = b.y - TITLE - PADDING / 2;
      frame.box = {x: b.x - PADDING, y: top,
        width: Math.max(b.width, textWidth(frame.folder), 60) + 2 * PADDING,
        height: b.y + b.height + PADDING - top};
    }
    return frame.box;
  };
  for (const f of frames) if (!byId.has(f.parent) || f.parent === f.id) fit(f);
  for (const f of frames) fit(f);
}

const overlap = (a, b) => a.x < b.x + b.width && b.x < a.x + a.width &&
    a.y < b.y + b.height && b.y < a.y + a.height;

/**
 * Pushes sibling frames apart (right or down, whichever is shorter) until
 * none overlaps another, keeping `keep` (a frame id, or none) where it is;
 * moves the boxes of a pushed frame with it. Answers the ids of the tables
 * moved.
 */
export function pushApart(frames, tables, keep) {
  const moved = new Set();
  for (let round = 0; round < 200; ++round) {
    fitFrames(frames, tables);
    let pair = null;
    for (const a of frames) {
      for (const b of frames) {
        if (a.id < b.id && a.parent === b.parent && !a.fixed && !b.fixed && overlap(a.box, b.box)) {
          pair = [a, b];
          break;
        }
      }
      if (pair) break;
    }
    if (!pair) break;
    // The frame kept, or the one higher and further left, stays.
    const [a, b] = pair;
    const stays = a.id === keep || (b.id !== keep && (a.box.y < b.box.y ||
        (a.box.y === b.box.y && a.box.x <= b.box.x))) ? a : b;
    const goes = stays === a ? b : a;
    const right = stays.box.x + stays.box.width + GAP - goes.box.x;
    const down = stays.box.y + stays.box.height + GAP - goes.box.y;
    const [dx, dy] = right <= down ? [right, 0] : [0, down];
    const inside = subtree(frames, goes.id);
    for (const t of tables.values()) {
      if (inside.has(t.folder)) {
        t.box = {...t.box, x: t.box.x + dx, y: t.box.y + dy};
        moved.add(t.id);
      }
    }
  }
  return moved;
}

// Boxes in rows about as wide as the whole is high, from (x, y); their size.
function shelves(items, x, y) {
  const area = items.reduce((sum, i) => sum + (i.width + GAP) * (i.height + GAP), 0);
  const wide = Math.max(...items.map((i) => i.width), Math.sqrt(area * 1.6));
  let [left, top, rowHeight, width] = [x, y, 0, 0];
  for (const item of items) {
    if (left > x && left + item.width > x + wide) {
      [left, top, rowHeight] = [x, top + rowHeight + GAP, 0];
    }
    item.place(left, top);
    left += item.width + GAP;
    rowHeight = Math.max(rowHeight, item.height);
    width = Math.max(width, left - GAP - x);
  }
  return {width, height: top + rowHeight - y};
}

/**
 * Lays out the frame of `id` (none: the whole model) afresh: its tables in
 * rows, its sub-folders' frames in rows below them, from where the frame
 * stands; with `natural` each box takes its own size (width, height of
 * `tables`) again. Answers the ids of the tables placed.
 */
export function autoLayout(frames, tables, id, natural) {
  const placed = new Set();
  const folderItem = (fid) => {
    const own = [...tables.values()].filter((t) => t.folder === fid);
    const subs = frames.filter((f) => f.parent === fid && f.id !== fid && !f.fixed);
    const items = own.map((t) => {
      if (natural) t.box = {...t.box, width: t.width, height: t.height};
      placed.add(t.id);
      return {width: t.box.width, height: t.box.height,
        place: (x, y) => { t.box = {...t.box, x, y}; }};
    });
    // Sub-folders laid out first, to know their size, then moved in place.
    const subItems = subs.map((f) => {
      const inner = folderItem(f.id);
      return {width: inner.width + 2 * PADDING, height: inner.height + TITLE + PADDING * 1.5,
        place: (x, y) => inner.place(x + PADDING, y + TITLE + PADDING / 2)};
    });
    const places = [];
    const run = (list, x, y) => {
      const at = [];
      const s = shelves(list.map((i) => ({...i, place: (px, py) => at.push([i, px, py])})), x, y);
      places.push(...at);
      return s;
    };
    const tablesSize = items.length ? run(items, 0, 0) : {width: 0, height: 0};
    const subsTop = items.length ? tablesSize.height + GAP : 0;
    const subsSize = subItems.length ? run(subItems, 0, subsTop) : {width: 0, height: 0};
    const size = {width: Math.max(tablesSize.width, subsSize.width, 60),
      height: subItems.length ? subsTop + subsSize.height : tablesSize.height};
    return {...size, place: (x, y) => { for (const [i, dx, dy] of places) i.place(x + dx, y + dy); }};
  };
  if (id === undefined || id === null) {
    folderItem(0).place(0, GAP);  // the tables no folder holds, then the root folders
  } else {
    const frame = frames.find((f) => f.id === id);
    folderItem(id).place(frame.box.x + PADDING, frame.box.y + TITLE + PADDING / 2);
  }
  fitFrames(frames, tables);
  return placed;
}
