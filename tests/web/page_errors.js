// What the browser tests count as errors in a page, the same in every engine: exceptions nobody
// caught, promises rejected with nobody to handle them, files that failed to load, and
// console.error. The test server puts this first into every page it serves; the tests read
// window.pageErrors. (Where the engine's driver can read the console, the tests read that too.)
"use strict";

window.pageErrors = [];

window.addEventListener(
  "error",
  (event) => {
    const target = event.target;
    if (target && target !== window) {
      window.pageErrors.push(`failed to load: ${target.src || target.href || target.tagName}`);
    } else {
      window.pageErrors.push(`${event.message} (${event.filename}:${event.lineno})`);
    }
  },
  true,
);

window.addEventListener("unhandledrejection", (event) => {
  window.pageErrors.push(`unhandled rejection: ${event.reason}`);
});

(function () {
  const original = console.error;
  console.error = function (...args) {
    window.pageErrors.push(args.map(String).join(" "));
    return original.apply(console, args);
  };
})();
