#pragma once
// Playing a complete RIFF/WAVE image from memory, asynchronously, the way the program plays every
// sentence and recording. The player copies what it needs before Play returns, so the caller may
// overwrite its buffer at once.
//
// The program's player is SDL2 audio (its own thread plays the sound). When there is no sound
// device the player says so once in the debug log and every later Play quietly returns false.
#include <cstddef>
#include <cstdint>
#include <memory>

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

// SDL2 audio: SDL_Init(SDL_INIT_AUDIO) on first use, one output device opened for the image's
// rate and channel count (reopened when they change).
class SdlSoundPlayer final : public SoundPlayer {
public:
    SdlSoundPlayer();
    ~SdlSoundPlayer() override;
    SdlSoundPlayer(const SdlSoundPlayer&) = delete;
    SdlSoundPlayer& operator=(const SdlSoundPlayer&) = delete;

    bool Play(const uint8_t* image, size_t size, PlayMode mode = PlayMode::NoStop) override;
    void Stop() override;
    bool IsPlaying() const override;
    // False once the audio system or the device could not be had (reported once).
    bool Available() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The process-wide player: an SdlSoundPlayer unless a test or the entry sets another.
SoundPlayer& AppSoundPlayer();
void SetAppSoundPlayer(SoundPlayer* player);  // nullptr restores the default

}  // namespace lq
