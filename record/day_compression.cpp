#include "record/day_compression.h"

#include <zlib.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace cyclara {

namespace {

constexpr size_t kChunkBytes = 1 << 16;
// zlib's level 3: a day of rows (8.6 MB) in 0.16 s and 2.0 MB, where its default (6) took
// 0.34 s for 1.8 MB; a replay compresses a day every few seconds, a meter one a day.
constexpr const char* kAppendMode = "ab3";

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// "2026-12-07.csv" and "2026-12-07-2.csv": a day's file, by its name.
bool IsDayFile(const std::string& name) {
    return name.size() >= 14 && std::isdigit(static_cast<unsigned char>(name[0])) &&
           name[4] == '-' && name[7] == '-' && EndsWith(name, ".csv");
}

// The first line of a gzip file, with its line end; empty when it has none.
std::string FirstLineOf(const std::string& gz) {
    gzFile in = gzopen(gz.c_str(), "rb");
    if (in == nullptr) {
        return "";
    }
    std::array<char, 4096> line{};
    const bool read = gzgets(in, line.data(), static_cast<int>(line.size())) != nullptr;
    gzclose(in);
    return read ? std::string(line.data()) : "";
}

// Rows that came late for a day compressed before join its rows under the header it begins
// with: a second header would be a row of text to a CSV reader, and the day no table.
void SkipTheHeaderItHas(std::ifstream& in, const std::string& gz) {
    std::string header;
    std::getline(in, header);
    if (header + "\n" != FirstLineOf(gz)) {
        in.clear();
        in.seekg(0);
    }
}

// Copies `from` onto the end of the gzip file `gz`; a copy that fails part-way leaves `gz`
// as it was, since only whole members are kept.
bool AppendCompressed(const std::string& from, const std::string& gz, std::string& whyNot) {
    std::ifstream in(from, std::ios::binary);
    std::error_code error;
    const std::string partial = gz + ".new";
    if (std::filesystem::exists(gz, error)) {
        if (in) {
            SkipTheHeaderItHas(in, gz);
        }
        std::filesystem::copy_file(gz, partial, std::filesystem::copy_options::overwrite_existing,
                                   error);
    } else {
        std::filesystem::remove(partial, error);
        error.clear();
    }
    gzFile out = error || !in ? nullptr : gzopen(partial.c_str(), kAppendMode);
    if (out == nullptr) {
        std::filesystem::remove(partial, error);
        whyNot = "cannot be opened";
        return false;
    }
    std::array<char, kChunkBytes> chunk{};
    bool written = true;
    while (written && in) {
        in.read(chunk.data(), chunk.size());
        const auto count = static_cast<unsigned>(in.gcount());
        written = count == 0 || gzwrite(out, chunk.data(), count) == static_cast<int>(count);
    }
    written = gzclose(out) == Z_OK && written && in.eof();
    if (written) {
        std::filesystem::rename(partial, gz, error);
    }
    if (!written || error) {
        std::filesystem::remove(partial, error);
        whyNot = "cannot be written";
        return false;
    }
    return true;
}

}  // namespace

bool CompressDayFile(const std::string& path, std::string& whyNot) {
    if (!AppendCompressed(path, path + kCompressedSuffix, whyNot)) {
        return false;
    }
    std::error_code error;
    std::filesystem::remove(path, error);
    return true;
}

void CompressDaysBefore(const std::string& folder, const std::string& today) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (IsDayFile(name) && name.compare(0, today.size(), today) < 0) {
            std::string whyNot;
            if (!CompressDayFile(entry.path().string(), whyNot)) {
                std::fprintf(stderr, "cyclara-log: %s is left uncompressed: it %s\n",
                             entry.path().string().c_str(), whyNot.c_str());
            }
        }
    }
}

bool ReadDayText(const std::string& path, size_t limit, std::string& text) {
    if (!EndsWith(path, kCompressedSuffix)) {
        std::error_code error;
        if (std::filesystem::file_size(path, error) > limit || error) {
            return false;
        }
        std::ifstream file(path, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(file), {});
        return !file.bad();
    }
    gzFile in = gzopen(path.c_str(), "rb");
    if (in == nullptr) {
        return false;
    }
    std::array<char, kChunkBytes> chunk{};
    int count = 0;
    text.clear();
    while (text.size() <= limit &&
           (count = gzread(in, chunk.data(), static_cast<unsigned>(chunk.size()))) > 0) {
        text.append(chunk.data(), static_cast<size_t>(count));
    }
    return gzclose(in) == Z_OK && count == 0 && text.size() <= limit;
}

}  // namespace cyclara
