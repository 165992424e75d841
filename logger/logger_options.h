// cyclara-log's command line.
#pragma once

#include "grid/grid_bands.h"

#include <cstdint>
#include <string>

namespace cyclara::logger {

struct LoggerOptions {
    int32_t port = 0;    // COM1 to COM20 by the program's mapping; 0 when --device names it
    std::string device;  // any serial device
    int32_t speed = 9600;
    std::string logDir;  // empty: the window's folders
    int64_t count = 0;   // counted pulses before stopping; 0 runs until stopped
    std::string recordDir;   // the per-pulse record's folder; empty keeps none
    int nominal = 0;         // 50 or 60; 0 takes it from the device's lines
    GridChoice grid;         // whose bands events are told by, and the user's own
    bool noReconnect = false;  // end when the device is lost instead of waiting for it
    // A reference second on DCD: "dcd" for the measuring port's own, or another port's path;
    // empty: none.
    std::string reference;
    // The operator's grid time, SECONDS@UTC, given once or in a file read while running.
    std::string gridTimeAnchor;
    std::string gridTimeAnchorFile;
    struct Mqtt {
        std::string url;  // mqtt://host[:port] or mqtts://host[:port]; empty: no MQTT
        std::string caFile;
        std::string user;
        std::string passwordFile;  // else $CYCLARA_MQTT_PASSWORD
        std::string clientId;      // empty: cyclara-<host name>-<process id>
        std::string topic;         // empty: cyclara/<host name>
        int qos = 0;
        bool noDiscovery = false;
        int64_t everySeconds = 10;  // Home Assistant's state: one per period this long
    } mqtt;
    struct Influx {
        std::string url;        // an InfluxDB write endpoint; empty: none
        std::string tokenFile;  // 2.x: the API token, sent as "Authorization: Token ..."
    } influx;
    std::string http;  // [ADDRESS:]PORT the live page listens on; empty: none
    int64_t httpHeadSeconds = 10;  // a request's head is whole this long after the accept
    std::string format = "rows";  // standard output: "rows", or "influx" for line protocol
    bool quiet = false;           // no rows on standard output
    bool check = false;           // report on the device, the timing path and the clock
    std::string replay;           // a recording (file or folder) to analyse; empty: measure
    int64_t checkSeconds = 20;
    int64_t summaryEverySeconds = 0;  // a summary on standard error this often; 0: none
};

// Parses the arguments into `options`. Returns -1 to go on, or the exit code when the program
// is done: 0 after --help or --version (printed on standard output), 2 after a usage error
// (one line on standard error).
int ParseLoggerOptions(int argc, char** argv, LoggerOptions& options);

// "cyclara-log 1.0.0.1", from the version information.
std::string VersionText();

// The device the options name: --device, or the port's path.
std::string DevicePathOf(const LoggerOptions& options);

}  // namespace cyclara::logger
