#include "tests/pages/PagesTestSupport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImageWriter>

#include <algorithm>
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
    ini = std::make_unique<IniFile>(dir.File("Tessarin.ini"));
    ctx.env = &env;
    ctx.state = &state;
    ctx.settings = &settings;
    ctx.db = &db;
    ctx.row = &row;
    ctx.ini = ini.get();
}

void PagesFixture::Exec(const std::string& sql) { lessons.Exec(sql); }

int PagesFixture::InsertSound(const std::string& sfname) { return lessons.AddModule(true, sfname); }

int PagesFixture::InsertItem(const std::string& stract, int isound, int ipicnm, std::vector<int> pics,
                             const std::string& strtrn) {
    pics.resize(5, 0);
    ItemRow r;
    r.isound = isound;
    r.isndfn = 100;
    r.dtansw = r.dtansn = "2024-01-01 10:00:00";
    r.iplace = static_cast<long long>(state.ItemCount + 1);
    r.strbef = "before";
    r.stract = stract;
    r.straft = "after";
    r.strtrn = strtrn;
    r.ipicnm = ipicnm;
    std::copy(pics.begin(), pics.end(), r.pics.begin());
    const int id = lessons.AddItem(r);
    ++state.ItemCount;
    return id;
}

std::string PagesFixture::ItemText(int id, const char* column) { return lessons.ItemText(id, column); }

std::string MakeJpeg(int width, int height, QRgb color, bool progressive) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "JPG");
    writer.setQuality(90);
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(image)) throw std::runtime_error("JPEG encoder missing");
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
