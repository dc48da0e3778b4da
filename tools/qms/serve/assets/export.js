// The picture as the page shows it (names or display names, the boxes
// where they stand now, every box with its column lines), as an SVG or PNG
// file to download. Both are drawn from one list of shapes.
const COLOURS = {frame: '#f4f6fa', frameLine: '#8a94a6', head: '#dbe7f7', line: '#2d3748',
  arrow: '#c0392b', marks: '#718096', added: '#c6f6d5', changed: '#feebc8', ended: '#fed7d7'};
const MARGIN = 24;

// Rectangles, texts and arrows of the whole picture, in picture units.
function shapes(view) {
  const out = [];
  for (const f of [...view.frames].sort((a, b) => b.box.width * b.box.height - a.box.width * a.box.height)) {
    out.push({rect: f.box, fill: COLOURS.frame, stroke: COLOURS.frameLine, dash: true});
    out.push({text: f.folder, x: f.box.x + 8, y: f.box.y + 16, bold: true});
  }
  const m = view.measures;
  for (const t of view.tables.values()) {
    const b = t.box;
    const mark = ['added', 'changed', 'ended'].find((k) => t.marks.has(k));
    out.push({rect: b, fill: '#ffffff', stroke: COLOURS.line});
    out.push({rect: {...b, height: m.titleHeight}, fill: COLOURS[mark] ?? COLOURS.head, stroke: COLOURS.line});
    out.push({text: view.nameOf(t), x: b.x + 8, y: b.y + 15, bold: true});
    t.columns.forEach((c, row) => {
      const y = b.y + m.titleHeight + m.rowHeight * (row + 1) - 4;
      out.push({text: `${view.nameOf(c)}: ${c.type}`, x: b.x + 8, y});
      if (c.marks) out.push({text: c.marks, x: b.x + b.width - 6, y, end: true, small: true});
    });
  }
  for (const a of view.arrows) out.push({arrow: a.points});
  return out;
}

const escape = (s) => String(s).replace(/[&<>"]/g, (c) => ({'&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;'})[c]);

/** The picture as SVG text. */
export function svgText(view) {
  const e = view.extent();
  const box = [e.x - MARGIN, e.y - MARGIN, e.width + 2 * MARGIN, e.height + 2 * MARGIN];
  const parts = [`<?xml version="1.0" encoding="UTF-8"?>\n<svg xmlns="http://www.w3.org/2000/svg" viewBox="${box.join(' ')}" width="${box[2]}" height="${box[3]}" font-family="sans-serif" font-size="12">`,
    `<defs><marker id="arrow" viewBox="0 0 10 10" refX="10" refY="5" markerWidth="8" markerHeight="8" orient="auto"><path d="M0,0 L10,5 L0,10 z" fill="${COLOURS.arrow}"/></marker></defs>`,
    `<rect x="${box[0]}" y="${box[1]}" width="${box[2]}" height="${box[3]}" fill="white"/>`];
  for (const s of shapes(view)) {
    if (s.rect) {
      parts.push(`<rect x="${s.rect.x}" y="${s.rect.y}" width="${s.rect.width}" height="${s.rect.height}" fill="${s.fill}" stroke="${s.stroke}"${s.dash ? ' rx="6" stroke-dasharray="6 3"' : ''}/>`);
    } else if (s.text !== undefined) {
      parts.push(`<text x="${s.x}" y="${s.y}"${s.bold ? ' font-weight="bold"' : ''}${s.end ? ' text-anchor="end"' : ''}${s.small ? ` font-size="9" fill="${COLOURS.marks}"` : ''}>${escape(s.text)}</text>`);
    } else {
      parts.push(`<polyline points="${s.arrow.map((p) => p.join(',')).join(' ')}" fill="none" stroke="${COLOURS.arrow}" stroke-width="1.5" marker-end="url(#arrow)"/>`);
    }
  }
  parts.push('</svg>\n');
  return parts.join('\n');
}

/** The picture drawn on a canvas at up to 2 pixels a unit, at most 8,000 pixels a side, as a PNG blob. */
export function pngBlob(view) {
  const e = view.extent();
  const scale = Math.min(2, 8000 / (e.width + 2 * MARGIN), 8000 / (e.height + 2 * MARGIN));
  const canvas = document.createElement('canvas');
  canvas.width = Math.ceil((e.width + 2 * MARGIN) * scale);
  canvas.height = Math.ceil((e.height + 2 * MARGIN) * scale);
  const g = canvas.getContext('2d');
  g.fillStyle = 'white';
  g.fillRect(0, 0, canvas.width, canvas.height);
  g.setTransform(scale, 0, 0, scale, (MARGIN - e.x) * scale, (MARGIN - e.y) * scale);
  for (const s of shapes(view)) {
    if (s.rect) {
      g.setLineDash(s.dash ? [6, 3] : []);
      g.fillStyle = s.fill;
      g.strokeStyle = s.stroke;
      g.fillRect(s.rect.x, s.rect.y, s.rect.width, s.rect.height);
      g.strokeRect(s.rect.x, s.rect.y, s.rect.width, s.rect.height);
    } else if (s.text !== undefined) {
      g.font = `${s.bold ? 'bold ' : ''}${s.small ? 9 : 12}px sans-serif`;
      g.fillStyle = s.small ? COLOURS.marks : '#1a202c';
      g.textAlign = s.end ? 'right' : 'left';
      g.fillText(s.text, s.x, s.y);
    } else {
      const p = s.arrow;
      g.setLineDash([]);
      g.strokeStyle = g.fillStyle = COLOURS.arrow;
      g.lineWidth = 1.5;
      g.beginPath();
      p.forEach(([x, y], i) => (i ? g.lineTo(x, y) : g.moveTo(x, y)));
      g.stroke();
      const [[x0, y0], [x1, y1]] = p.slice(-2);
      const angle = Math.atan2(y1 - y0, x1 - x0);
      g.beginPath();
      g.moveTo(x1, y1);
      g.lineTo(x1 - 9 * Math.cos(angle - 0.45), y1 - 9 * Math.sin(angle - 0.45));
      g.lineTo(x1 - 9 * Math.cos(angle + 0.45), y1 - 9 * Math.sin(angle + 0.45));
      g.fill();
    }
  }
  return new Promise((resolve) => canvas.toBlob(resolve, 'image/png'));
}

/** Offers `blob` as a download named `name`. */
export function download(blob, name) {
  const a = document.createElement('a');
  a.href = URL.createObjectURL(blob);
  a.download = name;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 10000);
}
