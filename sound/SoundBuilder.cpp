#include "sound/SoundBuilder.h"

#include <QtGlobal>

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

#include "core/Database.h"
#include "platform/CNumbers.h"
#include "platform/FileNames.h"
#include "sound/Log.h"
#include "sound/Mp3Reader.h"

namespace lq {
namespace {

// Runs a statement into a fresh row store; false when it failed (logged).
bool QueryRow(const Database& db, const char* sql, int id, SoundRow& row) {
    const SqlResult r = db.QueryCached(sql, {id}, row);
    if (!r.ok()) qCDebug(lcSound, "Sound of sentence: cannot read its row: %s", r.message.c_str());
    return r.ok();
}

std::string AsciiLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

int16_t Load(const uint8_t* p) {
    int16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
void Store(uint8_t* p, int16_t v) { std::memcpy(p, &v, sizeof v); }

}  // namespace

namespace wave {

Range WidenRange(int b, int e, float addTimeSnd) {
    const float extra = 11025.0f * addTimeSnd;
    Range r;
    r.start = std::max(0, TruncToInt(static_cast<float>(b) - extra));
    r.end = std::max(0, TruncToInt(extra + static_cast<float>(e)));
    const int64_t span = static_cast<int64_t>(r.end) - r.start;
    r.durationMs = span > 0 ? static_cast<float>(span) * (1.0f / 11025.0f) * 1000.0f : 0.0f;
    return r;
}

int FadeLength(int rate, int channels, float addTimeSnd, int valueCount) {
    const float f = addTimeSnd <= 1.0f ? addTimeSnd : 1.0f;
    // R x (1/11025) x K x f x 11025 is rounded to single precision once, at the end, so that it
    // is R x K x f (32000 at 32 kHz, where single-precision steps would give 31999).
    const double x = static_cast<double>(rate) * (1.0 / 11025.0) * static_cast<double>(channels) *
                     static_cast<double>(f) * 11025.0;
    int fade = TruncToInt(static_cast<double>(static_cast<float>(x)));
    const int limit = valueCount / 2 - 10;
    if (fade > limit) fade = limit;
    return fade;
}

void ScaleAndFade(uint8_t* samples, int valueCount, int rate, int channels, float addTimeSnd) {
    if (valueCount <= 0) return;
    int lo = Load(samples);
    int hi = lo;
    for (int i = 1; i < valueCount; ++i) {
        const int x = Load(samples + 2 * i);
        lo = std::min(lo, x);
        hi = std::max(hi, x);
    }
    float peak = static_cast<float>(hi);
    if (static_cast<float>(-lo) > peak) peak = static_cast<float>(-lo);
    if (peak < 1.0f) peak = 1.0f;

    // v = 30000 / P * x, rounded once to single precision (|v| <= 30000, so every result fits).
    const double gain = 30000.0 / static_cast<double>(peak);
    const auto scaled = [&](int i) { return static_cast<float>(gain * Load(samples + 2 * i)); };
    const int fade = std::max(0, FadeLength(rate, channels, addTimeSnd, valueCount));
    const float fadeF = static_cast<float>(fade);
    // i < F: (i / F) * v; F <= i < N - F: v; N - F <= i: ((N - i) / F) * v; each truncated.
    for (int i = 0; i < fade; ++i) {
        const float q = static_cast<float>(i) / fadeF;
        Store(samples + 2 * i, static_cast<int16_t>(static_cast<int>(q * scaled(i))));
    }
    for (int i = fade; i < valueCount - fade; ++i)
        Store(samples + 2 * i, static_cast<int16_t>(static_cast<int>(scaled(i))));
    for (int i = std::max(fade, valueCount - fade); i < valueCount; ++i) {
        const float q = static_cast<float>(valueCount - i) / fadeF;
        Store(samples + 2 * i, static_cast<int16_t>(static_cast<int>(q * scaled(i))));
    }
}

}  // namespace wave

SoundBuilder::SoundBuilder(const Database& db, const std::atomic<float>& addTimeSnd, std::string programDir)
    : db_(db), addTimeSnd_(addTimeSnd), programDir_(std::move(programDir)) {}

int SoundBuilder::BuildItemWave(SoundBuffer& dest, int itemId) {
    std::lock_guard<std::mutex> lock(buildMutex_);
    const float add = addTimeSnd_.load();
    uint8_t* out = dest.Data();
    dest.ReadFailed = false;
    const auto empty = [&] {
        WriteEmptyWaveImage(out);
        dest.DurationMs = 0.0f;
        return 5;
    };

    // A read the database refused leaves the silent image marked as such, so that the sentence
    // is built again later; a row that is not there is the sentence's lasting silence.
    const auto readFailed = [&] {
        empty();
        dest.ReadFailed = true;
        return 5;
    };
    SoundRow item;
    if (!QueryRow(db_, "SELECT * FROM items2 WHERE ididnt=?", itemId, item)) return readFailed();
    if (item.ididnt == -1) return empty();
    SoundRow module;
    if (!QueryRow(db_, "SELECT * FROM sounds WHERE ididnt=?", item.isound, module)) return readFailed();
    if (module.ididnt == -1) return empty();

    int b = item.isndbg;
    int e = item.isndfn;
    if (AsciiLower("Data\\" + module.sfname).find("hp_02_28_2") != std::string::npos) {
        b /= 4;
        e /= 4;
    }
    const std::string path = ResolveNameCi(JoinPath(programDir_, "Data"), module.sfname);
    TMyPlayer0802 reader;
    if (module.sfname.empty() || path.empty() || !reader.Open(path)) return empty();

    const wave::Range range = wave::WidenRange(b, e, add);
    reader.SetRange(0, range.start);
    reader.SetRange(1, range.end);
    const TMyPlayer0802::Decoded decoded = reader.DecodeRange(out, SoundBuffer::Capacity());
    reader.Close();
    if (!decoded.ok || decoded.bytes < kWaveHeaderBytes) return empty();

    // The header goes over the first 44 decoded bytes: the image is exactly the decoded bytes.
    WriteWaveHeader(out, static_cast<uint32_t>(decoded.bytes), decoded.channels, decoded.rate);
    dest.DurationMs = range.durationMs;
    const int values = static_cast<int>((decoded.bytes - kWaveHeaderBytes) / 2);
    wave::ScaleAndFade(out + kWaveHeaderBytes, values, decoded.rate, decoded.channels, add);
    return 5;
}

}  // namespace lq
