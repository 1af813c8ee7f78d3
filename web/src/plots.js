// Plots of the printed tables, drawn as SVG: the relaxation table (creep strains and creep
// curvatures against time on a logarithmic axis, in the unit the relaxation time was typed
// in) and the ply stresses (sigma-1, sigma-2 and sigma-12 of each ply as steps through the
// thickness: constant over the ply, as printed at its mid-thickness, with the ply boundaries
// drawn). Every point is a printed value; a field of asterisks has no value and is not drawn,
// nor is a column whose values are all zero to the print precision of its table. Each point carries its values and their printed
// text, and each plot its scales, so that what is drawn can be checked against the table.

const SVG = 'http://www.w3.org/2000/svg';
// A plot is drawn narrower where the page is narrow (a phone), so that its text, at the same
// size in the plot's units, is as large on the screen and its titles and labels still fit.
const narrow = () => typeof matchMedia === 'function' && matchMedia('(max-width: 600px)').matches;
const MARGIN = { left: 78, right: 30, top: 34, bottom: 70 };
const COLOURS = ['#1f5fa8', '#c4561b', '#2a8a3e'];
const MARKERS = ['circle', 'square', 'triangle'];

function element(name, attributes = {}, text = null) {
  const node = document.createElementNS(SVG, name);
  for (const [key, value] of Object.entries(attributes)) node.setAttribute(key, String(value));
  if (text !== null) node.textContent = text;
  return node;
}

// A tick label in plain figures: 0.01, 1, 100, 0.0025; exponent form only far from 1.
export function tickLabel(value) {
  if (value === 0) return '0';
  const rounded = Number(value.toPrecision(6));
  const size = Math.abs(rounded);
  if (size >= 1e-3 && size < 1e5) return String(rounded);
  return rounded.toExponential().replace('e+', 'e');
}

// Fewer ticks where the plot is narrow.
const tickCount = () => (narrow() ? 3 : 5);

