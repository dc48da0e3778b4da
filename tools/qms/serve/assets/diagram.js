// The model's picture: the tables of /api/models/ID ("diagram") in the
// frames and boxes of /api/models/ID/layout, with the arrows it routes, drawn
// as qms diagram draws them (a column's line reads "name: type", its marks
// on the right), with pan, zoom, fit, and boxes and frames that move.
import {fitFrames, subtree} from './layout.js';
import {svg, show} from './dom.js';

const MIN_WIDTH = 60;
const HANDLE = 8;
const MIN_SCALE = 0.02;
const MAX_SCALE = 4;
// Below this scale column lines would be under 4 pixels high: they are left out.
const DETAIL_SCALE = 0.3;
const MARK_TITLES = {PK: 'primary key', K: 'find key', IX: 'index', UQ: 'unique',
  FK: 'refers to another table'};

// While a box is dragged, its arrows are drawn as plain elbows; the routes
// around boxes come with the layout once the move is stored.
function elbow(arrow) {
  const a = arrow.from.box;
  const b = arrow.to.box;
  const y = Math.min(a.y + a.height - 4, a.y + 30 + 16 * arrow.row);
  const end = b.y + 11;
  if (arrow.from === arrow.to) {
    const x = a.x + a.width + 14;
    return [[a.x + a.width, y], [x, y], [x, end], [a.x + a.width, end]];
  }
  const right = a.x + a.width / 2 <= b.x + b.width / 2;
  const [sx, ex] = right ? [a.x + a.width, b.x] : [a.x, b.x + b.width];
  const mid = (sx + ex) / 2;
  return [[sx, y], [mid, y], [mid, end], [ex, end]];
}

// Whether two values read from JSON are the same (plain loops: it runs for
// every table and column of a model at each redraw).
function same(a, b) {
  if (a === b) return true;
  if (typeof a !== 'object' || typeof b !== 'object' || a === null || b === null) return false;
  if (Array.isArray(a)) {
    if (!Array.isArray(b) || a.length !== b.length) return false;
    for (let i = 0; i < a.length; ++i) if (!same(a[i], b[i])) return false;
    return true;
  }
  let count = 0;
  for (const key in a) {
    if (!same(a[key], b[key])) return false;
    ++count;
  }
  for (const key in b) if (--count < 0) return false;
  return true;
}

// Whether two routes ([[x, y], ...]) are the same.
function samePoints(a, b) {
  if (a.length !== b.length) return false;
  for (let i = 0; i < a.length; ++i) if (a[i][0] !== b[i][0] || a[i][1] !== b[i][1]) return false;
  return true;
}

// Whether the table drawn (`drawn`: a table of the diagram with its box)
// shows what `table` of a newer diagram holds.
function sameTable(drawn, table) {
  for (const key in table) if (!same(drawn[key], table[key])) return false;
  return true;
}

export class DiagramView {
  /**
   * `onOpen(table)` when a box is clicked; `onMove(tables)` when boxes were
   * moved or resized (an array of tables, each with its new `box`),
   * answering a promise that fails when they could not be stored (they
   * then go back); `onArrange(frame)` when a frame's arrange mark is
   * clicked; `onView()` when the view moved; `onOpenFolder(id)` when a
   * frame's name line is clicked.
   */
  constructor(canvas, {onOpen, onMove, onArrange, onView, onOpenFolder}) {
    this.canvas = canvas;
    // The svg reaches `slack` pixels past each side of the canvas (app.css):
    // a pan of less moves it by a CSS transform only, which the browser
    // composites without painting the picture again.
    this.picture = canvas.querySelector('svg');
    this.slack = Math.max(0, -parseFloat(getComputedStyle(this.picture).left) || 0);
    this.placed = null;  // the view the picture's elements are drawn for
    this.onOpenFolder = onOpenFolder;
    this.onArrange = onArrange;
    this.onOpen = onOpen;
    this.onMove = onMove;
    this.onView = onView || (() => {});
    this.view = {x: 0, y: 0, k: 1};
    this.movable = false;
    this.displayNames = false;
    this.tables = new Map();
    this.frames = [];
    this.columnMarks = new Map();
    this.version = 0;  // counts the changes of what is drawn (for the minimap)
    canvas.addEventListener('pointerdown', (e) => this.pointerDown(e));
    canvas.addEventListener('pointermove', (e) => this.pointerMove(e));
    canvas.addEventListener('pointerup', (e) => this.pointerUp(e));
    canvas.addEventListener('pointercancel', (e) => this.pointerUp(e));
    canvas.addEventListener('wheel', (e) => this.wheel(e), {passive: false});
    window.addEventListener('resize', () => {
      this.size = canvas.getBoundingClientRect();
      this.setView(this.view);
    });
    // visibleKnown() measures again once the canvas or the panel changed
    // size (or the panel was shown or hidden).
    const resized = new ResizeObserver(() => {
      this.seenSize = null;
      this.size = canvas.getBoundingClientRect();
    });
    resized.observe(canvas);
    const panel = document.getElementById('panel');
    if (panel) resized.observe(panel);
  }

