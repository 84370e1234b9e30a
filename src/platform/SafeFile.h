#pragma once
#include <string>

namespace tabulonix {

// The file a write to `path` actually replaces: a link is followed so that it stays a link.
std::string ResolveLink(const std::string& path);

// Replaces the content of the file `target` (created when missing) so that it is never
// left half-written: the new content goes to a temporary file in the same folder, is
// flushed and renamed over the target, keeping its mode and, where allowed, its owner. An
// existing file that is read-only or not a regular file is refused. Returns false on any
// failure; the old file is then untouched and the temporary file removed.
bool ReplaceFileContent(const std::string& target, const std::string& content);

} // namespace tabulonix
