#pragma once
// The services of one run, handed to the windows, the pages and the learning core in one way:
// as `const AppContext&`, kept as a copy. The program's context comes from its Session
// (session/Session.h), which owns every member and outlives every window; tests fill in the
// members a part uses.
namespace lq {

struct ProgramEnv;
struct LearnState;
struct CommonSettings;
class Database;
struct CurrentRow;
class IniFile;
class Clock;
class Random;

struct AppContext {
    ProgramEnv* env = nullptr;
    LearnState* state = nullptr;
    CommonSettings* settings = nullptr;
    Database* db = nullptr;
    CurrentRow* row = nullptr;  // the user-interface thread's row store
    IniFile* ini = nullptr;
    Clock* clock = nullptr;
    Random* rng = nullptr;  // the one random source, seeded at start-up
};

}  // namespace lq
