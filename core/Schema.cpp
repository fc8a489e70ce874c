#include "core/Schema.h"

#include <iterator>
#include <string>
#include <string_view>

#include "core/Database.h"

namespace lq {
namespace {

const char* const kSchema[] = {
    "CREATE TABLE answcn (ididnt integer primary key autoincrement, glrang text, isentn integer, dtdate datetime, "
    "glansn text);",
    "CREATE INDEX dtdata on answcn (dtdate);",
    "CREATE TABLE items2 (ididnt integer primary key autoincrement, isound integer, isndbg integer, isndfn integer, "
    "isigns integer, irange integer, irng_2 integer, iaansw integer, igansw integer, dtansw datetime, dtansn "
    "datetime, iplace integer, isntbf integer, isntaf integer, strbef text, stract text, straft text, strtrn text, "
    "strind text, ipicnm integer, ipic_1 integer, ipic_2 integer, ipic_3 integer, ipic_4 integer, ipic_5 integer);",
    "CREATE INDEX igansw on items2 (igansw);",
    "CREATE INDEX iplace on items2 (iplace, ididnt);",
    "CREATE INDEX iranges on items2 (irng_2, igansw);",
    "CREATE TABLE sounds (ididnt integer primary key autoincrement, isigns integer, icodes integer, sfname text);",
    "CREATE TABLE wrdstt (ididnt integer primary key autoincrement, icount integer, ianswr interger, istate "
    "integer, twordd text);",
    "CREATE INDEX ianswr ON wrdstt (ianswr);",
    "CREATE INDEX icount ON wrdstt (icount);",
    "CREATE INDEX twordd on wrdstt (twordd);",
};

const char* const kSpeedIndexes[] = {
    "CREATE INDEX IF NOT EXISTS igansw_isound on items2 (igansw, isound);",
    "CREATE INDEX IF NOT EXISTS igansw_iplace on items2 (igansw, iplace);",
};

// "CREATE TABLE x" -> "CREATE TABLE IF NOT EXISTS x" (likewise for indexes).
std::string IfNotExists(std::string_view statement) {
    for (std::string_view head : {std::string_view("CREATE TABLE "), std::string_view("CREATE INDEX ")}) {
        if (statement.substr(0, head.size()) == head)
            return std::string(head) + "IF NOT EXISTS " + std::string(statement.substr(head.size()));
    }
    return std::string(statement);
}

}  // namespace

const char* const* SchemaStatements(int* count) {
    if (count) *count = static_cast<int>(std::size(kSchema));
    return kSchema;
}

const char* const* SpeedIndexStatements(int* count) {
    if (count) *count = static_cast<int>(std::size(kSpeedIndexes));
    return kSpeedIndexes;
}

SqlResult Database::EnsureSchema() {
    std::string script = "BEGIN;";
    for (const char* statement : kSchema) script += IfNotExists(statement);
    script += "COMMIT;";
    SqlResult r = Exec(script);
    if (!r.ok()) Exec("ROLLBACK;");
    return r;
}

void Database::EnsureSpeedIndexes() {
    // Best effort: a read-only or foreign file works as before, only slower.
    std::string script = "BEGIN;";
    for (const char* statement : kSpeedIndexes) script += statement;
    script += "COMMIT;";
    if (!Exec(script).ok() && !sqlite3_get_autocommit(db_)) Exec("ROLLBACK;");
}

}  // namespace lq
