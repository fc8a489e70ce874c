#include "platform/SoundPlayer.h"

#include <SDL.h>

#include <climits>
#include <cstring>

#include "platform/Log.h"

namespace lq {

struct SdlSoundPlayer::Impl {
    bool triedInit = false;
    bool initialised = false;
    bool unavailable = false;  // no audio system or no device: play nothing for the rest of the run
    SDL_AudioDeviceID device = 0;
    SDL_AudioSpec deviceSpec{};  // the format the device was asked for

    void ReportUnavailable(const char* what) {
        if (unavailable) return;
        unavailable = true;
        qCWarning(lcPlatform, "Sound: cannot play (%s): %s; going on without sound", what, SDL_GetError());
    }

    bool EnsureAudio() {
        if (!triedInit) {
            triedInit = true;
            SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
            initialised = SDL_Init(SDL_INIT_AUDIO) == 0;
            if (!initialised) ReportUnavailable("no audio system");
        }
        return initialised && !unavailable;
    }

    // A device for `format`: the open one when it has that format, else a new one.
    bool EnsureDevice(const SDL_AudioSpec& format) {
        if (device && deviceSpec.freq == format.freq && deviceSpec.format == format.format &&
            deviceSpec.channels == format.channels)
            return true;
        CloseDevice();
        SDL_AudioSpec want{};
        want.freq = format.freq;
        want.format = format.format;
        want.channels = format.channels;
        want.samples = 1024;
        SDL_AudioSpec have{};
        device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);  // SDL converts when the device differs
        if (!device) {
            ReportUnavailable("no sound device");
            return false;
        }
        deviceSpec = want;
        return true;
    }

    void CloseDevice() {
        if (device) SDL_CloseAudioDevice(device);
        device = 0;
    }
};

SdlSoundPlayer::SdlSoundPlayer() : impl_(std::make_unique<Impl>()) {}

SdlSoundPlayer::~SdlSoundPlayer() {
    impl_->CloseDevice();
    if (impl_->initialised) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SdlSoundPlayer::Play(const uint8_t* image, size_t size, PlayMode mode) {
    // An image without samples (or no image at all) plays nothing.
    if (!image || size <= 44 || size > static_cast<size_t>(INT_MAX)) return false;
    uint32_t dataBytes = 0;
    std::memcpy(&dataBytes, image + 40, 4);
    if (dataBytes == 0 || std::memcmp(image, "RIFF", 4) != 0) return false;
    if (mode == PlayMode::NoStop && IsPlaying()) return false;
    if (!impl_->EnsureAudio()) return false;

    SDL_AudioSpec format{};
    Uint8* pcm = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV_RW(SDL_RWFromConstMem(image, static_cast<int>(size)), 1, &format, &pcm, &length)) {
        qCDebug(lcPlatform, "Sound: not a playable image: %s", SDL_GetError());
        return false;
    }
    bool started = false;
    if (length > 0 && impl_->EnsureDevice(format)) {
        SDL_ClearQueuedAudio(impl_->device);
        started = SDL_QueueAudio(impl_->device, pcm, length) == 0;
        SDL_PauseAudioDevice(impl_->device, 0);
    }
    SDL_FreeWAV(pcm);
    return started;
}

void SdlSoundPlayer::Stop() {
    if (impl_->device) SDL_ClearQueuedAudio(impl_->device);
}

bool SdlSoundPlayer::IsPlaying() const {
    return impl_->device && SDL_GetQueuedAudioSize(impl_->device) > 0;
}

bool SdlSoundPlayer::Available() const { return !impl_->unavailable; }

namespace {
SoundPlayer* g_player = nullptr;
}

SoundPlayer& AppSoundPlayer() {
    if (g_player) return *g_player;
    static SdlSoundPlayer player;
    return player;
}

void SetAppSoundPlayer(SoundPlayer* player) { g_player = player; }

}  // namespace lq
