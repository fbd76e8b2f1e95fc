// The queue of GIF references still to fetch in a run: an ordered set of texts,
// ascending and unique with ASCII letter case ignored, the first entry fetched next.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "measure/bytes.h"

namespace kurvane {

struct CaseInsensitiveLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return CompareIgnoreCase(a, b) < 0; }
};

class ImageQueue {
public:
    void Clear() { entries_.clear(); }
    bool Empty() const { return entries_.empty(); }
    std::size_t Count() const { return entries_.size(); }
    const std::string& First() const { return *entries_.begin(); }
    void RemoveFirst() { entries_.erase(entries_.begin()); }
    // Keeps the first-met spelling: a key equal to an entry apart from case is not
    // added. One lookup, and a copy of the key only when it is added.
    bool AddIfAbsent(std::string_view key)
    {
        const auto at = entries_.lower_bound(key);
        if (at != entries_.end() && !entries_.key_comp()(key, *at))
            return false;
        entries_.emplace_hint(at, key);
        return true;
    }
    std::vector<std::string> Entries() const { return {entries_.begin(), entries_.end()}; }

private:
    std::set<std::string, CaseInsensitiveLess> entries_;
};

}  // namespace kurvane
