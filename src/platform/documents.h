#pragma once
// Opening a document with the desktop's associated viewer.
#include <string>

namespace platform {

/// Starts `xdg-open` for `path` and reports whether the viewer could be
/// started: false when xdg-open is missing or exits with an error (no such
/// file, no application for the type). Waits at most a few seconds for
/// xdg-open's verdict; a viewer that keeps running in the foreground counts as
/// started and is reaped in the background. Main thread; never throws.
bool OpenDocument(const std::string& path);

}  // namespace platform
