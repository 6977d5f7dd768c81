// What the message form sends to the maker's server, and the texts of the transfer states.
#pragma once

#include <QByteArray>
#include <QString>

// The installation block is cut at this many bytes.
constexpr int kEnvironLimit = 16000;

// The body exactly as it goes out: CP932, CR LF line ends, nothing escaped.
//   SendName=<name> / SendMail=<address> / SendText= / the message's lines / the block / CR LF
// Line breaks inside the message become CR LF. block is taken up to kEnvironLimit bytes.
QByteArray MessageBody(const QString &name, const QString &address, const QString &text,
                       const QByteArray &block);

// The installation block as the library assembles it (GetEnviron): the time of sending,
// the user's "release.dat" and "STARTUP.DAT" as they stand on disk; empty when it has no
// length.
QByteArray InstallationBlock();

// The status bar's text for a transfer state 0..12; "unknown" for any other number.
QString StateText(int state);
