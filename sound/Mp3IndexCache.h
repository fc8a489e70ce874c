#pragma once
// The frame tables of the module files opened last, so that a sentence's sound is cut from its
// module without walking the whole file again. An entry is found only for the same path, device,
// inode, size and modification time (nanoseconds): a file that was written since is indexed anew.
// The few entries opened last are kept (a table costs 4 bytes a frame, about 2 MiB for four hours
// of sound); the oldest goes first. Safe to use from several threads.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sound/Mp3Reader.h"

namespace lq {

// The identity of a file's contents as far as the file system tells it.
struct Mp3FileKey {
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;
    int64_t size = 0;
    int64_t modifiedNs = 0;
    bool operator==(const Mp3FileKey&) const = default;
};

class Mp3IndexCache {
public:
    static constexpr size_t kDefaultEntries = 4;
    explicit Mp3IndexCache(size_t entries = kDefaultEntries);

    // The cache the reader uses.
    static Mp3IndexCache& Shared();

    // The table of `key`, or null; a hit becomes the most recent entry.
    std::shared_ptr<const Mp3FrameIndex> Find(const Mp3FileKey& key);
    // Keeps `index` for `key` (replacing an entry of the same path), dropping the oldest entry
    // beyond the limit.
    void Store(const Mp3FileKey& key, std::shared_ptr<const Mp3FrameIndex> index);
    void Clear();

    size_t Entries() const;
    uint64_t Stores() const;  // tables stored since the start: one per file indexed

private:
    struct Entry {
        Mp3FileKey key;
        std::shared_ptr<const Mp3FrameIndex> index;
    };
    mutable std::mutex mutex_;
    std::list<Entry> entries_;  // most recent first
    size_t limit_;
    uint64_t stores_ = 0;
};

}  // namespace lq