// A linear scale over the values, widened to round ticks.
function linearScale(values) {
  let low = Math.min(...values);
  let high = Math.max(...values);
  if (low === high) {
    const spread = low === 0 ? 1 : Math.abs(low) * 0.1;
    low -= spread;
    high += spread;
  }
  const rough = (high - low) / tickCount();
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
function plot({ title, xLabel, yLabel, xLog, series, yScaleOverride, joinPoints = true, steps = null, boundaries = [], note = '', fallbackX = null, caption = '' }) {
  const WIDTH = narrow() ? 420 : 640;
  const HEIGHT = narrow() ? 300 : 340;
  const all = series.flatMap((s) => s.points);
  const xs = (all.length > 0 ? all : fallbackX).map((p) => p.x);
  const xScale = xLog ? logScale(xs) : linearScale(xs);
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
  for (const b of boundaries) {
    svg.append(element('line', { x1: left, x2: right, y1: py(b), y2: py(b), class: 'ply-boundary' }));
  }
  if (note !== '') svg.append(element('text', { x: left + 6, y: top + 14, class: 'plot-note' }, note));
  svg.append(element('text', { x: (left + right) / 2, y: bottom + 36, 'text-anchor': 'middle', class: 'axis-label' }, xLabel));
  svg.append(element('text', {
    x: 14, y: (top + bottom) / 2, 'text-anchor': 'middle', class: 'axis-label',
    transform: `rotate(-90 14 ${(top + bottom) / 2})`,
  }, yLabel));

  series.forEach((s, k) => {
    const colour = COLOURS[k % COLOURS.length];
    const group = element('g', { class: 'series', 'data-series': s.name });
    if (steps !== null) {
      // Constant over each ply, joined across each boundary.
      const path = s.points.flatMap((p, i) => [[p.x, steps[i][0]], [p.x, steps[i][1]]])
        .map(([x, y]) => `${px(x).toFixed(2)},${py(y).toFixed(2)}`).join(' ');
      group.append(element('polyline', { points: path, fill: 'none', stroke: colour, 'stroke-width': 1.5 }));
    } else if (joinPoints && s.points.length > 1) {
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
    const lx = left + k * (WIDTH > 500 ? 150 : 110);
    const ly = HEIGHT - 12;
    const key = marker(MARKERS[k % MARKERS.length], lx, ly - 4, colour);
    svg.append(key);
    svg.append(element('text', { x: lx + 9, y: ly, class: 'legend' }, s.name));
  });
  // The plot's title and labels are short enough for a phone; what they mean is said under it.
  const figure = document.createElement('figure');
  figure.className = 'plot-figure';
  figure.append(svg);
  if (caption !== '') figure.append(Object.assign(document.createElement('figcaption'), { className: 'plot-caption', textContent: caption }));
  return figure;
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
// `isZero(cell, column)`: the value is zero to the print precision of its kind; a column of
// such values is named in a note instead of drawn, and a panel with nothing to draw is a
// line of text. Returns [] when there is nothing to draw.
export function relaxationPlots(table, isZero = () => false) {
  const panels = [
    { title: 'Creep mid-plane strains', yLabel: 'creep strain', columns: [1, 2, 3], unit: 'strain' },
    { title: 'Creep curvatures', yLabel: 'creep curvature', columns: [4, 5, 6], unit: 'curvature in 1 / the length unit of the thicknesses' },
  ];
  const plots = [];
  for (const panel of panels) {
    const all = panel.columns.map((c) => ({ name: table.columns[c], points: columnPoints(table.rows, 0, c, true), c }));
    const zero = all.filter((s) => s.points.length > 0 && table.rows.every((row) => row[s.c].value === null || isZero(row[s.c], s.c)));
    const series = all.filter((s) => s.points.length > 0 && !zero.includes(s));
    const note = zero.length === 0 ? '' : `${zero.map((s) => s.name).join(', ')}: zero to print precision, not drawn`;
    if (series.length === 0) {
      if (zero.length > 0) plots.push(Object.assign(document.createElement('p'), { className: 'note plot-empty', textContent: `${panel.title}: ${note}.` }));
      continue;
    }
    plots.push(plot({
      title: panel.title,
      xLabel: 'time (log scale)',
      yLabel: panel.yLabel,
      xLog: true,
      series,
      note,
      caption: `${panel.title} against time, on a logarithmic axis in the unit the relaxation time was typed in; ${panel.unit}.`,
    }));
  }
  return plots;
}

// The plots of the ply stresses through the thickness, one a stress (each on its own
// scale): the stress on the horizontal axis, constant over its ply; z (from the bottom face
// up, referred to the mid-plane) on the vertical one, the ply boundaries drawn. `z`: the ply
// interfaces, bottom first; null when they are not known (a results file holds no
// thicknesses), when each ply is drawn one unit thick against its number.
export function plyStressPlots(table, z = null) {
  const rows = table.rows;
  const known = z !== null && z.length === rows.length + 1;
  const bounds = known ? z : rows.map((_, i) => i + 0.5).concat(rows.length + 0.5);
  const steps = rows.map((_, i) => [bounds[i], bounds[i + 1]]);
  const low = Math.min(...bounds);
  const high = Math.max(...bounds);
  const plots = [];
  for (const c of [1, 2, 3]) {
    const s = {
      name: table.columns[c],
      points: rows.map((row, i) => ({ cell: row[c], i, ply: row[0] }))
        .filter(({ cell }) => cell.value !== null)
        .map(({ cell, i, ply }) => ({ x: cell.value, y: (steps[i][0] + steps[i][1]) / 2, xText: cell.text, yText: `ply ${ply.text}`, i })),
    };
    if (s.points.length === 0) continue;
    const yScale = known ? linearScale([low, high]) : {
      kind: 'linear', low, high, ticks: rows.map((_, i) => i + 1), integerTicks: true,
    };
    if (known) yScale.low = Math.min(yScale.low, low);
    // A series with a ply left out (a field of asterisks) is drawn as points only.
    const whole = s.points.length === rows.length;
    plots.push(plot({
      title: `${s.name} through the thickness`,
      xLabel: `${s.name} (stress)`,
      yLabel: known ? 'z' : 'ply',
      xLog: false,
      series: [s],
      yScaleOverride: yScale,
      joinPoints: false,
      steps: whole ? steps : null,
      boundaries: bounds,
      caption: `${s.name} of each ply at its mid-thickness, in its material axes, in the unit of the moduli typed, ` +
        (known ? 'against z from the mid-plane (bottom face at the foot, ply boundaries dashed).' : 'against the ply number (bottom ply at the foot).'),
    }));
  }
  return plots;
}
