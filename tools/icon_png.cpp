// Writes one image of an icon from the program's resources as a PNG file, for the desktop's
// icon themes: icon_png ICON_ID SIZE FILE.
#include "ui/compiled_resources.h"
#include "ui/qt/template_widgets.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: icon_png ICON_ID SIZE FILE\n");
        return 2;
    }
    const auto id = static_cast<uint16_t>(std::atoi(argv[1]));
    const int size = std::atoi(argv[2]);
    const auto resources = cyclara::ResourceFile::Parse(cyclara::CompiledResources());
    const auto images = resources ? cyclara::LoadIcon(*resources, id) : std::nullopt;
    if (!images) {
        std::fprintf(stderr, "icon_png: no icon %u\n", id);
        return 1;
    }
    for (const cyclara::IconImage& image : *images) {
        if (image.width == size && image.height == size) {
            return cyclara::qt::ToImage(image).save(argv[3], "PNG") ? 0 : 1;
        }
    }
    std::fprintf(stderr, "icon_png: icon %u has no %dx%d image\n", id, size, size);
    return 1;
}
