#include "platform/SdlAudioLock.h"

namespace lq {

std::mutex& SdlAudioLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace lq
