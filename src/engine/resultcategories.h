#pragma once

#include <array>
#include <cstdint>

#include <QByteArray>
#include <QString>

#include "records/resultcategory.h"

class CRegSettings;
class EngineUi;

// Outcome codes that the probe produces itself; every code of 10000 or more is
// a failure, every smaller one an HTTP status code.
enum ProbeError : std::uint32_t
{
    PROBE_ERR_UNSPECIFIED = 10000,
    PROBE_ERR_BAD_ADDRESS = 10001,
    PROBE_ERR_HOST_NOT_FOUND = 10002,
    PROBE_ERR_NO_SOCKET = 10003,
    PROBE_ERR_CONNECT = 10004,
    PROBE_ERR_TIMEOUT = 10005,
    // Failures of an https probe, only ever met in today's web mode.
    PROBE_ERR_TLS_HANDSHAKE = 10006,
    PROBE_ERR_TLS_NOT_TRUSTED = 10007,
    PROBE_ERR_TLS_EXPIRED = 10008,
    PROBE_ERR_TLS_OTHER_HOST = 10009,
    // A link to a file of the site, looked at on disk (today's web mode).
    PROBE_ERR_LOCAL_NOT_FOUND = 10010,
    PROBE_ERR_FRAGMENT_NOT_FOUND = 10011,
    // Not a failure: the file is there. Above 10000 all the same, so that it
    // is taken at once, as a failure found before any connection is.
    PROBE_LOCAL_FOUND = kLocalFileFoundCode,
    // A redirect loop, or more hops than a link may take.
    PROBE_ERR_TOO_MANY_REDIRECTS = 10013,
    // The site refuses automated visitors (999, or a 403 challenge): the link
    // may well work in a browser.
    PROBE_ERR_BLOCKED_BY_SITE = 10014,
};

inline constexpr std::uint32_t kFirstFailureCode = PROBE_ERR_UNSPECIFIED;
// The classic categories come first, so that a stored filter of their 21
// characters keeps its meaning; the https failures follow, then those of
// today's web: a local file or fragment not found, 410, 429, too many
// redirects and a site that blocks automated visitors.
inline constexpr int kClassicCategoryCount = 21;
inline constexpr int kTlsCategoryCount = 4;
inline constexpr int kWebCategoryCount = 6;
inline constexpr int kCategoryCount = kClassicCategoryCount + kTlsCategoryCount + kWebCategoryCount;

// The stored "Filter" holds the classic categories only; "TlsFilter" holds the
// https failures and "WebFilter" today's web categories, all reported when
// missing.
inline constexpr char kFilterSafeDefault[] = "011111111111111111111";
inline constexpr char kTlsFilterDefault[] = "1111";
inline constexpr char kWebFilterDefault[] = "111111";
inline constexpr char kFilterWatchLikeAHawk[] = "0111111111111111111111111111111";
// A visitor's browser refuses each https failure with an error page, as bad as
// a 404; so is a missing page, place, gone page, refusal of a busy server,
// redirect loop or blocked visit.
inline constexpr char kFilterWatchWithOneEyeShut[] = "0000000111100000010001111111111";
inline constexpr char kUnknownReasonText[] = "--------------> UNKNOWN REASON !!!!!";

// The result categories, the report filter that says which of them are
// written into the report, and the flag that records an unknown reply code.
class CResultCategories
{
public:
    explicit CResultCategories(EngineUi &ui);

    // Reads "Settings"/"Filter"; a stored text that is not 21 characters long
    // is replaced by the safe default after telling the user. Then
    // "Settings"/"TlsFilter", the https failures' 4 characters, and
    // "Settings"/"WebFilter", today's web categories' 6. A part stored
    // shorter (before later categories came) keeps its characters and reports
    // the categories it lacks; anything else reads as all reported.
    void LoadFilter(CRegSettings &settings);
    // Writes the filter back as LoadFilter reads it: "Filter", "TlsFilter",
    // then "WebFilter".
    static void StoreFilter(CRegSettings &settings, const QByteArray &filter);
    // The characters of the filter's part that starts at from (the https
    // failures' or today's web categories'), as many as fallback has, else
    // fallback.
    static QByteArray FilterPart(const QByteArray &filter, int from, const char *fallback);

    bool IsReported(std::uint32_t code) const;
    bool IsReported(ResultCategory category) const;
    // Sets m_bUnknownCode and beeps for a code outside the table.
    QByteArray GetCategoryText(std::uint32_t code);
    // A link of the category is reported: for a reply outside the table,
    // sets m_bUnknownCode and beeps, as GetCategoryText does.
    void NoteReported(ResultCategory category);

    // The category's index in the filter, or -1 for an unknown code.
    static int CategoryIndex(std::uint32_t code);
    static std::uint32_t CategoryCode(int index);

    std::array<QByteArray, kCategoryCount> m_strCategory;
    // One character per category: 31 once loaded.
    QByteArray m_strFilter = QByteArray(kFilterSafeDefault) + kTlsFilterDefault + kWebFilterDefault;
    bool m_bUnknownCode = false;

private:
    static QByteArray ReadPart(CRegSettings &settings, const char *name, const char *fallback);

    EngineUi &m_ui;
};
