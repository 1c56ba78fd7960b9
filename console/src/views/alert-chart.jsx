// Alerts per hour over the last three days, stacked by severity band: one
// bar per hour, drawn in SVG with PatternFly's status colours.
import React from "react";

import { severityBand, SEVERITY_BANDS } from "./severity.js";

const HOURS = 72;
const HOUR_MS = 3600000;
const WIDTH = 720;
const HEIGHT = 160;
const LEFT = 32;
const BOTTOM = 20;

export function hourlyCounts(alerts, now) {
  const end = Math.floor(now / HOUR_MS) + 1;  // the hour after the current one
  const buckets = Array.from({ length: HOURS }, () => Object.fromEntries(SEVERITY_BANDS.map(b => [b.name, 0])));
  for (const alert of alerts) {
    if (!alert.time) continue;
    const slot = HOURS - (end - Math.floor(alert.time.getTime() / HOUR_MS));
    if (slot >= 0 && slot < HOURS) buckets[slot][severityBand(alert.Severity).name] += 1;
  }
  return { buckets, firstHour: end - HOURS };
}

export function AlertChart({ alerts, now = Date.now() }) {
  const { buckets, firstHour } = hourlyCounts(alerts, now);
  const totals = buckets.map(b => Object.values(b).reduce((x, y) => x + y, 0));
  const top = Math.max(1, ...totals);
  const plotHeight = HEIGHT - BOTTOM;
  const barWidth = (WIDTH - LEFT) / HOURS;
  const y = count => plotHeight - (count / top) * (plotHeight - 8);
  return (
    <svg id="alert-chart" viewBox={`0 0 ${WIDTH} ${HEIGHT}`} width="100%" role="img"
         aria-label={`Alerts per hour: ${totals.reduce((x, t) => x + t, 0)} in the last ${HOURS} hours`}>
      <line className="hearth-chart-axis" x1={LEFT} y1={plotHeight} x2={WIDTH} y2={plotHeight} />
      <text className="hearth-chart-label" x={LEFT - 4} y={y(top) + 4} textAnchor="end">{top}</text>
      <text className="hearth-chart-label" x={LEFT - 4} y={plotHeight} textAnchor="end">0</text>
      {buckets.map((bucket, slot) => {
        let base = 0;
        return SEVERITY_BANDS.slice().reverse().map(band => {
          const count = bucket[band.name];
          if (!count) return null;
          const rect = (
            <rect key={`${slot}-${band.name}`} className={band.className} data-hour={slot} data-band={band.name}
                  x={LEFT + slot * barWidth + 1} width={Math.max(1, barWidth - 2)}
                  y={y(base + count)} height={y(base) - y(base + count)}>
              <title>{`${new Date((firstHour + slot) * HOUR_MS).toISOString().slice(0, 13)}:00 UTC: ${count} ${band.name}`}</title>
            </rect>
          );
          base += count;
          return rect;
        });
      })}
      {[0, 24, 48].map(slot => (
        <text key={slot} className="hearth-chart-label" x={LEFT + slot * barWidth} y={HEIGHT - 4}>
          {new Date((firstHour + slot) * HOUR_MS).toISOString().slice(5, 10)}
        </text>
      ))}
    </svg>
  );
}
