// The model's picture: the frames, boxes and arrows of /api/models/ID
// ("diagram"), drawn as qms diagram draws them, with pan, zoom, and boxes
// that move and resize.
import {svg, show} from './dom.js';

const MIN_WIDTH = 60;
const HANDLE = 8;

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
  }

  draw(diagram) {
    this.measures = diagram.measures;
    this.tables = new Map(diagram.tables.map((t) => [t.id, {...t, box: {...t}}]));
    this.arrows = [];
    const frames = svg('g', {class: 'frames'});
    for (const f of diagram.frames) {
      frames.append(svg('g', {class: 'folder'},
          svg('rect', {x: f.x, y: f.y, width: f.width, height: f.height, rx: 6}),
          svg('text', {x: f.x + 8, y: f.y + 16, text: f.folder})));
    }
    const boxes = svg('g', {class: 'tables'});
    for (const table of this.tables.values()) boxes.append(this.tableBox(table));
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
    this.layer = svg('g', {class: 'viewport'}, frames, boxes, arrows);
    const marker = svg('marker', {id: 'arrow', viewBox: '0 0 10 10', refX: 10, refY: 5,
      markerWidth: 8, markerHeight: 8, orient: 'auto'}, svg('path', {d: 'M0,0 L10,5 L0,10 z'}));
    show(this.canvas, svg('defs', {}, marker), this.layer);
    this.fit(diagram);
  }

  tableBox(table) {
    const m = this.measures;
    const g = svg('g', {class: 'table', 'data-id': table.id},
        svg('rect', {class: 'body'}),
        svg('rect', {class: 'head', height: m.titleHeight}),
        svg('text', {class: 'name', x: 8, y: 15, text: table.name}));
    table.columns.forEach((column, row) => {
      g.append(svg('text', {x: 8, y: m.titleHeight + m.rowHeight * (row + 1) - 4,
        text: column.label}));
    });
    g.append(svg('rect', {class: 'resize', width: HANDLE, height: HANDLE}));
    table.node = g;
    this.placeBox(table);
    return g;
  }

  placeBox(table) {
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
    for (const arrow of this.arrows) {
      if (arrow.from === table || arrow.to === table) this.placeArrow(arrow);
    }
  }

  placeArrow(arrow) {
    const points = arrowPoints(arrow.from.box, arrow.row, arrow.to.box, this.measures);
    arrow.line.setAttribute('points', points.map((p) => p.join(',')).join(' '));
  }

  // The whole picture in view, never larger than its own size.
  fit(diagram) {
    const boxes = [...diagram.frames, ...diagram.tables];
    if (boxes.length === 0) return this.setView({x: 0, y: 0, k: 1});
    const left = Math.min(...boxes.map((b) => b.x));
    const top = Math.min(...boxes.map((b) => b.y));
    const right = Math.max(...boxes.map((b) => b.x + b.width));
    const bottom = Math.max(...boxes.map((b) => b.y + b.height));
    const {width, height} = this.canvas.getBoundingClientRect();
    const k = Math.max(0.05, Math.min(1, (width - 40) / (right - left), (height - 40) / (bottom - top)));
    this.setView({x: 20 - left * k, y: 20 - top * k, k});
  }

  setView(view) {
    this.view = view;
    this.layer?.setAttribute('transform', `translate(${view.x},${view.y}) scale(${view.k})`);
  }

  /** Brings the box of `id` to the middle of the view. */
  focus(id) {
    const table = this.tables.get(id);
    if (!table) return;
    const {width, height} = this.canvas.getBoundingClientRect();
    const k = Math.max(this.view.k, 0.8);
    const b = table.box;
    this.setView({x: width / 2 - (b.x + b.width / 2) * k, y: height / 2 - (b.y + b.height / 2) * k, k});
  }

  /** Marks the boxes of `ids` (a Set) as found; none: no marks. */
  mark(ids) {
    for (const table of this.tables.values()) {
      table.node.classList.toggle('found', ids.has(table.id));
      table.node.classList.toggle('dimmed', ids.size > 0 && !ids.has(table.id));
    }
  }

  /** Marks tables added or changed since another version (a Map id -> kind). */
  changes(kinds) {
    for (const table of this.tables.values()) {
      table.node.classList.remove('added', 'changed');
      if (kinds.has(table.id)) table.node.classList.add(kinds.get(table.id));
    }
  }

  select(id) {
    for (const table of this.tables.values()) table.node.classList.toggle('selected', table.id === id);
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
    const k = Math.min(4, Math.max(0.05, this.view.k * Math.exp(-e.deltaY / 500)));
    const f = k / this.view.k;
    this.setView({x: px - (px - this.view.x) * f, y: py - (py - this.view.y) * f, k});
  }
}