  /**
   * Draws `diagram` in `layout`; `keepView` keeps pan and zoom and redraws
   * only the boxes and arrows that differ from what is drawn. Answers what
   * differs: {added, changed, moved} (Sets of table ids; changed: names or
   * columns) and `columns` (a Map of column id to 'live-added' or
   * 'live-changed', for the columns of changed tables).
   */
  draw(diagram, layout, keepView = false) {
    const fresh = !keepView || !this.boxLayer || !same(this.measures, diagram.measures);
    this.diagram = diagram;
    this.measures = diagram.measures;
    this.canvas.classList.toggle('movable', this.movable);
    if (fresh) this.makeLayers();
    const {diff, touched} = this.placeTables(diagram, layout);
    // The frames are few: drawn anew when they differ from those drawn.
    if (fresh || this.movable !== this.framesMovable || !same(this.framesDrawn, layout.frames)) {
      this.framesDrawn = layout.frames;
      this.framesMovable = this.movable;
      this.frames = layout.frames.map((f) => ({...f, box: {x: f.x, y: f.y, width: f.width,
        height: f.height}}));
      this.drawFrames();
    }
    const made = this.placeArrows(layout.arrows);
    this.version += 1;
    if (fresh || !this.seen) {
      this.size = this.canvas.getBoundingClientRect();
      this.seen = null;
      if (keepView) this.setView(this.view);
      else this.fit();
      this.refresh(true);
    } else {
      // The view stays: only what is new or moved may need elements.
      this.drawNear(this.seen, this.seen.detail, touched, made);
      this.onView();
    }
    return diff;
  }

  makeLayers() {
    for (const table of this.tables.values()) {
      table.node = null;
      table.detailed = false;
    }
    for (const arrow of this.arrows ?? []) arrow.line = null;
    this.frameLayer = svg('g', {class: 'frames'});
    this.arrowLayer = svg('g', {class: 'references'});
    this.boxLayer = svg('g', {class: 'tables'});
    this.layer = svg('g', {class: 'viewport'}, this.frameLayer, this.boxLayer, this.arrowLayer);
    const marker = svg('marker', {id: 'arrow', viewBox: '0 0 10 10', refX: 10, refY: 5,
      markerWidth: 8, markerHeight: 8, orient: 'auto'}, svg('path', {d: 'M0,0 L10,5 L0,10 z'}));
    show(this.picture, svg('defs', {}, marker), this.layer);
    this.placed = null;
  }

  // The tables of `diagram` at their boxes of `layout`: a table whose names
  // and columns are as drawn keeps its box element (moved if its box or
  // folder changed); a changed one gets a new element, a deleted one loses
  // its. Answers what differs and the tables new, changed or moved.
  placeTables(diagram, layout) {
    const boxes = new Map(layout.boxes.map((b) => [b.table, b]));
    const old = this.tables;
    const diff = {added: new Set(), changed: new Set(), moved: new Set(), columns: new Map()};
    const touched = [];  // tables new, changed or moved
    this.tables = new Map();
    for (const t of diagram.tables) {
      const b = boxes.get(t.id);
      const box = {x: b.x, y: b.y, width: b.width, height: b.height};
      const was = old.get(t.id);
      old.delete(t.id);
      // A table of the answer held before (reads ?since= keep them) is as drawn.
      if (was && (was.source === t || sameTable(was, t))) {
        was.source = t;
        const moved = !same(was.box, box) || was.folder !== b.folder;
        if (moved) diff.moved.add(t.id);
        was.box = box;
        was.folder = b.folder;
        if (was.node) was.node.dataset.folder = b.folder;
        // Also a box placed here (arrange) but not drawn there yet.
        if (was.node && (moved || !same(was.placed, box))) this.placeNode(was);
        if (moved) touched.push(was);
        this.tables.set(t.id, was);
        continue;
      }
      if (was) {
        was.node?.remove();
        diff.changed.add(t.id);
        const columns = new Map(was.columns.map((c) => [c.id, c]));
        for (const c of t.columns) {
          if (!columns.has(c.id)) diff.columns.set(c.id, 'live-added');
          else if (!same(columns.get(c.id), c)) diff.columns.set(c.id, 'live-changed');
        }
      } else {
        diff.added.add(t.id);
      }
      const table = {...t, box, folder: b.folder, node: null, detailed: false,
        marks: was?.marks ?? new Set(), source: t};
      touched.push(table);
      this.tables.set(t.id, table);
    }
    for (const gone of old.values()) gone.node?.remove();
    return {diff, touched};
  }

