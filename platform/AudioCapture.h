#pragma once
// Recording from the sound card: 16-bit signed mono at a given rate, delivered in the order it
// was captured. The device's own thread hands the bytes over through a locked buffer; the
// user-interface thread collects them with Read.
//
// Results carry the wave-in result codes the recorder's status label names
// (MMSYSERR_* / WAVERR_*), so one table of texts serves every back end.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace lq {

enum class CaptureResult : int {
    Ok = 0,
    Error = 1,         // MMSYSERR_ERROR: any other failure
    BadDeviceId = 2,   // MMSYSERR_BADDEVICEID
    Allocated = 4,     // MMSYSERR_ALLOCATED: the device is busy
    InvalHandle = 5,   // MMSYSERR_INVALHANDLE: no device is open
    NoDriver = 6,      // MMSYSERR_NODRIVER: no capture device at all
    NoMem = 7,         // MMSYSERR_NOMEM
    BadFormat = 32,    // WAVERR_BADFORMAT
    StillPlaying = 33, // WAVERR_STILLPLAYING
};

class AudioCapture {
public:
    virtual ~AudioCapture() = default;
    // Opens the default capture device for 16-bit signed mono at `rate`; not yet capturing.
    virtual CaptureResult Open(int rate) = 0;
    // Starts capturing into the hand-over buffer.
    virtual CaptureResult Start() = 0;
    // Stops capturing; what has arrived stays readable.
    virtual void Stop() = 0;
    // Moves up to `max` bytes that have arrived into `dest`; returns how many.
    virtual size_t Read(uint8_t* dest, size_t max) = 0;
    // Closes the device (stopping it first); bytes not read are discarded.
    virtual CaptureResult Close() = 0;
    virtual bool IsOpen() const = 0;
};

// SDL2 capture: SDL_OpenAudioDevice with iscapture, AUDIO_S16SYS, one channel; SDL converts from
// whatever the device offers. The device is closed at the latest by the destructor.
class SdlAudioCapture final : public AudioCapture {
public:
    SdlAudioCapture();
    ~SdlAudioCapture() override;
    SdlAudioCapture(const SdlAudioCapture&) = delete;
    SdlAudioCapture& operator=(const SdlAudioCapture&) = delete;

    CaptureResult Open(int rate) override;
    CaptureResult Start() override;
    void Stop() override;
    size_t Read(uint8_t* dest, size_t max) override;
    CaptureResult Close() override;
    bool IsOpen() const override;

    // SDL's text for the last failure (for the debug log).
    const std::string& LastError() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Maps SDL's text for a failed SDL_OpenAudioDevice to a result code (busy, format, other).
CaptureResult CaptureOpenResultFromSdlError(const std::string& sdlError);

}  // namespace lq
