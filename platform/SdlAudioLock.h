#pragma once
// One lock for opening and closing SDL audio devices and for SDL's audio subsystem: the player's
// rest thread closes its device while the user-interface thread may be opening the recorder's.
#include <mutex>

namespace lq {

std::mutex& SdlAudioLock();

}  // namespace lq