  // The arrows of `layout`: one whose ends and route are as drawn keeps its
  // element; arrows get their elements in refresh(), as boxes do. Answers
  // the arrows made anew. The model and its layout are read by two requests:
  // an arrow whose table, target or column a change between them took away
  // is left out until the next refresh brings both again.
  placeArrows(arrows) {
    const old = new Map();
    for (const a of this.arrows ?? []) old.set(`${a.from.id}/${a.row}`, a);
    const made = [];
    const drawable = (a) => this.tables.get(a.table)?.columns[a.row] && this.tables.has(a.to);
    this.arrows = arrows.filter(drawable).map((a) => {
      const from = this.tables.get(a.table);
      const to = this.tables.get(a.to);
      const key = `${a.table}/${a.row}`;
      const was = old.get(key);
      old.delete(key);
      if (was && was.from === from && was.to === to && samePoints(was.points, a.points)) return was;
      was?.line?.remove();
      const arrow = {from, row: a.row, to, points: a.points, line: null};
      this.placeArrow(arrow);
      made.push(arrow);
      return arrow;
    });
    for (const gone of old.values()) gone.line?.remove();
    return made;
  }

  drawFrames() {
    show(this.frameLayer, ...this.frames.map((f) => {
      f.node = svg('g', {class: 'folder', 'data-id': f.id, 'data-parent': f.parent},
          svg('rect', {class: 'frame', rx: 6}), svg('rect', {class: 'frame-head', height: 22, rx: 6}),
          svg('text', {x: 8, y: 16, text: f.folder}),
          this.movable && !f.fixed ? svg('text', {class: 'arrange', y: 16, text: '\u229e'},
              svg('title', {text: 'Arrange this folder'})) : null);
      this.placeFrame(f);
      return f.node;
    }));
  }

  placeFrame(f) {
    const {x, y, width, height} = f.box;
    f.node.setAttribute('transform', `translate(${x},${y})`);
    const [body, head] = f.node.querySelectorAll('rect');
    body.setAttribute('width', width);
    body.setAttribute('height', height);
    head.setAttribute('width', width);
    f.node.querySelector('text.arrange')?.setAttribute('x', width - 18);
  }

  // Only the boxes and arrows in or near the view have elements, and the
  // boxes' column lines only where text can be read: a large model stays
  // quick to draw, pan and zoom. The elements are made for the view and a
  // margin around it, and made again only once the view leaves that part
  // (or the scale changed much): most frames of a pan move one transform.
  refresh(force = false) {
    this.pending = 0;
    if (!this.boxLayer) return;
    const {x, y, k} = this.view;
    const left = -x / k;
    const top = -y / k;
    const right = (this.size.width - x) / k;
    const bottom = (this.size.height - y) / k;
    const detail = k >= DETAIL_SCALE;
    const s = this.seen;
    if (!force && s && s.detail === detail && s.k / k < 1.5 && k / s.k < 1.5 && left >= s.left &&
        top >= s.top && right <= s.right && bottom <= s.bottom) {
      this.onView();
      return;
    }
    const margin = 0.5 * Math.max(this.size.width, this.size.height) / k;
    this.seen = {left: left - margin, top: top - margin, right: right + margin,
      bottom: bottom + margin, k, detail};
    this.drawNear(this.seen, detail);
    this.onView();
  }

  // Elements for the tables and arrows (all, or those given) in the part
  // of the picture given; those outside it lose theirs.
  drawNear({left, top, right, bottom}, detail, tables = this.tables.values(), arrows = this.arrows ?? []) {
    const dragged = this.drag?.tables ?? [];
    for (const table of tables) {
      const b = table.box;
      const near = b.x < right && b.x + b.width > left && b.y < bottom && b.y + b.height > top;
      if (near && !table.node) this.boxLayer.append(this.tableBox(table));
      if (!near && table.node && !dragged.includes(table)) {
        table.node.remove();
        table.node = null;
        table.detailed = false;
      }
      if (table.node && detail !== table.detailed) this.columnLines(table, detail);
    }
    for (const arrow of arrows) {
      const b = arrow.bounds;
      const near = b.x < right && b.right > left && b.y < bottom && b.bottom > top;
      if (near && !arrow.line) this.arrowLayer.append(this.arrowLine(arrow));
      if (!near && arrow.line) {
        arrow.line.remove();
        arrow.line = null;
      }
    }
  }

