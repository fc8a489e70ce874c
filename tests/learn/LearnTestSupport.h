#pragma once
// Fixtures for the Learn page and main window tests: a lesson database in a temporary folder, a
// sound builder that writes a small image naming its sentence, and mouse events for the board.
#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/Database.h"
#include "sound/SoundBuilder.h"
#include "sound/WaveImage.h"

namespace lq::test {

// Writes an image of two samples holding the sentence's id; duration 1000 + id ms.
class TaggingBuilder final : public ItemWaveBuilder {
public:
    struct Build {
        int itemId;
        std::thread::id thread;
    };
    int BuildItemWave(SoundBuffer& dest, int itemId) override {
        if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        WriteWaveHeader(dest.Data(), kWaveHeaderBytes + 4, 1, 11025);
        const int16_t samples[2] = {static_cast<int16_t>(itemId), static_cast<int16_t>(itemId)};
        std::memcpy(dest.Data() + kWaveHeaderBytes, samples, sizeof samples);
        dest.DurationMs = 1000.0f + static_cast<float>(itemId);
        std::lock_guard<std::mutex> lock(mutex_);
        builds_.push_back({itemId, std::this_thread::get_id()});
        return 5;
    }
    std::vector<Build> Builds() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return builds_;
    }
    static int TagOf(const std::vector<uint8_t>& image) {
        if (image.size() < kWaveHeaderBytes + 2) return -1;
        int16_t v = 0;
        std::memcpy(&v, image.data() + kWaveHeaderBytes, sizeof v);
        return v;
    }
    int delayMs = 0;

private:
    mutable std::mutex mutex_;
    std::vector<Build> builds_;
};

struct Sentence {
    std::string stract;
    int igansw = 0;
    int iaansw = 0;
    int iplace = 0;
    std::string strind = "0";
    std::string strbef;
    std::string straft;
    int isigns = 1;
    std::string dtansn = "2020-01-01 00:00:00";
};

// A lesson database file with one selected module.
class LessonDb {
public:
    explicit LessonDb(const std::string& path) {
        std::string error;
        if (!db.Open(path, &error)) qFatal("open: %s", error.c_str());
        db.Exec("INSERT INTO sounds (isigns, icodes, sfname) values(1, 0, 'm.mp3');");
    }
    int Add(const Sentence& s) {
        db.Exec(Sql("INSERT INTO items2 (isound, isndbg, isndfn, isigns, irange, irng_2, iaansw, igansw, dtansw, "
                    "dtansn, iplace, isntbf, isntaf, strbef, stract, straft, strtrn, strind, ipicnm, ipic_1, ipic_2, "
                    "ipic_3, ipic_4, ipic_5) values(1, 0, 0, %i, 0, 0, %i, %i, '2020-01-01 00:00:00', '%q', %i, -1, "
                    "-1, '%q', '%q', '%q', '', '%q', 0, 0, 0, 0, 0, 0);",
                    s.isigns, s.iaansw, s.igansw, s.dtansn.c_str(), s.iplace, EscapeApostrophes(s.strbef).c_str(),
                    EscapeApostrophes(s.stract).c_str(), EscapeApostrophes(s.straft).c_str(), s.strind.c_str()));
        return static_cast<int>(db.LastInsertRowId());
    }
    void MarkWord(const std::string& word, int icount) {
        db.Exec(Sql("INSERT INTO wrdstt (icount, ianswr, istate, twordd) values(%i, 0, 1, '%q');", icount, word.c_str()));
    }
    CurrentRow Item(int id) {
        CurrentRow r;
        r.ididnt = -1;
        db.Query(Sql("SELECT * FROM items2 WHERE ididnt=%i;", id), r);
        return r;
    }
    int Count(const std::string& sql) {
        CurrentRow r;
        r.CountResult = -1;
        db.Query(sql, r);
        return r.CountResult;
    }
    Database db;
};

inline void SendMove(QWidget* w, QPoint p, Qt::MouseButtons buttons = Qt::NoButton,
                     Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent e(QEvent::MouseMove, QPointF(p), w->mapToGlobal(QPointF(p)), Qt::NoButton, buttons, modifiers);
    QCoreApplication::sendEvent(w, &e);
}

inline void SendRelease(QWidget* w, QPoint p, Qt::MouseButton button) {
    QMouseEvent e(QEvent::MouseButtonRelease, QPointF(p), w->mapToGlobal(QPointF(p)), button, Qt::NoButton,
                  Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

// Hovers `from`, then moves there with the left button in 5-pixel steps to `to`, then once more
// without a button (the drop).
inline void SendDrag(QWidget* w, QPoint from, QPoint to) {
    SendMove(w, from);
    const QPoint d = to - from;
    const int steps = std::max(std::abs(d.x()), std::abs(d.y())) / 5 + 1;
    for (int k = 1; k <= steps; ++k) SendMove(w, from + d * k / steps, Qt::LeftButton);
    SendMove(w, to);
}

}  // namespace lq::test
