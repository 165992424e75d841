// A request's head must be whole within a time from the connection's accept, however slowly
// its bytes come: a client that sends a byte now and then would otherwise hold its connection
// for as long as it likes, and enough of them every connection the server has. Times come
// from the caller (monotonic nanoseconds), so the rule is tested without waiting.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

namespace cyclara::logger {

// A socket as the platform numbers it: a descriptor, or a Windows SOCKET (a pointer's width).
using SocketNumber = uint64_t;

class HeadDeadlines {
  public:
    explicit HeadDeadlines(int64_t headNs) : m_headNs(headNs) {}

    void Accepted(SocketNumber connection, int64_t nowNs) { m_acceptedNs[connection] = nowNs; }
    // Its head is whole: from here the server's own idle limit watches it.
    void HeadWhole(SocketNumber connection) { m_acceptedNs.erase(connection); }
    void Closed(SocketNumber connection) { m_acceptedNs.erase(connection); }
    // The connections past their deadline, each given once.
    std::vector<SocketNumber> TakeExpired(int64_t nowNs);
    // When the next deadline falls, or none.
    int64_t NextDeadlineNs(int64_t noneNs) const;

  private:
    const int64_t m_headNs;
    std::map<SocketNumber, int64_t> m_acceptedNs;  // by connection, while its head is not whole
};

}  // namespace cyclara::logger