  /** The name drawn for a table or column: its display name when those are shown. */
  nameOf(thing) {
    return this.displayNames && thing.display ? thing.display : thing.name;
  }

  /** Shows display names (true) or names (false). */
  showDisplayNames(on) {
    this.displayNames = on;
    for (const table of this.tables.values()) {
      table.node?.remove();
      table.node = null;
      table.detailed = false;
    }
    this.refresh(true);
  }

  tableBox(table) {
    const m = this.measures;
    table.node = svg('g', {class: ['table', ...table.marks].join(' '), 'data-id': table.id,
      'data-folder': table.folder},
        svg('rect', {class: 'body'}),
        svg('rect', {class: 'head', height: m.titleHeight}),
        svg('text', {class: 'name', x: 8, y: 15, text: this.nameOf(table)}),
        svg('rect', {class: 'resize', width: HANDLE, height: HANDLE}));
    this.placeNode(table);
    return table.node;
  }

  columnLines(table, shown) {
    const m = this.measures;
    const handle = table.node.lastChild;
    if (shown) {
      table.columns.forEach((column, row) => {
        const mark = [this.columnMarks.get(column.id), this.columnFlash?.get(column.id)]
            .filter(Boolean).join(' ');
        const y = m.titleHeight + m.rowHeight * (row + 1) - 4;
        table.node.insertBefore(svg('text', {class: mark ? `column ${mark}` : 'column', x: 8, y,
          text: `${this.nameOf(column)}: ${column.type}`}), handle);
        if (column.marks) {
          table.node.insertBefore(svg('text', {class: 'marks', x: table.box.width - 6, y,
            'text-anchor': 'end', text: column.marks}, svg('title', {text:
              column.marks.split(' ').map((k) => MARK_TITLES[k]).join(', ')})), handle);
        }
      });
    } else {
      for (const line of table.node.querySelectorAll('text.column, text.marks')) line.remove();
    }
    table.detailed = shown;
  }

  placeNode(table) {
    if (!table.node) return;
    const {x, y, width, height} = table.box;
    table.placed = table.box;  // the box its element shows
    const [body, head] = table.node.querySelectorAll('rect');
    table.node.setAttribute('transform', `translate(${x},${y})`);
    table.node.dataset.x = x;
    table.node.dataset.y = y;
    body.setAttribute('width', width);
    body.setAttribute('height', height);
    head.setAttribute('width', width);
    const handle = table.node.lastChild;
    handle.setAttribute('x', width - HANDLE);
    handle.setAttribute('y', height - HANDLE);
    for (const marks of table.node.querySelectorAll('text.marks')) marks.setAttribute('x', width - 6);
  }

  arrowLine(arrow) {
    const column = arrow.from.columns[arrow.row];
    arrow.line = svg('polyline', {class: arrow.from === arrow.to ? 'reference loop' : 'reference',
      'marker-end': 'url(#arrow)'}, svg('title', {text:
        `${arrow.from.name}.${column.name}: ${column.type} -> ${arrow.to.name}`}));
    this.placeArrow(arrow);
    return arrow.line;
  }

  placeArrow(arrow) {
    const xs = arrow.points.map((p) => p[0]);
    const ys = arrow.points.map((p) => p[1]);
    arrow.bounds = {x: Math.min(...xs), y: Math.min(...ys), right: Math.max(...xs), bottom: Math.max(...ys)};
    arrow.line?.setAttribute('points', arrow.points.map((p) => p.join(',')).join(' '));
  }

  // Boxes moved: they, their frames and their arrows (as elbows) follow.
  placeBoxes(tables) {
    for (const table of tables) this.placeNode(table);
    const moved = new Set(tables);
    for (const arrow of this.arrows) {
      if (moved.has(arrow.from) || moved.has(arrow.to)) {
        arrow.points = elbow(arrow);
        this.placeArrow(arrow);
      }
    }
    fitFrames(this.frames, this.tables);
    for (const f of this.frames) this.placeFrame(f);
    this.version += 1;
  }

