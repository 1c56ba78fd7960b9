// Light or dark as the rest of Cockpit: the shell keeps the person's choice
// in localStorage "shell:style" ("auto", "light" or "dark"); "auto" follows
// the browser.
const DARK_CLASS = "pf-v6-theme-dark";

function wantsDark() {
  let style = "auto";
  try { style = localStorage.getItem("shell:style") || "auto"; } catch { /* storage refused */ }
  if (style === "dark") return true;
  if (style === "light") return false;
  return window.matchMedia?.("(prefers-color-scheme: dark)").matches ?? false;
}

function apply() {
  document.documentElement.classList.toggle(DARK_CLASS, wantsDark());
}

export function followCockpitTheme() {
  apply();
  window.addEventListener("storage", event => { if (event.key === "shell:style") apply(); });
  // The shell tells its frames of a change with this event.
  window.addEventListener("cockpit-style", apply);
  window.matchMedia?.("(prefers-color-scheme: dark)").addEventListener?.("change", apply);
}
