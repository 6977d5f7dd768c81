// UpdateFarm: the maker's server as the update window and the message form see it, on
// loopback, for the update and message tests.
//
//     testsupport::UpdateFarm farm;
//     SetMakerHost(QString::fromStdString(farm.host()));
//     farm.setList(farm.entry("1.1", "velmora.bin", farm.addFile("velmora.bin", bytes)));
//     ... the window runs ...
//     EXPECT farm.fileRequests("velmora.bin") == 1, farm.messages().at(0) == expected bytes
//
// The list is answered at the update path, files under /files/, and the message endpoint
// answers "OK" and keeps every body posted to it. Everything else answers 404.
#pragma once

#include "sitefarm.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace testsupport {

class UpdateFarm {
public:
    static constexpr const char *kListPath = "/halvane/velmora/update/update3.cgi";
    static constexpr const char *kMessagePath = "/halvane/velmora/update/umail.cgi";

    UpdateFarm();

    // "http://127.0.0.1:<port>", the form the program's maker host takes; written with its
    // scheme, since the program reaches a host without one over https.
    std::string host() const;

    // The body of the list answer (200), as raw bytes.
    void setList(const std::string &body);
    // Any answer at the list path (a status, a fault, a delay).
    void setListAnswer(Answer answer);
    // One pair of list lines: "version>name,size" CR LF address CR LF.
    static std::string entry(const std::string &version, const std::string &name, std::size_t size,
                             const std::string &address);
    // Same, with the size of the file's bytes.
    std::string entry(const std::string &version, const std::string &name,
                      const std::string &address, const std::string &bytes) const;

    // Serves the bytes at /files/<path> and returns the address; with a drip the body goes out
    // dripBytes at a time, pausing between pieces, so a client can be stopped mid-file.
    std::string addFile(const std::string &path, const std::string &bytes,
                        std::size_t dripBytes = 0,
                        std::chrono::milliseconds dripEvery = std::chrono::milliseconds(0));
    std::size_t fileRequests(const std::string &path) const;

    // The answer of the message endpoint (default: 200 "OK").
    void setMessageAnswer(Answer answer);
    // Every body posted to the message endpoint, oldest first, byte for byte.
    std::vector<std::string> messages() const;
    // The requests that reached the message endpoint (headers included).
    std::vector<Request> messageRequests() const;

    std::size_t listRequests() const;
    SiteFarm &farm() { return farm_; }

private:
    SiteFarm farm_;
};

} // namespace testsupport