  /** Everything drawn: {x, y, width, height} in picture units. */
  extent() {
    const all = [...this.frames.map((f) => f.box), ...[...this.tables.values()].map((t) => t.box)];
    if (all.length === 0) return {x: 0, y: 0, width: 1, height: 1};
    const left = Math.min(...all.map((b) => b.x));
    const top = Math.min(...all.map((b) => b.y));
    return {x: left, y: top, width: Math.max(...all.map((b) => b.x + b.width)) - left,
      height: Math.max(...all.map((b) => b.y + b.height)) - top};
  }

  /** The whole picture in the visible part of the view, never larger than its own size. */
  fit() {
    const e = this.extent();
    const {width, height} = this.visible();
    const k = Math.max(MIN_SCALE, Math.min(1, (width - 40) / e.width, (height - 40) / e.height));
    this.setView({x: (width - e.width * k) / 2 - e.x * k, y: (height - e.height * k) / 2 - e.y * k, k});
  }

  /** The part of the canvas not behind the panel: {width, height} from its top left. */
  visible() {
    this.seenSize = this.measureVisible();
    return this.seenSize;
  }

  /** visible() as last measured: no layout read while panning. */
  visibleKnown() {
    return this.seenSize ?? this.visible();
  }

  measureVisible() {
    const canvas = this.canvas.getBoundingClientRect();
    const panel = document.getElementById('panel');
    const right = panel && !panel.hidden ? Math.min(canvas.right, panel.getBoundingClientRect().left)
      : canvas.right;
    return {width: Math.max(100, right - canvas.left), height: canvas.height};
  }

  /** Zooms by `factor` about the middle of the visible part. */
  zoom(factor) {
    const {width, height} = this.visible();
    this.zoomAt(width / 2, height / 2, this.view.k * factor);
  }

  zoomAt(px, py, scale) {
    const k = Math.min(MAX_SCALE, Math.max(MIN_SCALE, scale));
    const f = k / this.view.k;
    this.setView({x: px - (px - this.view.x) * f, y: py - (py - this.view.y) * f, k});
  }

  setView(view) {
    this.view = view;
    this.placeLayer();
    if (!this.pending) this.pending = requestAnimationFrame(() => this.refresh());
  }

  // The view: the picture moved by a transform of its own while the pan
  // stays within the slack at the same scale, else its layer drawn afresh.
  placeLayer() {
    if (!this.layer) return;
    const v = this.view;
    const p = this.placed;
    const dx = p ? v.x - p.x : 0;
    const dy = p ? v.y - p.y : 0;
    const room = 0.9 * this.slack;
    if (p && p.k === v.k && Math.abs(dx) <= room && Math.abs(dy) <= room) {
      this.picture.style.transform = `translate(${dx}px,${dy}px)`;
      return;
    }
    this.placed = {...v};
    this.picture.style.transform = '';
    this.layer.setAttribute('transform',
        `translate(${v.x + this.slack},${v.y + this.slack}) scale(${v.k})`);
  }

  /** Centres the picture point (x, y) in the visible part, at scale `k`. */
  centre(x, y, k = this.view.k) {
    const {width, height} = this.visible();
    this.setView({x: width / 2 - x * k, y: height / 2 - y * k, k});
  }

  /** Marks the class `mark` on the boxes of the ids in `ids` (a Set) only. */
  setMark(mark, ids) {
    for (const table of this.tables.values()) {
      if (ids.has(table.id)) table.marks.add(mark);
      else table.marks.delete(mark);
      table.node?.classList.toggle(mark, ids.has(table.id));
    }
  }

  /** Brings the box of `id` to the middle of the visible part of the view. */
  focus(id) {
    const table = this.tables.get(id);
    if (!table) return;
    const b = table.box;
    this.centre(b.x + b.width / 2, b.y + b.height / 2, Math.max(this.view.k, 0.8));
  }

  /** Marks the boxes of `ids` (a Set) as found, dimming the others; none: no marks. */
  mark(ids) {
    this.setMark('found', ids);
    const others = new Set(ids.size === 0 ? [] :
      [...this.tables.keys()].filter((id) => !ids.has(id)));
    this.setMark('dimmed', others);
  }

