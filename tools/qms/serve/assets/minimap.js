// The whole picture in small, with the part in view outlined; a click or a
// drag on it brings that part into view. Shown for models of more than 100
// tables.
export class Minimap {
  constructor(canvas, view) {
    this.canvas = canvas;
    this.view = view;
    const go = (e) => {
      if (!this.scale) return;
      const r = canvas.getBoundingClientRect();
      this.view.centre((e.clientX - r.left) / this.scale + this.origin.x,
          (e.clientY - r.top) / this.scale + this.origin.y);
    };
    canvas.addEventListener('pointerdown', (e) => {
      canvas.setPointerCapture(e.pointerId);
      this.dragging = true;
      go(e);
    });
    canvas.addEventListener('pointermove', (e) => { if (this.dragging) go(e); });
    canvas.addEventListener('pointerup', () => { this.dragging = false; });
  }

  // The boxes in small, drawn again only when the picture changed (the
  // view's `version`), so that a frame of a pan draws one image and a line.
  boxes() {
    const v = this.view;
    if (this.picture && this.drawn === v.version) return this.picture;
    const e = v.extent();
    const {width, height} = this.canvas;
    this.scale = Math.min(width / e.width, height / e.height);
    // The picture in the middle of the map.
    this.origin = {x: e.x - (width / this.scale - e.width) / 2, y: e.y - (height / this.scale - e.height) / 2};
    this.picture ??= document.createElement('canvas');
    this.picture.width = width;
    this.picture.height = height;
    const g = this.picture.getContext('2d');
    const css = getComputedStyle(this.canvas);
    this.outline = css.getPropertyValue('--accent').trim() || '#2b6cb0';
    g.clearRect(0, 0, width, height);
    g.fillStyle = css.getPropertyValue('--minimap-box').trim() || '#718096';
    for (const t of v.tables.values()) {
      const b = t.box;
      g.fillRect((b.x - this.origin.x) * this.scale, (b.y - this.origin.y) * this.scale,
          Math.max(1, b.width * this.scale), Math.max(1, b.height * this.scale));
    }
    this.drawn = v.version;
    return this.picture;
  }

  draw() {
    const v = this.view;
    this.canvas.hidden = v.tables.size <= 100;
    if (this.canvas.hidden) return;
    const {width, height} = this.canvas;
    const g = this.canvas.getContext('2d');
    g.clearRect(0, 0, width, height);
    g.drawImage(this.boxes(), 0, 0);
    const {x, y, k} = v.view;
    const seen = v.visibleKnown();
    g.strokeStyle = this.outline;
    g.lineWidth = 2;
    g.strokeRect((-x / k - this.origin.x) * this.scale, (-y / k - this.origin.y) * this.scale,
        seen.width / k * this.scale, seen.height / k * this.scale);
  }
}
