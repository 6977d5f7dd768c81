// The file form of the topic store ("TOPICS.DAT"): reading CP932 bytes into a store and
// writing a store back, with no file or window involved.
#pragma once

#include "core/sitelist.h"
#include "core/topics.h"

#include <QByteArray>

// A larger file is read only this far; no real topic file comes near it.
constexpr qint64 kTopicsFileLimit = 32 * 1024 * 1024;
// Bytes of one line that are looked at; the rest of a longer line is passed over. Enough for
// 50 comma-separated roots of 1024 double-byte characters.
constexpr qsizetype kTopicsLineLimit = 128 * 1024;

struct TopicsParse {
    // The file holds more records than the store has slots; those after the last slot were
    // not read.
    bool overflow = false;
};

// Replaces the store's topics with the records of the file bytes. Member roots are looked up
// in the site list (FindSiteByRoot); roots it doesn't know are kept as text.
TopicsParse ParseTopics(const QByteArray &bytes, TopicStore &store, const SiteInfoList &sites);

// The file bytes of the store: CP932, CR LF line ends. *lossless is set false when a name or
// root held characters CP932 can't hold (written as "?").
QByteArray FormatTopics(const TopicStore &store, const SiteInfoList &sites,
                        bool *lossless = nullptr);
