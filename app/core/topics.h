// The topic store's records: every search topic in memory and the site list of the next
// search. The operations on them are in topicstore.h, the file form in topicsfile.h.
#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

constexpr int kTopicSlots = 257;       // the loader may fill all of them
constexpr int kTopicCreateLimit = 256; // AppendTopic refuses once this many exist
constexpr int kMaxMembers = 50;
constexpr int kMemberRoom = 51;

// One search topic. sites[0 .. siteCount - 1] are always valid indexes of the site list.
// Members whose root named no site of the catalogue when the file was read are kept as text
// in unknownRoots, so the next save writes them back instead of losing them; they are never
// searched and never shown as sites.
struct TopicRecord {
    QString name;
    int32_t siteCount = 0;
    std::array<int32_t, kMemberRoom> sites{};
    QStringList unknownRoots;
};

struct TopicStore {
    std::array<TopicRecord, kTopicSlots> topics;
    int32_t count = 0;
};

// The site list of the next search, filled by UseTopic.
struct RunSiteList {
    std::array<int32_t, kMemberRoom> sites{};
    int32_t count = 0;
};
