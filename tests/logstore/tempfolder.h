// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A folder of its own for one test, removed with everything in it when the test ends.

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "logstore-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary folder");
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::size_t Entries() const {
        std::size_t count = 0;
        for (auto it = std::filesystem::recursive_directory_iterator(path_);
             it != std::filesystem::recursive_directory_iterator(); ++it)
            count += it->is_directory() ? 0 : 1;
        return count;
    }

private:
    std::filesystem::path path_;
};
