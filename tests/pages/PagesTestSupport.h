#pragma once
// Shared helpers of the page tests: a lesson database in a temporary folder and small makers.
#include <QImage>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/AppContext.h"
#include "core/AppState.h"
#include "core/CurrentRow.h"
#include "core/Database.h"
#include "core/Settings.h"
#include "platform/IniFile.h"
#include "tests/support/LessonDb.h"
#include "tests/support/TempDir.h"

class QGuiApplication;

namespace lq::test {

// A QGuiApplication for tests that paint or decode pictures (created once).
void EnsureGuiApp();

// A program folder with an open database and the services bundle over it.
struct PagesFixture {
    PagesFixture();
    TempDir dir;
    ProgramEnv env;
    LearnState state;
    CommonSettings settings;
    LessonDb lessons{dir.File("QV_01.db")};
    Database& db = lessons.db;
    CurrentRow& row = lessons.row;
    std::unique_ptr<IniFile> ini;
    AppContext ctx;

    void Exec(const std::string& sql);
    int InsertItem(const std::string& stract, int isound = 1, int ipicnm = 0, std::vector<int> pics = {},
                   const std::string& strtrn = "");
    int InsertSound(const std::string& sfname);
    // Reads one text column of items2 (unescaped as the row store does).
    std::string ItemText(int id, const char* column);
};

// A JPEG file of the given size, filled with `color`; progressive by libjpeg's own scan script
// (what cjpeg -progressive writes) when asked.
std::string MakeJpeg(int width, int height, QRgb color, bool progressive = false);

// An ".ims" file image: header words, the 500-entry size table, then the data in order.
std::string MakeIms(const std::vector<std::string>& pictures,
                    const std::vector<std::pair<int, int32_t>>& sizeOverrides = {});

}  // namespace lq::test
