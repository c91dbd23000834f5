#pragma once

#include <ostream>
#include <string>
#include <vector>

// The command line and the standard streams of a console program, in the
// program's own text, UTF-8.
namespace pasavel {

// The arguments after the program's name. Windows hands main() its arguments
// in the ANSI code page, which loses any letter the code page lacks; there
// they are read from the command line as the user typed it.
std::vector<std::string> programArguments(int argc, char** argv);

// Standard output and standard error for UTF-8 text. On a Windows console the
// text is shown through the console's own wide-character output (the bytes
// would be read in the console's code page); written to a pipe or a file it
// stays UTF-8, with line ends as written.
std::ostream& standardOutput();
std::ostream& standardError();

} // namespace pasavel
