#pragma once
// Fixtures for the Learn page and main window tests: sentences for the lesson database, a
// sound builder that writes a small image naming its sentence, and mouse events for the board.
#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sound/SoundBuilder.h"
#include "sound/WaveImage.h"
#include "tests/support/LessonDb.h"

namespace lq::test {

// Writes an image of two samples holding the sentence's id; duration 1000 + id ms.
class TaggingBuilder final : public ItemWaveBuilder {
public:
    struct Build {
        int itemId;
        std::thread::id thread;
    };
    int BuildItemWave(SoundBuffer& dest, int itemId) override {
        ++started_;
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
    int Started() const { return started_.load(); }  // builds begun, finished or not
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
    std::atomic<int> started_{0};
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

// A sentence of module 1, answered last on 1 Jan 2020 unless `dtansn` says otherwise; its id.
inline int AddSentence(LessonDb& lessons, const Sentence& s) {
    ItemRow row;
    row.igansw = s.igansw;
    row.iaansw = s.iaansw;
    row.dtansw = "2020-01-01 00:00:00";
    row.dtansn = s.dtansn;
    row.iplace = s.iplace;
    row.strbef = s.strbef;
    row.stract = s.stract;
    row.straft = s.straft;
    row.strind = s.strind;
    row.isigns = s.isigns;
    return lessons.AddItem(row);
}

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
