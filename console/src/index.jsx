// The Veltris page in Cockpit: one tab per view, the tab in the URL's
// path so that a link (and a test) can open a view directly.
/* global cockpit */
import "@patternfly/patternfly/patternfly.css";
import "./console.css";

import React from "react";
import { createRoot } from "react-dom/client";

import { App } from "./app.jsx";
import { followCockpitTheme } from "./theme.js";

followCockpitTheme();
document.addEventListener("DOMContentLoaded", () => {
  createRoot(document.getElementById("app")).render(<App />);
});
