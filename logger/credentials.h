// Secrets a service manager hands over: systemd's LoadCredential= puts each in a file of its
// own under $CREDENTIALS_DIRECTORY, out of the command line and the environment.
#pragma once

#include <string>

namespace cyclara::logger {

// The first line of credential `name`, or empty when there is none.
std::string ReadCredential(const std::string& name);

}  // namespace cyclara::logger
