// Test helpers shared by every test program: a sandbox directory and bounded waiting.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

namespace testsupport {

// A fresh temporary directory made the current directory for the lifetime of the object;
// the previous current directory is restored and the sandbox removed afterwards.
class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox &) = delete;
    Sandbox &operator=(const Sandbox &) = delete;

    const std::filesystem::path &path() const { return path_; }
    // Writes a file (path relative to the sandbox) with exactly these bytes.
    void write(const std::string &name, const std::string &bytes) const;
    // Reads a whole file; empty when it doesn't exist.
    std::string read(const std::string &name) const;

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

// Polls the predicate until it holds or the timeout passes; true when it held.
bool waitFor(const std::function<bool()> &predicate,
             std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Raises this process's open-file limit to its hard limit, as the program does at start:
// the library leaves it alone, and a run of 999 checks needs several descriptors each.
void raiseOpenFileLimit();

// UTF-8 -> CP932 (or EUC-JP with "EUC-JP") for writing test fixtures.
std::string encode(const std::string &utf8, const char *charset = "CP932");
std::string decode(const std::string &bytes, const char *charset = "CP932");

} // namespace testsupport
