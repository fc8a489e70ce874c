#pragma once
// Playing a complete RIFF/WAVE image from memory, asynchronously, the way the program plays every
// sentence and recording. The player copies what it needs before Play returns, so the caller may
// overwrite its buffer at once.
//
// The program's player is SDL2 audio (its own thread plays the sound). When there is no sound
// device the player says so once in the debug log and every later Play quietly returns false.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace lq {

enum class PlayMode {
    NoStop,   // refuse while a sound of the player is still playing
    Replace,  // end what is playing and start this one
};

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // Starts playing `image` (`size` bytes: the 44-byte header and the samples). False when it
    // plays nothing: refused under NoStop, not a valid image, no samples, or no device.
    virtual bool Play(const uint8_t* image, size_t size, PlayMode mode = PlayMode::NoStop) = 0;
    // Ends whatever the player is playing.
    virtual void Stop() = 0;
    virtual bool IsPlaying() const = 0;
};

// The format of an output device: rate, SDL's sample-format code (AUDIO_S16LSB, ...), channels.
struct SoundFormat {
    int freq = 0;
    uint16_t format = 0;
    uint8_t channels = 0;
    bool operator==(const SoundFormat&) const = default;
};

// The output device under SdlSoundPlayer: SDL's queue-fed device, or a test's fake. The player
// calls it under its own lock only, from the user-interface thread and from its rest thread.
class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    virtual bool Init() = 0;                                     // the audio system; false: none
    virtual bool Open(const SoundFormat& format) = 0;            // a device for `format`, paused
    virtual bool Queue(const uint8_t* pcm, uint32_t bytes) = 0;  // appends and lets the device run
    virtual void Clear() = 0;                                    // drops what is queued
    virtual uint32_t QueuedBytes() const = 0;
    virtual void Close() = 0;
    virtual void Quit() = 0;                                     // after the last Close
    virtual std::string Error() const = 0;                       // the last failure's text
};

// SDL2 audio: SDL_Init(SDL_INIT_AUDIO) on first use, SDL_OpenAudioDevice with a queue.
std::unique_ptr<SoundOutput> MakeSdlSoundOutput();

// The player over a SoundOutput (SDL's unless a test gives another). The device is opened for
// the image's rate and channel count at a play, and closed again once nothing has been queued
// for `restAfter` (a sound that has ended, a Stop), so no stream of silence runs while nothing
// plays; a play within that time (the next sentence after Next) finds the device still open.
class SdlSoundPlayer final : public SoundPlayer {
public:
    static constexpr std::chrono::milliseconds kRestAfter{500};

    explicit SdlSoundPlayer(std::unique_ptr<SoundOutput> output = MakeSdlSoundOutput(),
                            std::chrono::milliseconds restAfter = kRestAfter);
    ~SdlSoundPlayer() override;
    SdlSoundPlayer(const SdlSoundPlayer&) = delete;
    SdlSoundPlayer& operator=(const SdlSoundPlayer&) = delete;

    bool Play(const uint8_t* image, size_t size, PlayMode mode = PlayMode::NoStop) override;
    void Stop() override;
    bool IsPlaying() const override;
    // False once the audio system or the device could not be had (reported once).
    bool Available() const;
    // Whether an output device is open now.
    bool DeviceOpen() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The process-wide player: an SdlSoundPlayer unless a test or the entry sets another.
SoundPlayer& AppSoundPlayer();
void SetAppSoundPlayer(SoundPlayer* player);  // nullptr restores the default

}  // namespace lq
