// How the template editor reads and writes header.cfg. The line rules are the
// request's own (SplitTemplateLines), so the editor shows what will be sent.
#pragma once

#include <string>
#include <string_view>

#include "measure/request.h"

namespace kurvane {

// Removes every byte of value 32 or less (blanks, tabs, CR, LF, other control
// bytes) from the end; the start and inner line ends stay as they are.
std::string TrimTrailingBlanks(std::string_view text);

// The editor's text of a file's bytes: each line followed by CR LF, then the
// trailing blanks of the whole removed.
std::string EditorTextFromTemplate(std::string_view fileBytes);

bool LoadTemplateText(const std::string& path, std::string& text, FileError& error);

// Makes text the whole file, trimmed first when asked; no line end is added.
// The bytes go to a temporary file beside the old one, which then replaces it,
// so a save that fails half-way leaves the previous contents in place.
bool SaveTemplateText(const std::string& path, std::string_view text, bool trimTrailingBlanks, FileError& error);

}  // namespace kurvane
