// The topic store's operations on a session's topics, and the file "TOPICS.DAT". Used from
// the user-interface thread only. The current topic index is the setting iTopic.
#pragma once

#include "core/topics.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

class Session;

// Reads "TOPICS.DAT" from the program directory into the store (missing file: empty store),
// then lowers iTopic to count - 1 when it is beyond the last topic.
void LoadTopics(Session &session);
// Reads topics from CP932 file bytes; the part of LoadTopics that needs no file.
void LoadTopicsFrom(Session &session, const QByteArray &bytes);

// Writes the whole store to "TOPICS.DAT", replacing the file atomically. On failure the old
// file is kept, the user is told in a notice, and the result is false.
bool SaveTopics(Session &session);
// The file bytes SaveTopics writes (CP932, CR LF). *lossless is set false when a text held
// characters CP932 can't hold (they are written as "?").
QByteArray TopicsFileBytes(const Session &session, bool *lossless = nullptr);

int AppendTopic(Session &session, const QString &name); // 1 added, 0 refused (with a notice)
int RemoveTopic(Session &session, int32_t index);       // 1 removed, 0 not (with a notice)
void CopyTopic(TopicStore &store, int32_t to, int32_t from);
// Sets the site's member flag and rewrites the topic's members from the flags.
void SetSiteFlag(Session &session, int32_t topic, int32_t site, int32_t value);
// Fills the run's site list from the current topic; the Searching window's rows no longer
// show the last search's sites.
void UseTopic(Session &session);
int TopicHasSite(const TopicStore &store, int32_t topic, int32_t site);
