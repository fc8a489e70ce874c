#include "core/CurrentRow.h"

#include <cstring>

#include "core/SqlText.h"
#include "platform/CNumbers.h"

namespace lq {
namespace {

enum class Kind { Int, IntAggregate, FloatAggregate, Glrang, Float, Text, EscapedText };

struct ColumnField {
    const char* name;
    Kind kind;
    int CurrentRow::*intField;
    float CurrentRow::*floatField;
    std::string CurrentRow::*textField;
};

constexpr ColumnField I(const char* n, int CurrentRow::*f) { return {n, Kind::Int, f, nullptr, nullptr}; }
constexpr ColumnField T(const char* n, std::string CurrentRow::*f) { return {n, Kind::Text, nullptr, nullptr, f}; }
constexpr ColumnField E(const char* n, std::string CurrentRow::*f) { return {n, Kind::EscapedText, nullptr, nullptr, f}; }

const ColumnField kColumns[] = {
    T("sfname", &CurrentRow::sfname),
    I("isigns", &CurrentRow::isigns),
    I("count(*)", &CurrentRow::CountResult),
    I("ididnt", &CurrentRow::ididnt),
    I("isound", &CurrentRow::isound),
    I("isndbg", &CurrentRow::isndbg),
    I("isndfn", &CurrentRow::isndfn),
    I("irange", &CurrentRow::irange),
    I("irng_2", &CurrentRow::irng_2),
    I("iaansw", &CurrentRow::iaansw),
    I("igansw", &CurrentRow::igansw),
    T("dtansw", &CurrentRow::dtansw),
    T("dtansn", &CurrentRow::dtansn),
    I("iplace", &CurrentRow::iplace),
    I("isntbf", &CurrentRow::isntbf),
    I("isntaf", &CurrentRow::isntaf),
    E("strbef", &CurrentRow::strbef),
    E("stract", &CurrentRow::stract),
    E("straft", &CurrentRow::straft),
    E("strtrn", &CurrentRow::strtrn),
    T("strind", &CurrentRow::strind),
    I("ipicnm", &CurrentRow::ipicnm),
    I("ipic_1", &CurrentRow::ipic_1),
    I("ipic_2", &CurrentRow::ipic_2),
    I("ipic_3", &CurrentRow::ipic_3),
    I("ipic_4", &CurrentRow::ipic_4),
    I("ipic_5", &CurrentRow::ipic_5),
    {"glrang", Kind::Glrang, nullptr, &CurrentRow::glrang, nullptr},
    T("dtdate", &CurrentRow::dtdate),
    I("isentn", &CurrentRow::isentn),
    {"glansn", Kind::Float, nullptr, &CurrentRow::glansn, nullptr},
    I("istate", &CurrentRow::istate),
    I("icount", &CurrentRow::icount),
    I("ianswr", &CurrentRow::ianswr),
    T("twordd", &CurrentRow::twordd),
    {"max(igansw)", Kind::IntAggregate, nullptr, nullptr, nullptr},
    {"sum(irng_2)", Kind::IntAggregate, nullptr, nullptr, nullptr},
    {"max(glrang)", Kind::FloatAggregate, nullptr, nullptr, nullptr},
    {"min(glrang)", Kind::FloatAggregate, nullptr, nullptr, nullptr},
};

}  // namespace

void StoreCurrentRow(CurrentRow& row, int columnCount, char** values, char** names) {
    for (int i = 0; i < columnCount; ++i) {
        const char* value = values[i];
        if (!value || !names[i]) continue;
        for (const ColumnField& c : kColumns) {
            if (std::strcmp(c.name, names[i]) != 0) continue;
            switch (c.kind) {
                case Kind::Int: row.*c.intField = CAtoi(value); break;
                case Kind::IntAggregate: row.IntAggregate = CAtoi(value); break;
                case Kind::FloatAggregate: row.FloatAggregate = static_cast<float>(CAtof(value)); break;
                case Kind::Glrang:
                    row.glrang = static_cast<float>(CAtof(value));
                    row.GlrangSum += row.glrang;
                    break;
                case Kind::Float: row.*c.floatField = static_cast<float>(CAtof(value)); break;
                case Kind::Text: row.*c.textField = value; break;
                case Kind::EscapedText: row.*c.textField = UnescapeApostrophes(value); break;
            }
            break;
        }
    }
}

}  // namespace lq
