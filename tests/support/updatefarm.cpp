#include "updatefarm.h"

namespace testsupport {

UpdateFarm::UpdateFarm()
{
    setList(std::string());
    setMessageAnswer(page("OK", "text/plain"));
}

std::string UpdateFarm::host() const
{
    return "http://127.0.0.1:" + std::to_string(farm_.port());
}

void UpdateFarm::setList(const std::string &body)
{
    setListAnswer(page(body, "text/plain"));
}

void UpdateFarm::setListAnswer(Answer answer)
{
    farm_.serve(kListPath, std::move(answer));
}

std::string UpdateFarm::entry(const std::string &version, const std::string &name, std::size_t size,
                              const std::string &address)
{
    return version + ">" + name + "," + std::to_string(size) + "\r\n" + address + "\r\n";
}

std::string UpdateFarm::entry(const std::string &version, const std::string &name,
                              const std::string &address, const std::string &bytes) const
{
    return entry(version, name, bytes.size(), address);
}

std::string UpdateFarm::addFile(const std::string &path, const std::string &bytes,
                                std::size_t dripBytes, std::chrono::milliseconds dripEvery)
{
    Answer answer = page(bytes, "application/octet-stream");
    if (dripBytes > 0)
        answer = answer.withDrip(dripBytes, dripEvery);
    farm_.serve("/files/" + path, answer);
    return farm_.url("/files/" + path);
}

std::size_t UpdateFarm::fileRequests(const std::string &path) const
{
    return farm_.requests("/files/" + path).size();
}

void UpdateFarm::setMessageAnswer(Answer answer)
{
    farm_.serve(kMessagePath, std::move(answer));
}

std::vector<std::string> UpdateFarm::messages() const
{
    std::vector<std::string> bodies;
    for (const Request &request : messageRequests())
        bodies.push_back(request.body);
    return bodies;
}

std::vector<Request> UpdateFarm::messageRequests() const
{
    return farm_.requests(kMessagePath);
}

std::size_t UpdateFarm::listRequests() const
{
    return farm_.requests(kListPath).size();
}

} // namespace testsupport
