#include "quillet/quillet.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>

namespace quillet {
namespace {

struct LogState {
    std::mutex mutex;
    std::string folder;
    std::function<std::string()> clock;
};

LogState& State()
{
    // Never destroyed: modules may still log while the process shuts down.
    static LogState* state = new LogState;
    return *state;
}

std::string LocalTimeStamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// One call, one line: a line break inside the text would make the next
// reader take its tail for a line of its own.
std::string OneLine(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

bool Write(const char* level, const std::string& flag, const std::string& line)
{
    LogState& state = State();
    std::lock_guard lock(state.mutex);
    const std::string stamp = state.clock ? state.clock() : LocalTimeStamp();
    const std::string record = stamp + '\t' + level + '\t' + OneLine(flag) + '\t' + OneLine(line) + '\n';
    if (!state.folder.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(state.folder, ignored);
        std::ofstream file(std::filesystem::path(state.folder) / "privilege.log",
                           std::ios::out | std::ios::app | std::ios::binary);
        if (file) {
            file << record;
            file.flush();
            if (file)
                return true;
        }
    }
    std::cerr << record;
    return false;
}

} // namespace

void SetLogFolder(const std::string& folder)
{
    LogState& state = State();
    std::lock_guard lock(state.mutex);
    state.folder = folder;
}

std::string LogFolder()
{
    LogState& state = State();
    std::lock_guard lock(state.mutex);
    return state.folder;
}

std::string LogFilePath()
{
    const std::string folder = LogFolder();
    return folder.empty() ? std::string() : (std::filesystem::path(folder) / "privilege.log").string();
}

void SetClock(std::function<std::string()> clock)
{
    LogState& state = State();
    std::lock_guard lock(state.mutex);
    state.clock = std::move(clock);
}

bool Info(const std::string& flag, const std::string& line)
{
    return Write("INFO", flag, line);
}

bool Error(const std::string& flag, const std::string& line)
{
    return Write("ERROR", flag, line);
}

} // namespace quillet
