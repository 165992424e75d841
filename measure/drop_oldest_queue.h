// A queue that keeps at most a given number of items: a push onto a full one drops the oldest
// and counts it, so a reader that fell far behind finds the newest. Not synchronised: the
// owner's lock guards it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <iterator>
#include <optional>
#include <vector>

namespace cyclara {

template <class T>
class DropOldestQueue {
  public:
    explicit DropOldestQueue(size_t limit) : m_limit(limit) {}

    void Push(T item) {
        if (m_items.size() == m_limit) {
            m_items.pop_front();
            ++m_dropped;
        }
        m_items.push_back(std::move(item));
    }

    std::optional<T> TakeOne() {
        if (m_items.empty()) {
            return std::nullopt;
        }
        T item = std::move(m_items.front());
        m_items.pop_front();
        return item;
    }

    // Up to `count` of the oldest items, taken out.
    std::vector<T> Take(size_t count) {
        const auto end = m_items.begin() + static_cast<std::ptrdiff_t>(std::min(count, m_items.size()));
        std::vector<T> taken(std::make_move_iterator(m_items.begin()), std::make_move_iterator(end));
        m_items.erase(m_items.begin(), end);
        return taken;
    }

    // Items taken out and not delivered go back before the newer ones, as far as the limit
    // leaves room; past it they are the oldest, and are dropped.
    void PutBack(std::vector<T> items) {
        const size_t room = m_limit - m_items.size();
        const size_t dropped = items.size() > room ? items.size() - room : 0;
        m_dropped += dropped;
        m_items.insert(m_items.begin(), std::make_move_iterator(items.begin() + static_cast<std::ptrdiff_t>(dropped)),
                       std::make_move_iterator(items.end()));
    }

    bool Empty() const { return m_items.empty(); }
    size_t Size() const { return m_items.size(); }
    uint64_t Dropped() const { return m_dropped; }

  private:
    const size_t m_limit;
    std::deque<T> m_items;
    uint64_t m_dropped = 0;
};

}  // namespace cyclara
