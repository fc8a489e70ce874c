#include "recorder/RecorderModel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/CNumbers.h"
#include "platform/Tick.h"
#include "recorder/WaveData.h"
#include "sound/WaveImage.h"

namespace lq::rec {
namespace {

constexpr float kMinViewWidthUs = 1e3f;
constexpr float kMaxViewWidthUs = 1e9f;
// The record header is written with a 32-bit length: keep the image well inside it.
constexpr int64_t kMaxRecordSamples = int64_t{1} << 30;

}  // namespace

double SteadyRecorderClock::Seconds() { return PerformanceSeconds(); }

std::string WaveInErrorText(CaptureStep step, CaptureResult result) {
    if (result == CaptureResult::Ok) return {};
    // The codes each step names; any other code of that step is "????".
    struct Named {
        CaptureStep step;
        CaptureResult result;
        const char* name;
    };
    static const Named kNames[] = {
        {CaptureStep::Open, CaptureResult::Allocated, "MMSYSERR_ALLOCATED"},
        {CaptureStep::Open, CaptureResult::BadDeviceId, "MMSYSERR_BADDEVICEID"},
        {CaptureStep::Open, CaptureResult::NoDriver, "MMSYSERR_NODRIVER"},
        {CaptureStep::Open, CaptureResult::NoMem, "MMSYSERR_NOMEM"},
        {CaptureStep::Open, CaptureResult::BadFormat, "WAVERR_BADFORMAT"},
        {CaptureStep::Start, CaptureResult::InvalHandle, "MMSYSERR_INVALHANDLE"},
        {CaptureStep::Start, CaptureResult::NoDriver, "MMSYSERR_NODRIVER"},
        {CaptureStep::Start, CaptureResult::NoMem, "MMSYSERR_NOMEM"},
        {CaptureStep::Close, CaptureResult::InvalHandle, "MMSYSERR_INVALHANDLE"},
        {CaptureStep::Close, CaptureResult::NoDriver, "MMSYSERR_NODRIVER"},
        {CaptureStep::Close, CaptureResult::NoMem, "MMSYSERR_NOMEM"},
        {CaptureStep::Close, CaptureResult::StillPlaying, "WAVERR_STILLPLAYING"},
    };
    const char* prefix = step == CaptureStep::Open ? "Open " : step == CaptureStep::Start ? "Start " : "Close ";
    for (const Named& n : kNames)
        if (n.step == step && n.result == result) return std::string(prefix) + n.name;
    return std::string(prefix) + "????";
}

int64_t RecordSampleCount(float durationMs) {
    const int64_t n = TruncToInt64((durationMs + 1000.0) * 0.001 * 11025.0);
    return std::clamp<int64_t>(n, 0, kMaxRecordSamples);
}

CapturePlan PlanCapture(float markerStart, float markerEnd, int64_t frames) {
    CapturePlan p;
    const float start = std::max(markerStart, 0.0f);
    const int64_t s0 = TruncToInt64(0.000001 * start * 11025.0);
    const int64_t asked = TruncToInt64((markerEnd - start) * 0.000001 * 11025.0);
    p.s0 = std::clamp<int64_t>(s0, 0, frames);
    p.count = std::clamp<int64_t>(asked, 0, frames - p.s0);
    p.nothingLeft = asked > 0 && p.count == 0;
    p.recLengthMs = static_cast<float>(static_cast<double>(p.count) * 1000.0 / 11025);
    return p;
}

RecorderModel::RecorderModel(AudioCapture& capture, RecorderClock& clock, SoundPlayer& player)
    : capture_(capture), clock_(clock), player_(player), record_(kWaveHeaderBytes) {
    WriteEmptyWaveImage(record_.data());
}

RecorderModel::~RecorderModel() {
    if (capture_.IsOpen()) capture_.Close();
}

float RecorderModel::SoundEndUs() const { return static_cast<float>(OrigSampleCount) * usPerSample_; }

void RecorderModel::Show(const uint8_t* sentence, size_t size, float durationMs) {
    // The device must not go on writing into the image that is replaced now.
    FinishRecording();
    sentence_ = sentence;
    sentenceSize_ = size;
    durationMs_ = durationMs;
    const WaveData w = ReadWaveData(sentence, size);
    if (w.HasSound()) {
        // The sentence's header and silence for as many bytes as it holds.
        const size_t bytes = static_cast<size_t>(w.frames) * static_cast<size_t>(w.channels) * 2;
        record_.assign(kWaveHeaderBytes + bytes, 0);
        std::memcpy(record_.data(), sentence, kWaveHeaderBytes);
        SetWaveLengths(record_.data(), static_cast<uint32_t>(bytes));
        usPerSample_ = w.usPerSample;
        OrigSampleCount = static_cast<int32_t>(std::min<int64_t>(w.frames, INT32_MAX));
    } else {
        // No sentence sound yet: an empty 11025 Hz mono sound.
        record_.assign(kWaveHeaderBytes, 0);
        WriteEmptyWaveImage(record_.data());
        usPerSample_ = 1000000.0f / 11025.0f;
        OrigSampleCount = 0;
    }
    ViewWidth = static_cast<float>(OrigSampleCount) * usPerSample_ + 1000000.0f;
    ViewCentre = static_cast<float>(ViewWidth * 0.5);
    labelText_ = "R";
    MarkerStart = 0.0f;
    MarkerEnd = static_cast<float>(OrigSampleCount) * usPerSample_;
    ClampView();
}

bool RecorderModel::MarkerClick(Button button, int x, int viewPixels) {
    if (button == Button::Other) return false;
    const float p = static_cast<float>(viewPixels) / ViewWidth;
    if (!(p > 0.0f) || !std::isfinite(p)) return false;  // no width: no time for a pixel
    const float t = static_cast<float>((ViewCentre - ViewWidth * 0.5) + static_cast<float>(x) / p);
    if (!std::isfinite(t)) return false;
    if (button == Button::Left)
        MarkerStart = t;
    else
        MarkerEnd = t;
    if (MarkerStart > MarkerEnd) std::swap(MarkerStart, MarkerEnd);
    return true;
}

void RecorderModel::StartRecording() {
    if (recording_ || !recordEnabled_) return;
    labelRed_ = true;
    const int64_t n = RecordSampleCount(durationMs_);
    // The 11025/mono/16 header for n samples; what the image held beyond it stays (an earlier
    // take, or silence).
    record_.resize(kWaveHeaderBytes + static_cast<size_t>(n) * 2, 0);
    WriteWaveHeader(record_.data(), static_cast<uint32_t>(record_.size()), 1, kRecordRate);

    plan_ = PlanCapture(MarkerStart, MarkerEnd, n);
    if (plan_.nothingLeft) {
        labelText_ = kNothingToRecordText;
        return;
    }
    const CaptureResult opened = capture_.Open(kRecordRate);
    if (opened != CaptureResult::Ok) {
        labelText_ = WaveInErrorText(CaptureStep::Open, opened);
        return;
    }
    recordEnabled_ = false;  // until the recording ends, whatever the start says
    recording_ = true;
    received_ = 0;
    written_ = 0;
    lastSeconds_ = clock_.Seconds();
    recElapsedMs_ = 0.0f;
    const CaptureResult started = capture_.Start();
    if (started != CaptureResult::Ok) labelText_ = WaveInErrorText(CaptureStep::Start, started);
}

void RecorderModel::Store(const uint8_t* bytes, size_t n) {
    received_ += static_cast<int64_t>(n);
    const int64_t room = plan_.count * 2 - written_;
    const size_t take = static_cast<size_t>(std::clamp<int64_t>(room, 0, static_cast<int64_t>(n)));
    if (take == 0) return;
    const size_t at = kWaveHeaderBytes + static_cast<size_t>(plan_.s0) * 2 + static_cast<size_t>(written_);
    std::memcpy(record_.data() + at, bytes, take);
    written_ += static_cast<int64_t>(take);
}

void RecorderModel::Drain() {
    uint8_t chunk[4096];
    for (;;) {
        const size_t n = capture_.Read(chunk, sizeof chunk);
        if (n == 0) break;
        Store(chunk, n);
    }
}

bool RecorderModel::Tick() {
    if (!recording_) return false;
    Drain();
    const double now = clock_.Seconds();
    const double seconds = now - lastSeconds_;
    lastSeconds_ = now;
    recElapsedMs_ = static_cast<float>(recElapsedMs_ + seconds * 1000.0);
    if (recElapsedMs_ > plan_.recLengthMs + 500.0) {
        FinishRecording();
        return true;
    }
    return false;
}

void RecorderModel::FinishRecording() {
    if (!recording_) return;
    recording_ = false;
    labelRed_ = false;
    capture_.Stop();
    Drain();  // what the device delivered up to its stop
    const CaptureResult closed = capture_.Close();
    if (closed != CaptureResult::Ok) labelText_ = WaveInErrorText(CaptureStep::Close, closed);
    recordEnabled_ = true;
}

void RecorderModel::Close() {
    FinishRecording();
    StopPlaying();
}

bool RecorderModel::Play(const uint8_t* image, size_t size) {
    // The player keeps its own copy; a refused play leaves the sounding segment as it is.
    if (player_.IsPlaying()) return false;
    const std::vector<uint8_t> segment = ExtractSegment(image, size, MarkerStart, MarkerEnd);
    if (segment.empty()) return false;
    return player_.Play(segment.data(), segment.size(), PlayMode::NoStop);
}

bool RecorderModel::PlayOriginal() { return Play(sentence_, sentenceSize_); }

bool RecorderModel::PlayRecording() { return Play(record_.data(), record_.size()); }

void RecorderModel::StopPlaying() { player_.Stop(); }

void RecorderModel::ClampView() {
    if (!std::isfinite(ViewWidth)) ViewWidth = ViewWidth > 0 ? kMaxViewWidthUs : kMinViewWidthUs;
    ViewWidth = std::clamp(ViewWidth, kMinViewWidthUs, kMaxViewWidthUs);
    const float lo = -ViewWidth;
    const float hi = SoundEndUs() + ViewWidth;
    if (!std::isfinite(ViewCentre)) ViewCentre = ViewCentre > 0 ? hi : lo;
    ViewCentre = std::clamp(ViewCentre, lo, hi);
}

}  // namespace lq::rec
