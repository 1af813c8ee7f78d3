// Plots of the printed tables, drawn as SVG: the relaxation table (creep strains and creep
// curvatures against time on a logarithmic axis) and the ply stresses (sigma-1, sigma-2 and
// sigma-12 of each ply, from the bottom face up). Every point is a printed value; a field of
// asterisks has no value and is not drawn. Each point carries its values and their printed
// text, and each plot its scales, so that what is drawn can be checked against the table.

const SVG = 'http://www.w3.org/2000/svg';
const WIDTH = 640;
const HEIGHT = 340;
const MARGIN = { left: 78, right: 30, top: 34, bottom: 70 };
const COLOURS = ['#1f5fa8', '#c4561b', '#2a8a3e'];
const MARKERS = ['circle', 'square', 'triangle'];

function element(name, attributes = {}, text = null) {
  const node = document.createElementNS(SVG, name);
  for (const [key, value] of Object.entries(attributes)) node.setAttribute(key, String(value));
  if (text !== null) node.textContent = text;
  return node;
}

// A tick label in the program's own exponent form, with two digits: .50E-11, -.25E+02.
export function tickLabel(value) {
  if (value === 0) return '0';
  const exponent = Math.floor(Math.log10(Math.abs(value))) + 1;
  let digits = Math.round(Math.abs(value) / 10 ** (exponent - 2));
  let shown = exponent;
  if (digits >= 100) {
    digits = Math.round(digits / 10);
    shown += 1;
  }
  const sign = value < 0 ? '-' : '';
  const e = `${shown < 0 ? '-' : '+'}${String(Math.abs(shown)).padStart(2, '0')}`;
  return `${sign}.${String(digits).padStart(2, '0')}E${e}`;
}

// A linear scale over the values, widened to round ticks.
function linearScale(values) {
  let low = Math.min(...values);
  let high = Math.max(...values);
  if (low === high) {
    const spread = low === 0 ? 1 : Math.abs(low) * 0.1;
    low -= spread;
    high += spread;
  }
  const rough = (high - low) / 5;
  const power = 10 ** Math.floor(Math.log10(rough));
  const step = [1, 2, 5, 10].map((f) => f * power).find((s) => s >= rough);
  low = Math.floor(low / step) * step;
  high = Math.ceil(high / step) * step;
  const ticks = [];
  for (let k = 0; low + k * step <= high + step / 1e6; k++) ticks.push(low + k * step);
  return { kind: 'linear', low, high, ticks };
}

// A logarithmic scale over positive values, from decade to decade.
function logScale(values) {
  const low = 10 ** Math.floor(Math.log10(Math.min(...values)));
  const high = 10 ** Math.ceil(Math.log10(Math.max(...values)));
  const ticks = [];
  for (let t = low; t <= high * 1.0001; t *= 10) ticks.push(t);
  return { kind: 'log', low, high: high === low ? low * 10 : high, ticks };
}

// Where `value` falls between pixels `from` and `to` on `scale`.
export function project(scale, value, from, to) {
  const f = scale.kind === 'log'
    ? (Math.log10(value) - Math.log10(scale.low)) / (Math.log10(scale.high) - Math.log10(scale.low))
    : (value - scale.low) / (scale.high - scale.low);
  return from + f * (to - from);
}

function marker(shape, x, y, colour) {
  if (shape === 'circle') return element('circle', { cx: x, cy: y, r: 3.5, fill: colour });
  if (shape === 'square') {
    return element('rect', { x: x - 3.2, y: y - 3.2, width: 6.4, height: 6.4, fill: colour });
  }
  const points = `${x},${y - 3.6} ${x + 4},${y + 3.6} ${x - 4},${y + 3.6}`;
  return element('polygon', { points, fill: colour });
}

