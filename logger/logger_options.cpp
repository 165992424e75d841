#include "logger/logger_options.h"

#include "serial/serial_port.h"
#include "ui/compiled_resources.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <vector>

namespace cyclara::logger {

std::string VersionText() {
    std::string version = "cyclara-log";
    const std::optional<ResourceFile> resources = ResourceFile::Parse(CompiledResources());
    const std::optional<Bytes> block = resources ? resources->Find(kRtVersion, 1) : std::nullopt;
    const std::optional<VersionInfo> info = block ? ParseVersion(*block) : std::nullopt;
    if (!info) {
        return version;
    }
    for (size_t i = 0; i < info->fileVersion.size(); ++i) {
        version += (i == 0 ? " " : ".") + std::to_string(info->fileVersion[i]);
    }
    return version;
}

namespace {

// CLI11 reads an empty value as a number's zero and lets it past the range and member checks:
// "--speed ''" would have set the line to 0 baud, which hangs the line up.
const CLI::Validator kNotEmpty(
    [](const std::string& value) { return value.empty() ? "a value is required" : ""; }, "");

void AddOptions(CLI::App& app, LoggerOptions& o) {
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
                   "Folder of the CSV logs (default: the program's folder, else the user's "
                   "data folder)")
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
    app.add_flag("--no-reconnect", o.noReconnect,
                 "End with exit code 1 when the device is lost, instead of waiting for it");
    app.add_option("--mqtt", o.mqtt.url,
                   "Publish each counted pulse to this MQTT broker: mqtt://host[:port] or "
                   "mqtts://host[:port] (Linux)")
        ->type_name("URL");
    app.add_option("--mqtt-ca", o.mqtt.caFile, "Certificate authority file for mqtts://")
        ->type_name("FILE");
    app.add_option("--mqtt-user", o.mqtt.user, "MQTT user name")->type_name("NAME");
    app.add_option("--mqtt-password-file", o.mqtt.passwordFile,
                   "File holding the MQTT password (else $CYCLARA_MQTT_PASSWORD)")
        ->type_name("FILE");
    app.add_option("--mqtt-client-id", o.mqtt.clientId, "MQTT client id")->type_name("ID");
    app.add_option("--mqtt-topic", o.mqtt.topic,
                   "Topic prefix (default: cyclara/<host name>)")
        ->type_name("PREFIX");
    app.add_option("--mqtt-qos", o.mqtt.qos, "Quality of service of the state messages: 0 or 1")
        ->check(kNotEmpty)
            ->check(CLI::IsMember({0, 1}).description(""))
        ->type_name("N");
    app.add_flag("--no-discovery", o.mqtt.noDiscovery,
                 "Leave out Home Assistant's discovery messages");
    app.add_option("--influx", o.influx.url,
                   "Write each counted pulse to this InfluxDB write endpoint, e.g. "
                   "http://host:8086/write?db=grid or http://host:8086/api/v2/write?org=O&"
                   "bucket=B (Linux)")
        ->type_name("URL");
    app.add_option("--influx-token-file", o.influx.tokenFile,
                   "File holding an InfluxDB 2.x API token")
        ->type_name("FILE");
    app.add_option("--format", o.format, "Standard output: rows (default) or influx, "
                   "InfluxDB's line protocol for Telegraf or a pipe")
        ->check(kNotEmpty)
            ->check(CLI::IsMember({"rows", "influx"}).description(""))
        ->type_name("FORMAT");
    app.set_version_flag("--version", VersionText(), "Print the version and exit");
    app.footer(
        "Prints one line per counted pulse: elapsed count H:MM:SS, last interval (us), mean\n"
        "interval minus one second (us), frequency figure of the device's text lines, measured\n"
        "frequency (Hz) and grid time deviation (s).\n");
}

int UsageError(const std::string& problem) {
    std::fprintf(stderr, "cyclara-log: %s; see cyclara-log --help\n", problem.c_str());
    return 2;
}

}  // namespace

int ParseLoggerOptions(int argc, char** argv, LoggerOptions& options) {
    CLI::App app{"Measures the mains frequency through Cyclara's device, without a window.",
                 "cyclara-log"};
    AddOptions(app, options);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        return 0;
    } catch (const CLI::CallForVersion& version) {
        std::printf("%s\n", version.what());
        return 0;
    } catch (const CLI::ParseError& error) {
        return UsageError(error.what());
    }
    if (options.port == 0 && options.device.empty()) {
        return UsageError("name the port with --port N or --device PATH");
    }
    return -1;
}

}  // namespace cyclara::logger
