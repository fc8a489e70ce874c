#pragma once
// The program's command line: the "-additems" scan of the raw line and the "-debug" and
// "-dbfile" options.
#include <optional>
#include <string>
#include <vector>

namespace lq {

// The raw command line as the platform hands it to the program: the arguments after the
// program's name joined by single blanks.
std::string RawCommandLine(int argc, char** argv);

// The first case-sensitive "-additems" with at least one character after it; the argument
// starts one character after the key (whatever that character is) and runs to the next blank
// (32) or the end. Quotes are not interpreted.
std::optional<std::string> FindAddItemsArg(const std::string& raw);

struct ProgramOptions {
    bool debug = false;
    std::string dbFile = "QV_01.db";
    bool dbFileGiven = false;  // "-dbfile" named the database
};

// Every parameter, the program's own path included, is tested: "-debug" in any letter case sets
// debug mode; "-dbfile" followed by a parameter names the database (case kept, last one wins).
ProgramOptions ParseOptions(const std::vector<std::string>& params);

// The arguments of the copy a restart starts, so that it runs on the same database and in the same
// mode: "-debug" when debug mode is on, then "-dbfile" and the name (one argument, as it was given)
// when "-dbfile" named one; nothing else. The name comes last, as on any command line that did not
// take the import road.
std::vector<std::string> RestartArguments(const ProgramOptions& options);

}  // namespace lq
