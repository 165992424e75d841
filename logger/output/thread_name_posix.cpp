#include "logger/output/thread_name.h"

#include <pthread.h>

namespace cyclara::logger {

// The kernel keeps 15 bytes of it.
void NameThisThread(const std::string& name) {
    pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
}

}  // namespace cyclara::logger
