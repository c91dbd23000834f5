#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// pasavel-tablas: shows what a dBase table holds, whichever layout it has, so
// that a person can look into any working table (level 7 included, which
// other readers show wrongly) without a program that might write over it.
namespace pasavel {

// Exit status: 0 done, 1 a folder or table could not be read, 2 wrong usage.
constexpr int tableToolDone = 0;
constexpr int tableToolFailed = 1;
constexpr int tableToolUsage = 2;

// The layout of a table in words: "dBase III+", "nivel 7", or "ajena" with
// the version byte (and the program that writes it, when it is well known).
std::string layoutName(unsigned char versionByte);

// Runs the tool over its arguments (without the program name); everything it
// prints is UTF-8, results on out and errors on err.
int runTableTool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

} // namespace pasavel
