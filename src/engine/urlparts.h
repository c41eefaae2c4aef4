#pragma once

#include <cstdint>
#include <optional>

#include <QByteArray>

inline constexpr int PROTOCOL_HTTP = 1;
inline constexpr int PROTOCOL_FTP = 2;

// The host of a link: the scheme's length skipped (7 for http, 6 for ftp, not
// compared), then everything up to the first "/", then up to the first ":".
QByteArray GetHostName(const QByteArray &link, int protocol);

// The path of a link: from the first "/" after the scheme to the end without
// the fragment; "/" when there is none; empty when the link is no longer than
// its scheme.
QByteArray GetUrlPath(const QByteArray &link, int protocol);

// The reply code of a reply's first piece: its first line (the text up to the
// first line feed), the first blank-separated word skipped and the next read
// as an unsigned decimal number, as sscanf's "%s%u" reads it. Nothing when the
// line holds no number there.
std::optional<std::uint32_t> ParseReplyCode(const char *reply, int length);

// Whether the reply bytes received so far settle the reply code, so that no
// later byte can change it: 512 bytes are in, or the first line has ended
// (a line feed after it, or a zero byte, which ends the text the code is read
// from). A status line that comes in pieces is complete only then.
bool StatusLineComplete(const char *reply, int length);
