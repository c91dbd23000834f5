#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>

// What the fuzz targets share: a scratch folder of their own and a way to
// report a broken promise so that libFuzzer keeps the input that broke it.
namespace pasavel::fuzz {

// A private folder under TMPDIR (point it at a tmpfs: every run writes and
// flushes files), created on first use and removed when the process ends.
inline const std::filesystem::path& scratchFolder()
{
    static const std::filesystem::path folder = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/pasavel-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(scratchFolder(), ignored);
        });
        return std::filesystem::path(pattern);
    }();
    return folder;
}

inline void writeFile(const std::filesystem::path& path, std::string_view bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
        std::fclose(file) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
}

// A promise of the code under test did not hold for this input.
[[noreturn]] inline void broken(const std::string& what)
{
    std::fprintf(stderr, "Broken promise: %s\n", what.c_str());
    std::abort();
}

} // namespace pasavel::fuzz
