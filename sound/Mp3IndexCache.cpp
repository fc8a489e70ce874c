#include "sound/Mp3IndexCache.h"

#include <algorithm>
#include <utility>

namespace lq {

Mp3IndexCache::Mp3IndexCache(size_t entries) : limit_(std::max<size_t>(1, entries)) {}

Mp3IndexCache& Mp3IndexCache::Shared() {
    static Mp3IndexCache cache;
    return cache;
}

std::shared_ptr<const Mp3FrameIndex> Mp3IndexCache::Find(const Mp3FileKey& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.key == key; });
    if (it == entries_.end()) return nullptr;
    entries_.splice(entries_.begin(), entries_, it);
    return it->index;
}

void Mp3IndexCache::Store(const Mp3FileKey& key, std::shared_ptr<const Mp3FrameIndex> index) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.remove_if([&](const Entry& e) { return e.key.path == key.path; });
    entries_.push_front(Entry{key, std::move(index)});
    while (entries_.size() > limit_) entries_.pop_back();
    ++stores_;
}

void Mp3IndexCache::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
}

size_t Mp3IndexCache::Entries() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}

uint64_t Mp3IndexCache::Stores() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stores_;
}

}  // namespace lq
