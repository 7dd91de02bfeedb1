// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/comports.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace corvane {
namespace {

struct Block {
    unsigned first;
    const char* prefix;
};

// Each block of 32 numbers stands for one kind of Linux serial device.
constexpr Block kBlocks[] = {{1, "/dev/ttyS"}, {33, "/dev/ttyUSB"}, {65, "/dev/ttyACM"}};
constexpr unsigned kBlockSize = 32;

std::string FromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string LinkPath(unsigned number) {
    const std::string folder = ComPortsFolder();
    if (folder.empty())
        return "";
    const std::filesystem::path link =
        std::filesystem::path(folder) / ("COM" + std::to_string(number));
    std::error_code error;
    return std::filesystem::is_symlink(link, error) ? link.string() : "";
}

std::string BlockPath(unsigned number) {
    for (const Block& block : kBlocks) {
        if (number >= block.first && number < block.first + kBlockSize)
            return block.prefix + std::to_string(number - block.first);
    }
    return "";
}

} // namespace

std::optional<unsigned> ParseComPortName(const std::string& name) {
    std::string rest = name.rfind("\\\\.\\", 0) == 0 ? name.substr(4) : name;
    if (rest.size() < 4)
        return std::nullopt;
    for (std::size_t i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(rest[i])) != "COM"[i])
            return std::nullopt;
    }
    const std::string digits = rest.substr(3);
    if (digits.size() > 9 || digits[0] == '0')
        return std::nullopt;
    unsigned number = 0;
    for (const char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    return number;
}

std::string ComPortsFolder() {
    if (std::string folder = FromEnvironment("CORVANE_PORTS_DIR"); !folder.empty())
        return folder;
    // The XDG base directory rules: a relative XDG_CONFIG_HOME is to be ignored.
    if (std::string config = FromEnvironment("XDG_CONFIG_HOME");
        !config.empty() && config[0] == '/')
        return config + "/corvane/ports";
    if (std::string home = FromEnvironment("HOME"); !home.empty())
        return home + "/.config/corvane/ports";
    return "";
}

std::string ComPortPath(unsigned number) {
    if (std::string link = LinkPath(number); !link.empty())
        return link;
    return BlockPath(number);
}

std::string ComPortDevice(unsigned number) {
    std::filesystem::path path = ComPortPath(number);
    std::error_code error;
    // A bound on the chain, as the kernel has one: a loop of links leads nowhere.
    for (int hop = 0; hop < 40 && std::filesystem::is_symlink(path, error); ++hop) {
        const std::filesystem::path target = std::filesystem::read_symlink(path, error);
        if (error)
            break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path.lexically_normal().string();
}

std::string DescribeComPort(unsigned number) {
    const std::string link = LinkPath(number);
    if (link.empty()) {
        const std::string device = BlockPath(number);
        return device.empty() ? "no device" : device;
    }
    std::error_code error;
    const auto target = std::filesystem::canonical(link, error);
    const std::string device =
        error ? std::filesystem::read_symlink(link, error).string() + " (missing)"
              : target.string();
    return device + " (link " + link + ")";
}

} // namespace corvane
