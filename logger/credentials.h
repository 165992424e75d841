// Secrets a service manager hands over: systemd's LoadCredential= puts each in a file of its
// own under $CREDENTIALS_DIRECTORY, out of the command line and the environment.
#pragma once

#include <optional>
#include <string>

namespace cyclara::logger {

// Only a regular file is opened for a secret or a certificate: a FIFO or a device there would
// hold the start in its open, and with it every stop.
bool IsPlainFile(const std::string& path);

// "cannot read the <what> <path>", and why where it is plain: no such file, or not a file.
std::string CannotRead(const std::string& what, const std::string& path);

// The first line of a file of secrets (a password, a token); none if it cannot be read or is
// not a file.
std::optional<std::string> ReadFirstLine(const std::string& path);

// The first line of credential `name`, or empty when there is none.
std::string ReadCredential(const std::string& name);

// The MQTT password: from `passwordFile` when given (none, with `whyNot` set, if it cannot be
// read), else $CYCLARA_MQTT_PASSWORD, else the credential "mqtt-password".
std::optional<std::string> ReadMqttPassword(const std::string& passwordFile, std::string& whyNot);

}  // namespace cyclara::logger
