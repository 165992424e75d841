#include "logger/web/head_deadlines.h"

#include <algorithm>

namespace cyclara::logger {

std::vector<SocketNumber> HeadDeadlines::TakeExpired(int64_t nowNs) {
    std::vector<SocketNumber> expired;
    for (auto it = m_acceptedNs.begin(); it != m_acceptedNs.end();) {
        if (nowNs - it->second >= m_headNs) {
            expired.push_back(it->first);
            it = m_acceptedNs.erase(it);
        } else {
            ++it;
        }
    }
    return expired;
}

int64_t HeadDeadlines::NextDeadlineNs(int64_t noneNs) const {
    int64_t next = noneNs;
    for (const auto& [connection, acceptedNs] : m_acceptedNs) {
        next = std::min(next, acceptedNs + m_headNs);
    }
    return next;
}

}  // namespace cyclara::logger
