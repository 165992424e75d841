#include "logger/events/band_option.h"

#include <CLI/CLI.hpp>

#include <string>

namespace cyclara::logger {

void AddOwnBandOption(CLI::App& app, std::vector<Band>& bands) {
    app.add_option_function<std::vector<std::string>>(
           "--band",
           [&bands](const std::vector<std::string>& texts) {
               for (const std::string& text : texts) {
                   bands.push_back(*ParseBand(text));
               }
           },
           "A band of one's own beside the grid's, NAME:LOW:HIGH[:SECONDS], e.g. "
           "\"my limit:49.9:50.1:10\" (SECONDS: the shortest excursion that is an event, "
           "2 at the least); again for more")
        ->check(CLI::Validator(
            [](const std::string& text) {
                return ParseBand(text) ? "" : "not NAME:LOW:HIGH[:SECONDS] with LOW < HIGH";
            },
            ""))
        ->type_name("BAND");
}

}  // namespace cyclara::logger
