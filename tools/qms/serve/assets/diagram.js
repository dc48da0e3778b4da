// The model's picture: the tables of /api/models/ID ("diagram") in the
// frames and boxes of /api/models/ID/layout, with their arrows, drawn as
// qms diagram draws them (a column's line reads "name: type"), with pan,
// zoom, and boxes that move and resize.
import {svg, show} from './dom.js';

const MIN_WIDTH = 60;
const HANDLE = 8;
const MIN_SCALE = 0.02;
// Below this scale column lines would be under 4 pixels high: they are left out.
const DETAIL_SCALE = 0.3;

// The arrow of one reference, from the column's line of the source box:
// the lines of qms diagram (diagram/DiagramSvg.cpp, arrow()).
function arrowPoints(a, row, b, m) {
  const rowY = Math.min(a.y + a.height, a.y + m.titleHeight + m.rowHeight * row + m.rowHeight / 2);
  const cx = b.x + b.width / 2;
  const cy = b.y + b.height / 2;
  if (b.x >= a.x + a.width || b.x + b.width <= a.x) {
    const startX = b.x >= a.x + a.width ? a.x + a.width : a.x;
    const dx = startX - cx;
    const dy = rowY - cy;
    let scale = 1;
    if (dx !== 0) scale = Math.min(scale, b.width / 2 / Math.abs(dx));
    if (dy !== 0) scale = Math.min(scale, b.height / 2 / Math.abs(dy));
    return [[startX, rowY], [cx + dx * scale, cy + dy * scale]];
  }
  const trackX = Math.min(a.x, b.x) - 5 - 3 * (row % 3);
  return [[a.x, rowY], [trackX, rowY], [trackX, cy], [b.x, cy]];
}

export class DiagramView {
  /**
   * `onOpen(table)` when a box is clicked; `onMove(table, box)` when a box
   * was moved or resized, answering a promise that fails when the box
   * could not be stored (the box then goes back).
   */
  constructor(canvas, {onOpen, onMove}) {
    this.canvas = canvas;
    this.onOpen = onOpen;
    this.onMove = onMove;
    this.view = {x: 0, y: 0, k: 1};
    this.movable = false;
    canvas.addEventListener('pointerdown', (e) => this.pointerDown(e));
    canvas.addEventListener('pointermove', (e) => this.pointerMove(e));
    canvas.addEventListener('pointerup', (e) => this.pointerUp(e));
    canvas.addEventListener('pointercancel', (e) => this.pointerUp(e));
    canvas.addEventListener('wheel', (e) => this.wheel(e), {passive: false});
    window.addEventListener('resize', () => {
      this.size = canvas.getBoundingClientRect();
      this.setView(this.view);
    });
  }

  draw(diagram, layout) {
    this.measures = diagram.measures;
    const boxes = new Map(layout.boxes.map((b) => [b.table, b]));
    this.tables = new Map(diagram.tables.map((t) => [t.id, {...t, box: {...boxes.get(t.id)},
      columns: t.columns.map((c) => ({...c, label: `${c.name}: ${c.type}`})),
      node: null, detailed: false, marks: new Set()}]));
    this.arrows = [];
    this.columnMarks = new Map();
    const frames = svg('g', {class: 'frames'});
    for (const f of layout.frames) {
      frames.append(svg('g', {class: 'folder'},
          svg('rect', {x: f.x, y: f.y, width: f.width, height: f.height, rx: 6}),
          svg('text', {x: f.x + 8, y: f.y + 16, text: f.folder})));
    }
    const arrows = svg('g', {class: 'references'});
    for (const table of this.tables.values()) {
      table.columns.forEach((column, row) => {
        const target = this.tables.get(column.fkTableID);
        if (!target || target === table) return;
        const line = svg('polyline', {class: 'reference', 'marker-end': 'url(#arrow)'},
            svg('title', {text: `${table.name}.${column.label} -> ${target.name}`}));
        const arrow = {from: table, row, to: target, line};
        this.arrows.push(arrow);
        this.placeArrow(arrow);
        arrows.append(line);
      });
    }
    this.boxLayer = svg('g', {class: 'tables'});
    this.layer = svg('g', {class: 'viewport'}, frames, this.boxLayer, arrows);
    const marker = svg('marker', {id: 'arrow', viewBox: '0 0 10 10', refX: 10, refY: 5,
      markerWidth: 8, markerHeight: 8, orient: 'auto'}, svg('path', {d: 'M0,0 L10,5 L0,10 z'}));
    show(this.canvas, svg('defs', {}, marker), this.layer);
    this.size = this.canvas.getBoundingClientRect();
    this.fit([...layout.frames, ...layout.boxes]);
    this.refresh();
  }

  // Only the boxes in or near the view have elements, and their column
  // lines only where text can be read: a large model stays quick to draw,
  // pan and zoom.
  refresh() {
    this.pending = 0;
    if (!this.tables) return;
    const {x, y, k} = this.view;
    const margin = 0.25 * Math.max(this.size.width, this.size.height) / k;
    const left = -x / k - margin;
    const top = -y / k - margin;
    const right = (this.size.width - x) / k + margin;
    const bottom = (this.size.height - y) / k + margin;
    const detail = k >= DETAIL_SCALE;
    for (const table of this.tables.values()) {
      const b = table.box;
      const near = b.x < right && b.x + b.width > left && b.y < bottom && b.y + b.height > top;
      if (near && !table.node) this.boxLayer.append(this.tableBox(table));
      if (!near && table.node && this.drag?.table !== table) {
        table.node.remove();
        table.node = null;
        table.detailed = false;
      }
      if (table.node && detail !== table.detailed) this.columnLines(table, detail);
    }
  }

