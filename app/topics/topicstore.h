// The topic store: every search topic in memory, the program's copy of the site catalogue's
// descriptive fields (the site list), and the file "TOPICS.DAT".
//
// All of it is program-wide state used from the user-interface thread only.
#pragma once

#include "common/text.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

constexpr int kSiteInfoCount = 101;    // site indexes 0 .. 100 held by the program
constexpr int kTopicSlots = 257;       // the loader may fill all of them
constexpr int kTopicCreateLimit = 256; // AppendTopic refuses once this many exist
constexpr int kMaxMembers = 50;
constexpr int kMemberRoom = 51;

// Widths of the six SiteInfo fields (characters) and their byte offsets in the 3072-byte
// record that SiteHeader fills.
constexpr std::array<int, 6> kSiteFieldWidth = {256, 256, 256, 1024, 1024, 256};
constexpr std::array<int, 6> kSiteFieldOffset = {0, 256, 512, 768, 1792, 2816};
constexpr int kSiteHeaderSize = 3072;

// One site's descriptive fields as SiteHeader gave them (text up to the field's NUL).
struct SiteInfo {
    QString name;
    QString language;
    QString type;
    QString searchKey;
    QString root; // the key by which topics name the site
    QString memo;
};

struct SiteInfoList {
    std::array<SiteInfo, kSiteInfoCount> sites;
    int32_t count = 0; // 0 .. 101
};

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

// Program-wide state. The current topic index is the setting iTopic (settings().iTopic).
SiteInfoList &siteInfoList();
TopicStore &topicStore();
std::array<int32_t, kSiteInfoCount> &memberFlags(); // MemberFlags
RunSiteList &runSites();                            // RunSites

// Reads "TOPICS.DAT" from the program directory into the store (missing file: empty store),
// then lowers settings().iTopic to count - 1 when it is beyond the last topic.
void LoadTopics();
// Reads topics from CP932 file bytes; the part of LoadTopics that needs no file.
void LoadTopicsFrom(const QByteArray &bytes);

// Writes the whole store to "TOPICS.DAT", replacing the file atomically. On failure the old
// file is kept, the user is told in a message box, and the result is false.
bool SaveTopics();
// The file bytes SaveTopics writes (CP932, CR LF). *lossless is set false when a text held
// characters CP932 can't hold (they are written as "?").
QByteArray TopicsFileBytes(bool *lossless = nullptr);

int AppendTopic(const QString &name); // 1 added, 0 refused (with the message)
int RemoveTopic(int32_t index);       // 1 removed, 0 not (with the message)
void CopyTopic(int32_t to, int32_t from);
void SetSiteFlag(int32_t topic, int32_t site, int32_t value);
void UseTopic();
int TopicHasSite(int32_t topic, int32_t site);
// Lowest site index whose root (cut with CutAtBlank) equals the text cut the same way; the
// site count when none does.
int32_t FindSiteByRoot(const QString &text);
