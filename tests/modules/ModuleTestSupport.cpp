#include "tests/modules/ModuleTestSupport.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "core/AppContext.h"
#include "core/AppState.h"
#include "core/CurrentRow.h"
#include "pages/Pictures.h"
#include "platform/Cp1251.h"
#include "sound/SoundBuilder.h"
#include "sound/WaveImage.h"

namespace lq::test {

std::string Cp(const char* utf8) { return ToCp1251(QString::fromUtf8(utf8)); }

std::string FixtureDir() { return SourceDir() + "/tests/modules/fixtures"; }
std::string DemoDir() { return SourceDir() + "/Data"; }

std::string MakePos(int32_t n, const std::vector<PosEntry>& entries, bool pictures) {
    std::string b(pictures ? 6004 + 12 * entries.size() : 4 + 12 * entries.size(), '\0');
    auto put = [&b](size_t at, uint32_t v, int bytes) {
        for (int k = 0; k < bytes; ++k) b[at + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
    };
    put(0, static_cast<uint32_t>(n), 4);
    for (size_t i = 0; i < entries.size(); ++i) {
        put(4 + 12 * i, static_cast<uint32_t>(entries[i].flag), 4);
        put(8 + 12 * i, static_cast<uint32_t>(entries[i].start), 4);
        put(12 + 12 * i, static_cast<uint32_t>(entries[i].end), 4);
        if (pictures) {
            for (int k = 0; k < 6; ++k)
                put(6004 + 12 * i + 2 * k, static_cast<uint16_t>(entries[i].pictures[k]), 2);
        }
    }
    return b;
}

ProgramFolder::ProgramFolder() {
    std::filesystem::create_directories(dir_.Path() + "/Data");
    const SqlResult opened = db_.Open(dir_.Path() + "/QV_01.db");
    if (!opened.ok()) throw std::runtime_error("cannot open the database: " + opened.message);
}

void ProgramFolder::AddFixtureModule(const std::string& base, const std::string& skipExtension) const {
    for (const char* ext : {"txt", "txr", "mp3", "pos", "ims"}) {
        if (skipExtension == ext) continue;
        std::filesystem::copy_file(FixtureDir() + "/unit07." + ext, DataFile(base + "." + ext),
                                   std::filesystem::copy_options::overwrite_existing);
    }
}

void ProgramFolder::Remove(const std::string& dataName) const { std::filesystem::remove(DataFile(dataName)); }

long long ProgramFolder::Count(const char* table) const {
    long long n = -1;
    db_.Query(std::string("SELECT count(*) FROM ") + table + ";",
              [&n](int, char** v, char**) { n = v[0] ? std::stoll(v[0]) : -1; });
    return n;
}

std::vector<std::vector<std::string>> ProgramFolder::Rows(const char* table) const {
    std::vector<std::vector<std::string>> rows;
    db_.Query(std::string("SELECT * FROM ") + table + " ORDER BY ididnt;", [&rows](int n, char** v, char**) {
        std::vector<std::string> row;
        for (int i = 0; i < n; ++i) row.emplace_back(v[i] ? v[i] : "<NULL>");
        rows.push_back(std::move(row));
    });
    return rows;
}

FirstSentence PlayFirstSentence(ProgramFolder& folder) {
    FirstSentence played;
    LearnState state;
    folder.Db().Query("SELECT min(ididnt), count(*) FROM items2;", [&state](int, char** v, char**) {
        state.CurrentItemId = v[0] ? std::atoi(v[0]) : -1;
        state.ItemCount = v[1] ? std::atoi(v[1]) : 0;
    });
    if (state.ItemCount < 1) return played;

    const std::atomic<float> addTime{0.0f};
    SoundBuilder builder(folder.Db(), addTime, folder.Dir());
    SoundBuffer sound;
    builder.BuildItemWave(sound, state.CurrentItemId);
    played.waveBytes = sound.ImageBytes() > kWaveHeaderBytes ? sound.ImageBytes() : 0;
    played.durationMs = sound.DurationMs;

    ProgramEnv env;
    env.ProgramDir = folder.Dir();
    CurrentRow row;
    AppContext ctx;
    ctx.env = &env;
    ctx.state = &state;
    ctx.db = &folder.Db();
    ctx.row = &row;
    SentencePictures pictures;
    LoadItemImages(ctx, pictures);
    played.pictures = pictures.Count;
    return played;
}

}  // namespace lq::test
