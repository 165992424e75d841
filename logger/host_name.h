// This machine's name, for the tags and topics that tell one meter from another.
#pragma once

#include <string>

namespace cyclara::logger {

std::string HostName();

}  // namespace cyclara::logger
