#include "tests/pages/PagesTestSupport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdint>
#include <stdexcept>

namespace lq::test {

void EnsureGuiApp() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char arg0[] = "test_pages";
    static char* argv[] = {arg0, nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
}

PagesFixture::PagesFixture() {
    env.ProgramDir = dir.Path();
    std::string error;
    if (!db.Open(dir.File("QV_01.db"), &error)) throw std::runtime_error("cannot open test database: " + error);
    ini = std::make_unique<IniFile>(dir.File("Tessarin.ini"));
    ctx.env = &env;
    ctx.state = &state;
    ctx.settings = &settings;
    ctx.db = &db;
    ctx.row = &row;
    ctx.ini = ini.get();
}

void PagesFixture::Exec(const std::string& sql) {
    const SqlResult r = db.Exec(sql);
    if (!r.ok()) throw std::runtime_error("SQL failed: " + r.message + " in " + sql);
}

int PagesFixture::InsertSound(const std::string& sfname) {
    Exec(Sql("INSERT INTO sounds (isigns, icodes, sfname) values(1, 0, '%q');", sfname.c_str()));
    return static_cast<int>(db.LastInsertRowId());
}

int PagesFixture::InsertItem(const std::string& stract, int isound, int ipicnm, std::vector<int> pics,
                             const std::string& strtrn) {
    pics.resize(5, 0);
    Exec(Sql("INSERT INTO items2 (isound, isndbg, isndfn, isigns, irange, irng_2, iaansw, igansw, dtansw, dtansn, "
             "iplace, isntbf, isntaf, strbef, stract, straft, strtrn, strind, ipicnm, ipic_1, ipic_2, ipic_3, ipic_4, "
             "ipic_5) values(%i, 0, 100, 1, 0, 0, 0, 0, '2024-01-01 10:00:00', '2024-01-01 10:00:00', %lld, -1, -1, "
             "'before', '%q', 'after', '%q', '0', %i, %i, %i, %i, %i, %i);",
             isound, static_cast<long long>(state.ItemCount + 1), EscapeApostrophes(stract).c_str(),
             EscapeApostrophes(strtrn).c_str(), ipicnm, pics[0], pics[1], pics[2], pics[3], pics[4]));
    ++state.ItemCount;
    return static_cast<int>(db.LastInsertRowId());
}

std::string PagesFixture::ItemText(int id, const char* column) {
    std::string out;
    bool found = false;
    db.Query(Sql("SELECT %s FROM items2 WHERE ididnt=%i;", column, id), [&](int n, char** v, char**) {
        if (n > 0 && v[0]) out = v[0];
        found = true;
    });
    if (!found) throw std::runtime_error("no such item");
    return UnescapeApostrophes(out);
}

std::string MakeJpeg(int width, int height, QRgb color) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPG", 90)) throw std::runtime_error("JPEG encoder missing");
    return bytes.toStdString();
}

namespace {
void Put32(std::string& out, int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}
}  // namespace

std::string MakeIms(const std::vector<std::string>& pictures, const std::vector<std::pair<int, int32_t>>& sizeOverrides) {
    std::string out;
    Put32(out, 7);
    Put32(out, 12345);
    for (size_t k = 0; k < 500; ++k) {
        int32_t size = k < pictures.size() ? static_cast<int32_t>(pictures[k].size()) : 0;
        for (const auto& [index, value] : sizeOverrides)
            if (static_cast<size_t>(index) == k) size = value;
        Put32(out, size);
    }
    for (const std::string& p : pictures) out += p;
    return out;
}

}  // namespace lq::test
