#pragma once
// The services of one run, owned by the program entry and the main window and handed by
// reference to the pages, the small windows and the learning core.
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
