#include "logger/logger_options.h"

#include "command_line/band_option.h"
#include "command_line/command_line.h"
#include "command_line/version.h"
#include "grid/grid_bands.h"
#include "logger/epoch/anchor_file.h"
#include "serial/serial_port.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <vector>

namespace cyclara::logger {

std::string DevicePathOf(const LoggerOptions& options) {
    return options.device.empty() ? DevicePath(options.port) : options.device;
}

std::string VersionText() {
    return std::string("cyclara-log ") + kVersion;
}

namespace {

// CLI11 reads an empty value as a number's zero and lets it past the range and member checks:
// "--speed ''" would have set the line to 0 baud, which hangs the line up.
const CLI::Validator kNotEmpty(
    [](const std::string& value) { return value.empty() ? "a value is required" : ""; }, "");

// The port, the logs and the measurement.
void AddMeasuringOptions(CLI::App& app, LoggerOptions& o) {
    CLI::Option* port =
        app.add_option("--port", o.port, "COM port 1 to 20, by the window's mapping of ports")
            ->check(kNotEmpty)
            ->check(CLI::Range(1, static_cast<int>(kPortCount)).description(""))
            ->type_name("N");
    app.add_option("--device", o.device,
                   "Serial device path, e.g. /dev/serial/by-id/... or \\\\.\\COM7")
        ->excludes(port)
        ->type_name("PATH");
    const std::vector<int32_t> speeds(kSpeedTable.begin(), kSpeedTable.end());
    app.add_option("--speed", o.speed,
                   "Bit rate: 110, 300, 600, 1200, 2400, 4800, 9600 (default), 14400, 19200, "
                   "38400, 57600 or 115200")
        ->check(kNotEmpty)
            ->check(CLI::IsMember(speeds).description(""))
        ->type_name("RATE");
    app.add_option("--log-dir", o.logDir,
                   "Folder of the CSV logs (default: the user's data folder, "
                   "~/.local/share/cyclara or %LOCALAPPDATA%\\Cyclara)")
        ->type_name("DIR");
    app.add_option("--count", o.count, "Stop after this many counted pulses")
        ->check(kNotEmpty)
            ->check(CLI::PositiveNumber.description(""))
        ->type_name("N");
    app.add_option("--record", o.recordDir,
                   "Folder of the per-pulse record: one CSV file per UTC day with the grid "
                   "figures")
        ->type_name("DIR");
    app.add_option("--nominal", o.nominal,
                   "Nominal mains frequency, 50 or 60 (default: from the device's lines)")
        ->check(kNotEmpty)
            ->check(CLI::IsMember({50, 60}).description(""))
        ->type_name("HZ");
    AddGridOptions(app, o.grid);
    app.add_flag("--no-reconnect", o.noReconnect,
                 "End with exit code 1 when the device is lost, instead of waiting for it");
    CLI::Option* reference =
        app.add_option("--reference", o.reference,
                       "dcd: a GPS receiver's PPS on the port's DCD measures each interval in "
                       "true seconds, and the clock's rate")
            ->check(CLI::IsMember({"dcd"}).description(""))
            ->type_name("dcd");
    app.add_option("--grid-time-anchor", o.gridTimeAnchor,
                   "The grid operator's grid time deviation at a moment, e.g. "
                   "-12.345@2026-12-08T14:00:00Z: ours is moved to match from then on (the "
                   "moment must lie within what this run measured, or after it)")
        ->check(CLI::Validator(
            [](const std::string& text) {
                return ParseGridTimeAnchor(text) ? "" : "not SECONDS@YYYY-MM-DDTHH:MM:SSZ";
            },
            ""))
        ->type_name("SECONDS@UTC");
    app.add_option("--grid-time-anchor-file", o.gridTimeAnchorFile,
                   "A file holding the operator's latest figure as SECONDS@UTC, looked at "
                   "every 5 s while running")
        ->type_name("FILE");
    app.add_option("--reference-device", o.reference,
                   "The PPS on DCD of another serial port instead (Linux)")
        ->excludes(reference)
        ->type_name("PATH");
}

void AddMqttOptions(CLI::App& app, LoggerOptions::Mqtt& o) {
    app.add_option("--mqtt", o.url,
                   "Publish each counted pulse to this MQTT broker: mqtt://host[:port] or "
                   "mqtts://host[:port] (mqtts:// on Linux)")
        ->type_name("URL");
    app.add_option("--mqtt-ca", o.caFile, "Certificate authority file for mqtts://")
        ->type_name("FILE");
    app.add_option("--mqtt-user", o.user, "MQTT user name")->type_name("NAME");
    app.add_option("--mqtt-password-file", o.passwordFile,
                   "File holding the MQTT password (else $CYCLARA_MQTT_PASSWORD)")
        ->type_name("FILE");
    app.add_option("--mqtt-client-id", o.clientId, "MQTT client id")->type_name("ID");
    app.add_option("--mqtt-topic", o.topic,
                   "Topic prefix (default: cyclara/<host name>; a second logger on the machine: "
                   "cyclara/<host name>/<device>)")
        ->type_name("PREFIX");
    app.add_option("--mqtt-qos", o.qos, "Quality of service of the state messages: 0 or 1")
        ->check(kNotEmpty)
            ->check(CLI::IsMember({0, 1}).description(""))
        ->type_name("N");
    app.add_option("--mqtt-every", o.everySeconds,
                   "Seconds of each period whose mean, lowest and highest frequency and grid "
                   "time Home Assistant's sensors get (default 10); every pulse still goes to "
                   "the state topic")
        ->check(kNotEmpty)
            ->check(CLI::Range(1, 3600).description(""))
        ->type_name("SECONDS");
    app.add_flag("--no-discovery", o.noDiscovery,
                 "Leave out Home Assistant's discovery messages");
}

// "[ADDRESS:]PORT" with a port a socket can have; the address is looked up when the page
// starts.
std::string CheckListenAddress(const std::string& text) {
    const size_t colon = text.rfind(':');
    const std::string port = colon == std::string::npos ? text : text.substr(colon + 1);
    const bool digits = !port.empty() && port.size() <= 5 &&
                        port.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || std::stoi(port) < 1 || std::stoi(port) > 65535) {
        return "the port of " + text + " is not 1 to 65535";
    }
    if (colon == 0) {
        return text + " names no address before its port";
    }
    return "";
}

// InfluxDB, standard output's format, and the version.
void AddOutputOptions(CLI::App& app, LoggerOptions& o) {
    app.add_option("--influx", o.influx.url,
                   "Write each counted pulse to this InfluxDB write endpoint, e.g. "
                   "http://host:8086/write?db=grid or http://host:8086/api/v2/write?org=O&"
                   "bucket=B")
        ->type_name("URL");
    app.add_option("--influx-token-file", o.influx.tokenFile,
                   "File holding an InfluxDB 2.x API token")
        ->type_name("FILE");
    app.add_option("--format", o.format, "Standard output: rows (default) or influx, "
                   "InfluxDB's line protocol for Telegraf or a pipe")
        ->check(kNotEmpty)
            ->check(CLI::IsMember({"rows", "influx"}).description(""))
        ->type_name("FORMAT");
    app.add_option("--http", o.http,
                   "Serve the live page, its JSON API and Prometheus metrics on [ADDRESS:]PORT; "
                   "a port alone listens on 127.0.0.1 only. They are read-only figures with no "
                   "secret; 0.0.0.0:PORT shows them to the whole network")
        ->check(kNotEmpty)
        ->check(CLI::Validator(CheckListenAddress, ""))
        ->type_name("[ADDRESS:]PORT");
    app.add_option("--http-head-seconds", o.httpHeadSeconds,
                   "Seconds a client of the live page has from its connection to send a whole "
                   "request head, however slowly (default 10); then it is closed")
        ->check(kNotEmpty)
        ->check(CLI::Range(int64_t{1}, int64_t{3600}).description(""))
        ->type_name("SECONDS");
    app.add_flag("--check", o.check,
                 "Watch the device for a while and report what decides a reading's accuracy "
                 "(exit 1 when something costs it)");
    app.add_option("--check-seconds", o.checkSeconds, "How long --check watches (default 20)")
        ->check(kNotEmpty)
            ->check(CLI::Range(1, 3600).description(""))
        ->type_name("SECONDS");
    app.add_option("--replay", o.replay,
                   "Analyse a recording as fast as the machine allows instead of measuring: "
                   "this program's record (a day file, plain or compressed, or its folder), "
                   "a one-second file of UTC times and deviations in mHz, or a time,hertz CSV. "
                   "Writes to its own --record folder")
        ->type_name("PATH");
    app.add_flag("--quiet", o.quiet,
                 "No row on standard output: for a service, whose journal takes --summary-every");
    app.add_option("--summary-every", o.summaryEverySeconds,
                   "Say on standard error at most this often what the pulses showed (count, "
                   "frequency range, grid time, what was lost)")
        ->check(kNotEmpty)
            ->check(CLI::PositiveNumber.description(""))
        ->type_name("SECONDS");
    app.set_version_flag("--version", VersionText(), "Print the version and exit");
    app.footer(
        "Prints one line per counted pulse: elapsed count H:MM:SS, last interval (us), mean\n"
        "interval minus one second (us), frequency figure of the device's text lines, measured\n"
        "frequency (Hz) and grid time deviation (s).\n");
}

// A replay measures nothing and leaves a live run's state alone: it writes to a record folder
// of its own, and neither a device, a reference nor the operator's anchor has a meaning there.
int ReplayUsage(const std::string& program, const LoggerOptions& o) {
    if (o.recordDir.empty()) {
        return UsageError(program, "a replay writes to a folder of its own: give --record DIR");
    }
    if (o.port != 0 || !o.device.empty() || !o.reference.empty() || o.check ||
        !o.gridTimeAnchor.empty() || !o.gridTimeAnchorFile.empty()) {
        return UsageError(program, "--replay measures no device: leave out --port, --device, "
                                   "--reference, --check and the grid time anchor");
    }
    return -1;
}

void AddOptions(CLI::App& app, LoggerOptions& o) {
    AddMeasuringOptions(app, o);
    AddMqttOptions(app, o.mqtt);
    AddOutputOptions(app, o);
}


}  // namespace

int ParseLoggerOptions(int argc, char** argv, LoggerOptions& options) {
    CLI::App app{"Measures the mains frequency through Cyclara's device, without a window.",
                 "cyclara-log"};
    AddOptions(app, options);
    if (const int ended = ParseCommandLine(app, argc, argv); ended >= 0) {
        return ended;
    }
    if (!options.replay.empty()) {
        return ReplayUsage(app.get_name(), options);
    }
    if (options.port == 0 && options.device.empty()) {
        return UsageError(app.get_name(), "name the port with --port N or --device PATH");
    }
    return -1;
}

}  // namespace cyclara::logger