  /**
   * Marks what differs from another version: `changes` in the shape of
   * the model's "changes" field ({tables: {added, changed, ended},
   * columns: {added, changed, ended}}, arrays of ids); none clears the marks.
   */
  changes(changes) {
    const ids = (kind, mark) => new Set(changes?.[kind]?.[mark] ?? []);
    const before = this.columnMarks;
    this.columnMarks = new Map();
    for (const mark of ['added', 'changed', 'ended']) {
      this.setMark(mark, ids('tables', mark));
      for (const id of ids('columns', mark)) this.columnMarks.set(id, mark);
    }
    this.redrawColumns(before, this.columnMarks);
  }

  /** Marks column lines for a while: `marks` maps a column id to a class. */
  flashColumns(marks) {
    const before = this.columnFlash ?? new Map();
    this.columnFlash = marks;
    this.redrawColumns(before, marks);
  }

  // The column lines drawn again of the columns whose mark differs between
  // `before` and `now` (Maps of column id to a class).
  redrawColumns(before, now) {
    const differ = new Set([...now].filter(([id, mark]) => before.get(id) !== mark).map(([id]) => id));
    for (const [id, mark] of before) if (now.get(id) !== mark) differ.add(id);
    if (differ.size === 0) return;
    for (const table of this.tables.values()) {
      if (table.detailed && table.columns.some((c) => differ.has(c.id))) {
        this.columnLines(table, false);
        this.columnLines(table, true);
      }
    }
  }

  select(id) {
    this.setMark('selected', new Set(id === null ? [] : [id]));
  }

  point(e) {
    const rect = this.canvas.getBoundingClientRect();
    return {x: (e.clientX - rect.left - this.view.x) / this.view.k,
      y: (e.clientY - rect.top - this.view.y) / this.view.k};
  }

  pointerDown(e) {
    if (e.button !== 0) return;
    const node = e.target.closest('g.table');
    const table = node && this.tables.get(Number(node.dataset.id));
    if (e.target.classList.contains('arrange')) {
      const id = Number(e.target.closest('g.folder').dataset.id);
      this.onArrange(this.frames.find((f) => f.id === id));
      return;
    }
    const head = e.target.classList.contains('frame-head') && e.target.closest('g.folder');
    const frame = head && this.movable && this.frames.find((f) => f.id === Number(head.dataset.id));
    this.canvas.setPointerCapture(e.pointerId);
    const at = this.point(e);
    if (frame) {
      // A frame carries every box of its folder and of the folders inside it.
      const inside = subtree(this.frames, frame.id);
      const tables = [...this.tables.values()].filter((t) => inside.has(t.folder));
      this.drag = {tables, frame, at, start: tables.map((t) => ({...t.box})), moved: false};
      return;
    }
    if (!table) {
      this.drag = {pan: true, start: {x: e.clientX, y: e.clientY}, view: {...this.view}};
      return;
    }
    const resize = e.target.classList.contains('resize') && this.movable;
    this.drag = {tables: [table], resize, at, start: [{...table.box}], moved: false};
  }

  pointerMove(e) {
    const d = this.drag;
    if (!d) return;
    if (d.pan) {
      this.setView({...d.view, x: d.view.x + e.clientX - d.start.x, y: d.view.y + e.clientY - d.start.y});
      return;
    }
    const at = this.point(e);
    const dx = Math.round(at.x - d.at.x);
    const dy = Math.round(at.y - d.at.y);
    if (!this.movable || (!d.moved && Math.abs(dx) + Math.abs(dy) < 3)) return;
    d.moved = true;
    d.tables.forEach((t, i) => {
      const s = d.start[i];
      t.box = d.resize
        ? {...s, width: Math.max(MIN_WIDTH, s.width + dx),
          height: Math.max(this.measures.titleHeight, s.height + dy)}
        : {...s, x: s.x + dx, y: s.y + dy};
    });
    this.placeBoxes(d.tables);
  }

  async pointerUp(e) {
    const d = this.drag;
    this.drag = null;
    if (!d || d.pan) return;
    if (!d.moved) {
      if (d.frame) this.onOpenFolder?.(d.frame.id);
      else this.onOpen(d.tables[0]);
      return;
    }
    const started = performance.now();
    e.preventDefault();
    try {
      await this.onMove(d.tables, d.frame);
      document.body.dataset.lastWriteMs = (performance.now() - started).toFixed(1);
    } catch {
      d.tables.forEach((t, i) => { t.box = d.start[i]; });  // onMove has said why
      this.placeBoxes(d.tables);
    }
  }

  wheel(e) {
    e.preventDefault();
    const rect = this.canvas.getBoundingClientRect();
    this.zoomAt(e.clientX - rect.left, e.clientY - rect.top, this.view.k * Math.exp(-e.deltaY / 500));
  }
}
