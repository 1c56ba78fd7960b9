// The service keeps a severity as a number (0 to 100 as updates leave it);
// the page groups the numbers in three bands for the filter and the chart.
// 70 is the severity the service gives the alerts of its own "alertpost"
// action.
export const SEVERITY_BANDS = [
  { name: "High", from: 70, color: "red", className: "hearth-chart-bar--high" },
  { name: "Medium", from: 40, color: "orange", className: "hearth-chart-bar--medium" },
  { name: "Low", from: 0, color: "blue", className: "hearth-chart-bar--low" },
];

export function severityBand(severity) {
  return SEVERITY_BANDS.find(b => Number(severity) >= b.from) ?? SEVERITY_BANDS[SEVERITY_BANDS.length - 1];
}
