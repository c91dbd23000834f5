#pragma once

#include "import/Importacion.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace pasavel {

// What a completed run wrote, a line an item, as the user sees it at the end.

// The working tables an export leaves in the folder, each with its records,
// and the normalised copy it wrote.
std::vector<std::u16string> exportSummary(const std::filesystem::path& vtemp,
                                          const std::filesystem::path& copy);

// The output document an import wrote, the teachers and entries in it, and
// every entry it left out, with why.
std::vector<std::u16string> importSummary(const std::filesystem::path& output,
                                          const Importacion::Summary& summary);

// Appends a completed run to the user's record of runs: when, which
// direction, which file, and its summary. A record that cannot be written is
// no reason to fail a run that has completed.
void appendToRunLog(const std::filesystem::path& logFile, std::string_view direction,
                    const std::filesystem::path& chosen, const std::vector<std::u16string>& summary);

} // namespace pasavel
