#include "platform/AudioCapture.h"

#include <SDL.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <deque>
#include <mutex>

#include "platform/Log.h"
#include "platform/SdlAudioLock.h"

namespace lq {

struct SdlAudioCapture::Impl {
    bool audioInit = false;
    SDL_AudioDeviceID device = 0;
    std::string lastError;
    // Filled by SDL's audio thread, drained by Read on the user-interface thread.
    std::mutex mutex;
    std::deque<uint8_t> pending;

    static void SDLCALL Callback(void* userdata, Uint8* stream, int len) {
        auto* self = static_cast<Impl*>(userdata);
        if (len <= 0) return;
        std::lock_guard<std::mutex> lock(self->mutex);
        self->pending.insert(self->pending.end(), stream, stream + len);
    }

    bool EnsureAudio() {
        if (audioInit) return true;
        std::lock_guard<std::mutex> lock(SdlAudioLock());
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        audioInit = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        if (!audioInit) lastError = SDL_GetError();
        return audioInit;
    }

    void CloseDevice() {
        if (!device) return;
        {
            std::lock_guard<std::mutex> sdl(SdlAudioLock());
            SDL_CloseAudioDevice(device);  // waits for a callback under way
        }
        device = 0;
        std::lock_guard<std::mutex> lock(mutex);
        pending.clear();
    }
};

CaptureResult CaptureOpenResultFromSdlError(const std::string& sdlError) {
    std::string e = sdlError;
    std::transform(e.begin(), e.end(), e.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (e.find("busy") != std::string::npos || e.find("in use") != std::string::npos ||
        e.find("too many") != std::string::npos)
        return CaptureResult::Allocated;
    if (e.find("format") != std::string::npos || e.find("unsupported") != std::string::npos)
        return CaptureResult::BadFormat;
    if (e.find("no such") != std::string::npos || e.find("no capture") != std::string::npos ||
        e.find("not supported") != std::string::npos || e.find("no available") != std::string::npos)
        return CaptureResult::NoDriver;
    if (e.find("out of memory") != std::string::npos) return CaptureResult::NoMem;
    return CaptureResult::Error;
}

SdlAudioCapture::SdlAudioCapture() : impl_(std::make_unique<Impl>()) {}

SdlAudioCapture::~SdlAudioCapture() {
    impl_->CloseDevice();
    if (!impl_->audioInit) return;
    std::lock_guard<std::mutex> lock(SdlAudioLock());
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

CaptureResult SdlAudioCapture::Open(int rate) {
    if (impl_->device) return CaptureResult::Allocated;  // one recording at a time
    if (!impl_->EnsureAudio()) return CaptureResult::NoDriver;
    // A driver that can enumerate and finds no capture device has none; -1 means "cannot tell".
    if (SDL_GetNumAudioDevices(1) == 0) {
        impl_->lastError = "no capture device";
        return CaptureResult::NoDriver;
    }
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 1;
    want.samples = 512;
    want.callback = &Impl::Callback;
    want.userdata = impl_.get();
    SDL_AudioSpec have{};
    {
        std::lock_guard<std::mutex> sdl(SdlAudioLock());
        impl_->device = SDL_OpenAudioDevice(nullptr, 1, &want, &have, 0);  // SDL converts to `want`
    }
    if (!impl_->device) {
        impl_->lastError = SDL_GetError();
        qCDebug(lcPlatform, "Capture: cannot open the device: %s", impl_->lastError.c_str());
        return CaptureOpenResultFromSdlError(impl_->lastError);
    }
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->pending.clear();
    return CaptureResult::Ok;
}

CaptureResult SdlAudioCapture::Start() {
    if (!impl_->device) return CaptureResult::InvalHandle;
    SDL_PauseAudioDevice(impl_->device, 0);
    if (SDL_GetAudioDeviceStatus(impl_->device) != SDL_AUDIO_PLAYING) {
        impl_->lastError = SDL_GetError();
        return CaptureResult::Error;
    }
    return CaptureResult::Ok;
}

void SdlAudioCapture::Stop() {
    if (!impl_->device) return;
    // Pausing under the device lock: once it returns no callback runs any more.
    SDL_LockAudioDevice(impl_->device);
    SDL_PauseAudioDevice(impl_->device, 1);
    SDL_UnlockAudioDevice(impl_->device);
}

size_t SdlAudioCapture::Read(uint8_t* dest, size_t max) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    const size_t n = std::min(max, impl_->pending.size());
    std::copy_n(impl_->pending.begin(), n, dest);
    impl_->pending.erase(impl_->pending.begin(), impl_->pending.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
}

CaptureResult SdlAudioCapture::Close() {
    if (!impl_->device) return CaptureResult::InvalHandle;
    impl_->CloseDevice();
    return CaptureResult::Ok;
}

bool SdlAudioCapture::IsOpen() const { return impl_->device != 0; }

const std::string& SdlAudioCapture::LastError() const { return impl_->lastError; }

}  // namespace lq