  tableBox(table) {
    const m = this.measures;
    table.node = svg('g', {class: ['table', ...table.marks].join(' '), 'data-id': table.id},
        svg('rect', {class: 'body'}),
        svg('rect', {class: 'head', height: m.titleHeight}),
        svg('text', {class: 'name', x: 8, y: 15, text: table.name}),
        svg('rect', {class: 'resize', width: HANDLE, height: HANDLE}));
    this.placeNode(table);
    return table.node;
  }

  columnLines(table, shown) {
    const m = this.measures;
    const handle = table.node.lastChild;
    if (shown) {
      table.columns.forEach((column, row) => {
        const mark = this.columnMarks.get(column.id);
        table.node.insertBefore(svg('text', {class: mark ? `column ${mark}` : 'column', x: 8,
          y: m.titleHeight + m.rowHeight * (row + 1) - 4, text: column.label}), handle);
      });
    } else {
      for (const line of table.node.querySelectorAll('text.column')) line.remove();
    }
    table.detailed = shown;
  }

  placeNode(table) {
    if (!table.node) return;
    const {x, y, width, height} = table.box;
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
  }

  placeBox(table) {
    this.placeNode(table);
    for (const arrow of this.arrows) {
      if (arrow.from === table || arrow.to === table) this.placeArrow(arrow);
    }
  }

  placeArrow(arrow) {
    const points = arrowPoints(arrow.from.box, arrow.row, arrow.to.box, this.measures);
    arrow.line.setAttribute('points', points.map((p) => p.join(',')).join(' '));
  }

  // The whole picture in view, never larger than its own size.
  fit(boxes) {
    if (boxes.length === 0) return this.setView({x: 0, y: 0, k: 1});
    let [left, top, right, bottom] = [Infinity, Infinity, -Infinity, -Infinity];
    for (const b of boxes) {
      left = Math.min(left, b.x);
      top = Math.min(top, b.y);
      right = Math.max(right, b.x + b.width);
      bottom = Math.max(bottom, b.y + b.height);
    }
    const {width, height} = this.size;
    const k = Math.max(MIN_SCALE, Math.min(1, (width - 40) / (right - left),
        (height - 40) / (bottom - top)));
    this.setView({x: 20 - left * k, y: 20 - top * k, k});
  }

  setView(view) {
    this.view = view;
    this.layer?.setAttribute('transform', `translate(${view.x},${view.y}) scale(${view.k})`);
    if (!this.pending) this.pending = requestAnimationFrame(() => this.refresh());
  }

  /** Marks the class `mark` on the boxes of the ids in `ids` (a Set) only. */
  setMark(mark, ids) {
    for (const table of this.tables.values()) {
      if (ids.has(table.id)) table.marks.add(mark);
      else table.marks.delete(mark);
      table.node?.classList.toggle(mark, ids.has(table.id));
    }
  }

  /** Brings the box of `id` to the middle of the view. */
  focus(id) {
    const table = this.tables.get(id);
    if (!table) return;
    const {width, height} = this.size;
    const k = Math.max(this.view.k, 0.8);
    const b = table.box;
    this.setView({x: width / 2 - (b.x + b.width / 2) * k, y: height / 2 - (b.y + b.height / 2) * k, k});
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
    this.columnMarks = new Map();
    for (const mark of ['added', 'changed', 'ended']) {
      this.setMark(mark, ids('tables', mark));
      for (const id of ids('columns', mark)) this.columnMarks.set(id, mark);
    }
    for (const table of this.tables.values()) {
      if (table.detailed) {
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
    this.canvas.setPointerCapture(e.pointerId);
    const at = this.point(e);
    if (!table) {
      this.drag = {pan: true, start: {x: e.clientX, y: e.clientY}, view: {...this.view}};
      return;
    }
    const resize = e.target.classList.contains('resize') && this.movable;
    this.drag = {table, resize, at, start: {...table.box}, moved: false};
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
    d.table.box = d.resize
      ? {...d.start, width: Math.max(MIN_WIDTH, d.start.width + dx),
        height: Math.max(this.measures.titleHeight, d.start.height + dy)}
      : {...d.start, x: d.start.x + dx, y: d.start.y + dy};
    this.placeBox(d.table);
  }

  async pointerUp(e) {
    const d = this.drag;
    this.drag = null;
    if (!d || d.pan) return;
    if (!d.moved) {
      this.onOpen(d.table);
      return;
    }
    const started = performance.now();
    const box = {x: d.table.box.x, y: d.table.box.y, width: d.table.box.width,
      height: d.table.box.height};
    e.preventDefault();
    try {
      await this.onMove(d.table, box);
      document.body.dataset.lastWriteMs = (performance.now() - started).toFixed(1);
    } catch {
      d.table.box = d.start;  // onMove has said why
      this.placeBox(d.table);
    }
  }

  wheel(e) {
    e.preventDefault();
    const rect = this.canvas.getBoundingClientRect();
    const px = e.clientX - rect.left;
    const py = e.clientY - rect.top;
    const k = Math.min(4, Math.max(MIN_SCALE, this.view.k * Math.exp(-e.deltaY / 500)));
    const f = k / this.view.k;
    this.setView({x: px - (px - this.view.x) * f, y: py - (py - this.view.y) * f, k});
  }
}
