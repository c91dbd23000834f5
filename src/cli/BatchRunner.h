#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace pasavel {

// Exit status of the batch runner.
enum BatchExit : int {
    batchCompleted = 0,
    batchFailed = 1,        // the run ended on an error or a missing file
    batchUsage = 2,         // wrong usage
    batchAnswersInvalid = 3 // the dialogs' answers were missing or invalid
};

// pasavel-cli: runs a conversion without a window, answering the dialogs
// from the options. Messages go to out ("Proceso finalizado" last on
// success), errors to err.
int runBatch(const std::vector<std::string>& arguments, const std::filesystem::path& executable,
             std::ostream& out, std::ostream& err);

} // namespace pasavel
