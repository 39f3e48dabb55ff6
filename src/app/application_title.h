#pragma once

namespace app {

// Names the program "Tarnwick" for the windowing system (the application name, which also
// stands in for an empty window caption). No display name is set: the windowing layer would
// append it to every window's caption ("Staff — Tarnwick"), and each caption must read exactly
// as the window sets it. Requires: the QApplication exists.
void setApplicationTitle();

} // namespace app
