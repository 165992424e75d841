#include "compare/live/run_live.h"

#include "compare/live/broker_feed.h"
#include "compare/live/live_meters.h"
#include "compare/live/live_server.h"
#include "compare/live/live_texts.h"
#include "measure/clock.h"

#include <csignal>
#include <cstdio>
#include <ctime>

namespace cyclara::compare {

namespace {

// The stop stopSignals, taken by this thread alone: blocked before any other thread starts, so
// the broker's and the server's threads inherit the mask and never take one.
sigset_t StopSignals() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    return stopSignals;
}

// Sleeps up to `seconds`; true when a stop signal came.
bool StopCameWithin(const sigset_t& stopSignals, int64_t seconds) {
    const timespec wait{static_cast<time_t>(seconds), 0};
    return sigtimedwait(&stopSignals, nullptr, &wait) > 0;
}

}  // namespace

int RunLive(const LiveOptions& options) {
    const sigset_t stopSignals = StopSignals();
    LiveMeters meters(options.windowSeconds);
    std::string whyNot;
    const std::unique_ptr<BrokerFeed> feed =
        FeedFromBroker(options.broker, options.topic, meters, whyNot);
    if (!feed) {
        std::fprintf(stderr, "cyclara-compare: %s\n", whyNot.c_str());
        return 2;
    }
    std::unique_ptr<LiveServer> server;
    if (!options.http.empty()) {
        server = StartLiveServer(options.http, meters, options.windowSeconds, whyNot);
        if (!server) {
            std::fprintf(stderr, "cyclara-compare: %s\n", whyNot.c_str());
            return 1;
        }
        std::fprintf(stderr, "cyclara-compare: the comparison's page is on port %u\n",
                     static_cast<unsigned>(server->Port()));
    }
    std::fprintf(stderr, "cyclara-compare: comparing the states on %s at %s over %lld s\n",
                 options.topic.c_str(), options.broker.c_str(),
                 static_cast<long long>(options.windowSeconds));
    while (!StopCameWithin(stopSignals, options.printEverySeconds)) {
        std::fputs(ViewLines(meters.View(SystemClock().MonotonicNs())).c_str(), stdout);
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace cyclara::compare
