#include "core/LessonCaches.h"

namespace lq {

LessonCaches::LessonCaches(const Database& db)
    : db_(db), enabled_(Database::RowHooks()), items_(db), due_(db), history_(db) {}

LessonCaches* LessonCaches::Of(const Database& db) {
    LessonCaches* caches = db.Listener<LessonCaches>();
    return caches && caches->enabled_ ? caches : nullptr;
}

void LessonCaches::SetEnabled(const Database& db, bool enabled) {
    const ConnectionLock lock = db.Lock();
    if (LessonCaches* caches = db.Listener<LessonCaches>()) {
        caches->enabled_ = enabled && Database::RowHooks();
        caches->OnStale();
    }
}

void LessonCaches::OnRowChange(const RowChange& change) {
    items_.OnRowChange(change);
    due_.OnRowChange(change);
    history_.OnRowChange(change);
}

void LessonCaches::OnStale() {
    items_.Drop();
    due_.Drop();
    history_.Drop();
}

bool LessonCaches::ReadTotals(ItemTotals& out) {
    const ConnectionLock lock = db_.Lock();
    return enabled_ && db_.NoticeOtherWrites() && items_.Read(out);
}

bool LessonCaches::FirstDue(const std::string& now, long long exclude, const std::vector<long long>& modules,
                            long long& id) {
    const ConnectionLock lock = db_.Lock();
    return enabled_ && db_.NoticeOtherWrites() && due_.FirstDue(now, exclude, modules, id);
}

bool LessonCaches::FirstQueued(long long exclude, const std::vector<long long>& modules, long long& id) {
    const ConnectionLock lock = db_.Lock();
    return enabled_ && db_.NoticeOtherWrites() && due_.FirstQueued(exclude, modules, id);
}

bool LessonCaches::CountHistoryBetween(const std::string* after, const std::string* upTo, int n, long long* counts) {
    const ConnectionLock lock = db_.Lock();
    return enabled_ && db_.NoticeOtherWrites() && history_.CountBetween(after, upTo, n, counts);
}

bool LessonCaches::NewestHistory(long long offset, long long count, std::vector<HistoryRow>& rows) {
    const ConnectionLock lock = db_.Lock();
    return enabled_ && db_.NoticeOtherWrites() && history_.Newest(offset, count, rows);
}

}  // namespace lq
