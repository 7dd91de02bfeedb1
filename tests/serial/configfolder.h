// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A settings folder of the test's own in place of the user's: XDG_CONFIG_HOME points at a fresh
// folder for the fixture's life, so the user's corvane.conf never decides what a test sees.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace corvane::testing {

class ConfigFolder {
public:
    ConfigFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "corvane-config-XXXXXX");
        EXPECT_NE(mkdtemp(pattern.data()), nullptr);
        path_ = pattern;
        const char* old = std::getenv("XDG_CONFIG_HOME");
        old_ = old ? std::optional<std::string>(old) : std::nullopt;
        setenv("XDG_CONFIG_HOME", path_.c_str(), 1);
    }
    ~ConfigFolder() {
        if (old_)
            setenv("XDG_CONFIG_HOME", old_->c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ConfigFolder(const ConfigFolder&) = delete;
    ConfigFolder& operator=(const ConfigFolder&) = delete;

    // Writes the settings file, corvane/corvane.conf, with text as its whole content.
    void WriteSettings(const std::string& text) const {
        std::filesystem::create_directories(path_ + "/corvane");
        std::ofstream(path_ + "/corvane/corvane.conf") << text;
    }

private:
    std::string path_;
    std::optional<std::string> old_;
};

} // namespace corvane::testing
