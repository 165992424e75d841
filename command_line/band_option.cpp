#include "command_line/band_option.h"

#include <CLI/CLI.hpp>

#include <string>

namespace cyclara {

void AddGridOptions(CLI::App& app, GridChoice& grid) {
    std::vector<std::string> grids;
    for (const Grid& known : KnownGrids()) {
        grids.push_back(known.name);
    }
    // CLI11 lets an empty value past a member check.
    const CLI::Validator notEmpty(
        [](const std::string& value) { return value.empty() ? "a value is required" : ""; }, "");
    app.add_option("--grid", grid.name,
                   "The synchronous area whose bands are told and drawn: continental-europe "
                   "(default at 50 Hz), great-britain, nordic, north-america-eastern (default at "
                   "60 Hz), north-america-western, north-america-texas or north-america-quebec")
        ->check(notEmpty)
        ->check(CLI::IsMember(grids).description(""))
        ->type_name("NAME");
    std::vector<Band>& bands = grid.own;
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

}  // namespace cyclara
