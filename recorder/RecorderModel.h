#pragma once
// The voice recorder's state without a window: the record image, the markers, the time axis of
// the waveform views, the capture of a marked segment and its end, and the playing of segments.
// The window calls it from its buttons, its 120 ms timer and its mouse clicks.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/AudioCapture.h"
#include "platform/SoundPlayer.h"

namespace lq::rec {

// Seconds of a monotonic clock (the recording's elapsed time).
class RecorderClock {
public:
    virtual ~RecorderClock() = default;
    virtual double Seconds() = 0;
};

class SteadyRecorderClock final : public RecorderClock {
public:
    double Seconds() override;
};

enum class CaptureStep { Open, Start, Close };
// The status label's text for a wave-in failure ("Open MMSYSERR_NODRIVER", "Start ????", ...);
// empty for CaptureResult::Ok.
std::string WaveInErrorText(CaptureStep step, CaptureResult result);

// Samples the record image holds for a sentence of `durationMs`: its duration plus one second
// at 11025 Hz, trunc((durationMs + 1000) * 0.001 * 11025), never negative.
int64_t RecordSampleCount(float durationMs);

// Where a take of the markers lands in an image of `frames` samples: sample offset s0 and the
// sample count, both clamped to the image (a start left of 0 starts at 0).
struct CapturePlan {
    int64_t s0 = 0;
    int64_t count = 0;          // samples kept
    float recLengthMs = 0.0f;   // count * 1000 / 11025
    bool nothingLeft = false;   // the markers ask for samples but none of them lies in the image
};
CapturePlan PlanCapture(float markerStart, float markerEnd, int64_t frames);

// The text shown instead of opening the device when the marked segment lies past the record.
inline constexpr const char* kNothingToRecordText = "Nothing to record here";

class RecorderModel {
public:
    RecorderModel(AudioCapture& capture, RecorderClock& clock, SoundPlayer& player);
    ~RecorderModel();
    RecorderModel(const RecorderModel&) = delete;
    RecorderModel& operator=(const RecorderModel&) = delete;

    // Showing the window on the current sentence's sound (`size` bytes of buffer) and duration:
    // a recording under way ends first; then the record image is the sentence's header with
    // silence, the markers span the sound and the view the sound plus one second.
    void Show(const uint8_t* sentence, size_t size, float durationMs);

    // A mouse release at pixel `x` of a view `viewPixels` wide: left = start marker,
    // right = end marker. True when a marker moved (the views are redrawn).
    enum class Button { Left, Right, Other };
    bool MarkerClick(Button button, int x, int viewPixels);

    // The record button: writes the 11025/mono header, opens and starts the device.
    void StartRecording();
    // The 120 ms tick while recording: moves what arrived into the image, ends the recording
    // once more than RecLengthMs + 500 ms have passed. True when this tick ended it.
    bool Tick();
    // Ends a recording under way now: stops the device, reads what is pending, closes it.
    void FinishRecording();
    // Closing the window: a recording under way ends, and playing stops.
    void Close();

    // Playing the marked segment (no-stop: refused while a sound plays). False when nothing
    // was started.
    bool PlayOriginal();
    bool PlayRecording();
    void StopPlaying();

    // The time axis after a knob moved it: the width stays within 1 ms .. 1000 s and the centre
    // within one width around the sound.
    void ClampView();

    // --- state for the window and the tests ---
    const std::vector<uint8_t>& Record() const { return record_; }
    const uint8_t* Sentence() const { return sentence_; }
    size_t SentenceSize() const { return sentenceSize_; }
    bool Recording() const { return recording_; }
    bool RecordEnabled() const { return recordEnabled_; }
    const std::string& LabelText() const { return labelText_; }
    bool LabelRed() const { return labelRed_; }
    int64_t ReceivedBytes() const { return received_; }
    int64_t WrittenBytes() const { return written_; }
    const CapturePlan& Plan() const { return plan_; }
    float SoundEndUs() const;

    int32_t OrigSampleCount = 0;
    float MarkerStart = 0.0f;
    float MarkerEnd = 0.0f;
    float ViewWidth = 200000.0f;
    float ViewCentre = 100000.0f;

private:
    void Drain();
    void Store(const uint8_t* bytes, size_t n);
    bool Play(const uint8_t* image, size_t size);

    AudioCapture& capture_;
    RecorderClock& clock_;
    SoundPlayer& player_;
    const uint8_t* sentence_ = nullptr;
    size_t sentenceSize_ = 0;
    float durationMs_ = 0.0f;
    float usPerSample_ = 1000000.0f / 11025.0f;
    std::vector<uint8_t> record_;
    CapturePlan plan_;
    bool recording_ = false;
    bool recordEnabled_ = true;
    std::string labelText_ = "R";
    bool labelRed_ = false;
    int64_t received_ = 0;
    int64_t written_ = 0;
    double lastSeconds_ = 0.0;
    float recElapsedMs_ = 0.0f;
};

}  // namespace lq::rec
