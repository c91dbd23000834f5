#pragma once

#include "gui-win32/Win32Look.h"

#include <filesystem>
#include <optional>
#include <string>

namespace pasavel::win32 {

// The pages of the program's help, kept under the name RAICES beside the
// executable. The numbers are the help contexts the windows carry.
enum class HelpTopic {
    contents,        // index.html
    mainWindow = 1,  // topic1.html: the main window and both directions
    frameDialog = 3, // topic3.html: the time-frame dialog
};

std::filesystem::path helpPage(const std::filesystem::path& programDirectory, HelpTopic topic);

// Opens the page of the topic in the user's browser. Returns why it could
// not, or nothing when it did.
std::optional<std::u16string> openHelpPage(HWND owner, const std::filesystem::path& programDirectory,
                                           HelpTopic topic);

} // namespace pasavel::win32
