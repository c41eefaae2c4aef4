#pragma once

#include <cstdint>

#include <QByteArray>

// What became of a tested link: one of the result categories, in the order of
// the report filter's characters, or a reply whose code is in none of them, or
// an ftp host's greeting (which only shows that the host is there).
enum class ResultCategory : std::uint8_t
{
    Http200,
    Http201,
    Http202,
    Http204,
    Http301,
    Http302,
    Http304,
    Http400,
    Http401,
    Http403,
    Http404,
    Http500,
    Http501,
    Http502,
    Http503,
    Unspecified,
    BadAddress,
    HostNotFound,
    NoSocket,
    ConnectFailed,
    TimedOut,
    TlsHandshakeFailed,
    CertificateNotTrusted,
    CertificateExpired,
    CertificateOtherHost,
    LocalFileNotFound,
    FragmentNotFound,
    Http410,
    Http429,
    TooManyRedirects,
    BlockedBySite,
    UnknownReply,
    FtpAnswered
};

// Categories that have a character in the report filter.
inline constexpr int kFilteredCategories = 31;
// The outcome of a link to a file of the site that is there (and holds the
// place its fragment names): as good as a 200 reply.
inline constexpr std::uint32_t kLocalFileFoundCode = 10012;

// The category of a probe's outcome code: an HTTP status code, or one of the
// probe's own failure codes (10000 and up); UnknownReply for anything else.
ResultCategory CategoryOfCode(std::uint32_t code);
// The category of a reply's status code: one of the HTTP categories, or
// UnknownReply (also for a number that happens to be a failure code). The
// codes 410 and 429 have categories of their own only in today's web mode.
ResultCategory CategoryOfReply(std::uint32_t code, bool todaysWeb = false);
// The outcome code of a filtered category (its HTTP status code or failure
// code); 0 for the others.
std::uint32_t CodeOfCategory(ResultCategory category);
// The index of the category's character in the report filter, or -1 for a
// category the filter has no character for.
int FilterIndex(ResultCategory category);
// The report's text for the category: "HTTP Code 404 Not Found", "Host Took
// Too Long to Respond", the unknown-reason text, ...
QByteArray CategoryText(ResultCategory category);
// Found again from its report text; false for a text of no category.
bool CategoryFromText(const QByteArray &text, ResultCategory *category);
// The report writes its result line without "Reason for Failure: " only for
// a 200 reply.
inline bool HasFailureWording(ResultCategory category)
{
    return category != ResultCategory::Http200;
}
// The link works as written: a 2xx or 304 reply, or an ftp host's greeting.
bool IsOk(ResultCategory category);
// The category is an HTTP reply (its code is the reply's status code).
bool IsReply(ResultCategory category);