// One plot: `series` are [{ name, points: [{ x, y, xText, yText }] }]; `yTicks` may give
// the ticks of the vertical axis (ply numbers).
function plot({ title, xLabel, yLabel, xLog, series, yScaleOverride, joinPoints = true }) {
  const all = series.flatMap((s) => s.points);
  const xScale = xLog ? logScale(all.map((p) => p.x)) : linearScale(all.map((p) => p.x));
  const yScale = yScaleOverride ?? linearScale(all.map((p) => p.y));
  const left = MARGIN.left;
  const right = WIDTH - MARGIN.right;
  const top = MARGIN.top;
  const bottom = HEIGHT - MARGIN.bottom;
  const px = (x) => project(xScale, x, left, right);
  const py = (y) => project(yScale, y, bottom, top);

  const svg = element('svg', {
    viewBox: `0 0 ${WIDTH} ${HEIGHT}`,
    role: 'img',
    'aria-label': `${title}: ${yLabel} against ${xLabel}`,
    class: 'plot',
    'data-x-scale': `${xScale.kind} ${xScale.low} ${xScale.high} ${left} ${right}`,
    'data-y-scale': `${yScale.kind} ${yScale.low} ${yScale.high} ${bottom} ${top}`,
  });
  svg.append(element('title', {}, title));
  svg.append(element('text', { x: WIDTH / 2, y: 20, 'text-anchor': 'middle', class: 'plot-title' }, title));
  svg.append(element('rect', { x: left, y: top, width: right - left, height: bottom - top, class: 'plot-frame' }));

  for (const t of xScale.ticks) {
    const x = px(t);
    svg.append(element('line', { x1: x, x2: x, y1: top, y2: bottom, class: 'grid' }));
    svg.append(element('text', { x, y: bottom + 16, 'text-anchor': 'middle', class: 'tick' }, tickLabel(t)));
  }
  for (const t of yScale.ticks) {
    const y = py(t);
    svg.append(element('line', { x1: left, x2: right, y1: y, y2: y, class: 'grid' }));
    const text = yScale.integerTicks ? String(t) : tickLabel(t);
    svg.append(element('text', { x: left - 6, y: y + 4, 'text-anchor': 'end', class: 'tick' }, text));
  }
  svg.append(element('text', { x: (left + right) / 2, y: bottom + 36, 'text-anchor': 'middle', class: 'axis-label' }, xLabel));
  svg.append(element('text', {
    x: 14, y: (top + bottom) / 2, 'text-anchor': 'middle', class: 'axis-label',
    transform: `rotate(-90 14 ${(top + bottom) / 2})`,
  }, yLabel));

  series.forEach((s, k) => {
    const colour = COLOURS[k % COLOURS.length];
    const group = element('g', { class: 'series', 'data-series': s.name });
    if (joinPoints && s.points.length > 1) {
      const path = s.points.map((p) => `${px(p.x).toFixed(2)},${py(p.y).toFixed(2)}`).join(' ');
      group.append(element('polyline', { points: path, fill: 'none', stroke: colour, 'stroke-width': 1.5 }));
    }
    for (const p of s.points) {
      const dot = marker(MARKERS[k % MARKERS.length], px(p.x), py(p.y), colour);
      dot.setAttribute('class', 'point');
      dot.setAttribute('data-x', String(p.x));
      dot.setAttribute('data-y', String(p.y));
      dot.setAttribute('data-px', String(px(p.x)));
      dot.setAttribute('data-py', String(py(p.y)));
      dot.append(element('title', {}, `${s.name}: (${p.xText}, ${p.yText})`));
      group.append(dot);
    }
    svg.append(group);
    // The legend, in a row under the axis label.
    const lx = left + k * 150;
    const ly = HEIGHT - 12;
    const key = marker(MARKERS[k % MARKERS.length], lx, ly - 4, colour);
    svg.append(key);
    svg.append(element('text', { x: lx + 9, y: ly, class: 'legend' }, s.name));
  });
  return svg;
}

// The points of column `column` against column `against`, leaving out fields without a
// value and, on a logarithmic axis, times that are not positive.
function columnPoints(rows, against, column, positiveX) {
  const points = [];
  for (const row of rows) {
    const x = row[against];
    const y = row[column];
    if (x.value === null || y.value === null || (positiveX && !(x.value > 0))) continue;
    points.push({ x: x.value, y: y.value, xText: x.text, yText: y.text });
  }
  return points;
}

// The plots of the relaxation table: creep strains, then creep curvatures, against time.
// Returns [] when there is nothing to draw.
export function relaxationPlots(table) {
  const panels = [
    { title: 'Creep mid-plane strains', yLabel: 'creep strain', columns: [1, 2, 3] },
    { title: 'Creep curvatures', yLabel: 'creep curvature (1 / length)', columns: [4, 5, 6] },
  ];
  const plots = [];
  for (const panel of panels) {
    const series = panel.columns
      .map((c) => ({ name: table.columns[c], points: columnPoints(table.rows, 0, c, true) }))
      .filter((s) => s.points.length > 0);
    if (series.length === 0) continue;
    plots.push(plot({
      title: panel.title,
      xLabel: 'time (log scale, units of the relaxation time)',
      yLabel: panel.yLabel,
      xLog: true,
      series,
    }));
  }
  return plots;
}

// The plot of the ply stresses: each stress on the horizontal axis, the ply number on the
// vertical one with the bottom ply at the bottom.
export function plyStressPlot(table) {
  const series = [1, 2, 3]
    .map((c) => ({
      name: table.columns[c],
      points: columnPoints(table.rows, 0, c, false).map((p) => ({ x: p.y, y: p.x, xText: p.yText, yText: `ply ${p.xText}` })),
    }))
    .filter((s) => s.points.length > 0);
  if (series.length === 0) return null;
  const plies = series.flatMap((s) => s.points.map((p) => p.y));
  const low = Math.min(...plies);
  const high = Math.max(...plies);
  const ticks = [];
  for (let n = low; n <= high; n++) ticks.push(n);
  return plot({
    title: 'Ply stresses in the material axes, bottom ply first',
    xLabel: 'stress (units of the moduli typed)',
    yLabel: 'ply number (bottom face up)',
    xLog: false,
    series,
    yScaleOverride: { kind: 'linear', low: low - 0.5, high: high + 0.5, ticks, integerTicks: true },
  });
}
