#include "engine/resultcategories.h"

#include <gtest/gtest.h>

#include "settings/regsettings.h"
#include "settings/settingsstartup.h"
#include "support/recordingui.h"
#include "support/temphome.h"

namespace {

TEST(ResultCategoriesTest, TableHoldsTheCodesAndTextsInFilterOrder)
{
    RecordingUi ui;
    CResultCategories categories(ui);
    const struct
    {
        std::uint32_t code;
        const char *text;
    } expected[kCategoryCount] = {
        {200, "HTTP Code 200 OK"},
        {201, "HTTP Code 201 Created"},
        {202, "HTTP Code 202 Accepted"},
        {204, "HTTP Code 204 No Content"},
        {301, "HTTP Code 301 Moved Permanently"},
        {302, "HTTP Code 302 Moved Temporarily"},
        {304, "HTTP Code 304 Not Modified"},
        {400, "HTTP Code 400 Bad Request"},
        {401, "HTTP Code 401 Unauthorized"},
        {403, "HTTP Code 403 Forbidden"},
        {404, "HTTP Code 404 Not Found"},
        {500, "HTTP Code 500 Internal Server Error"},
        {501, "HTTP Code 501 Not Implemented"},
        {502, "HTTP Code 502 Bad Gateway"},
        {503, "HTTP Code 503 Service Unavailable"},
        {10000, "Unspecified Socket Error"},
        {10001, "Request for Invalid Port or Name"},
        {10002, "Can't Find Named Host"},
        {10003, "Can't Establish Socket"},
        {10004, "Can't Connect to Host"},
        {10005, "Host Took Too Long to Respond"},
        {10006, "TLS Handshake Failed"},
        {10007, "Certificate Not Trusted"},
        {10008, "Certificate Expired or Not Yet Valid"},
        {10009, "Certificate Names Another Host"},
        {10010, "Local File Not Found"},
        {10011, "Fragment Not Found"},
        {410, "HTTP Code 410 Gone"},
        {429, "HTTP Code 429 Too Many Requests"},
        {10013, "Too Many Redirects"},
        {10014, "Blocked by the Site"},
    };
    for (int i = 0; i < kCategoryCount; ++i) {
        EXPECT_EQ(CResultCategories::CategoryIndex(expected[i].code), i);
        EXPECT_EQ(categories.m_strCategory[i], QByteArray(expected[i].text));
        EXPECT_EQ(categories.GetCategoryText(expected[i].code), QByteArray(expected[i].text));
    }
    EXPECT_FALSE(categories.m_bUnknownCode);
    EXPECT_TRUE(ui.beeps.isEmpty());
}

TEST(ResultCategoriesTest, FilterDecidesWhatIsReported)
{
    RecordingUi ui;
    CResultCategories categories(ui);

    categories.m_strFilter = kFilterSafeDefault;
    EXPECT_FALSE(categories.IsReported(200));
    for (int i = 1; i < kCategoryCount; ++i)
        EXPECT_TRUE(categories.IsReported(CResultCategories::CategoryCode(i))) << i;

    categories.m_strFilter = kFilterWatchWithOneEyeShut;
    EXPECT_FALSE(categories.IsReported(500));
    EXPECT_FALSE(categories.IsReported(10005));
    EXPECT_TRUE(categories.IsReported(404));
    EXPECT_TRUE(categories.IsReported(PROBE_ERR_HOST_NOT_FOUND));

    categories.m_strFilter = "222222222222222222222";
    EXPECT_TRUE(categories.IsReported(200)) << "any character but 0 reports";
}

TEST(ResultCategoriesTest, UnknownCodesAreAlwaysReportedWithABeep)
{
    RecordingUi ui;
    CResultCategories categories(ui);
    categories.m_strFilter = QByteArray(kCategoryCount, '0');
    for (std::uint32_t code : {203u, 303u, 405u, 0u, 9999u, 10015u, 0xFFFFFFFFu})
        EXPECT_TRUE(categories.IsReported(code)) << code;
    EXPECT_FALSE(categories.IsReported(404));
    // 410 and 429 have categories of their own in today's web mode only.
    for (std::uint32_t code : {410u, 429u}) {
        EXPECT_EQ(CategoryOfReply(code), ResultCategory::UnknownReply) << code;
        EXPECT_NE(CategoryOfReply(code, true), ResultCategory::UnknownReply) << code;
    }
    EXPECT_EQ(CategoryOfReply(kLocalFileFoundCode, true), ResultCategory::UnknownReply)
        << "no server's reply is taken for a file found on disk";

    EXPECT_EQ(categories.GetCategoryText(203), QByteArray(kUnknownReasonText));
    EXPECT_TRUE(categories.m_bUnknownCode);
    EXPECT_EQ(ui.beeps, QList<EngineUi::Beep>{EngineUi::Beep::Exclamation});
}

TEST(ResultCategoriesTest, StoredFilterOfWrongLengthIsReplacedAfterAMessage)
{
    for (const QByteArray &stored : {QByteArray(20, '1'), QByteArray(22, '0'), QByteArray("x")}) {
        TempHome home;
        std::unique_ptr<CRegSettings> settings = StartSettingsStore();
        settings->WriteString("Settings", "Filter", stored);
        RecordingUi ui;
        CResultCategories categories(ui);
        categories.LoadFilter(*settings);
        EXPECT_EQ(ui.messages, QStringList{QStringLiteral("Setting Filter Codes to Safe Default")});
        EXPECT_EQ(categories.m_strFilter, QByteArray(kFilterSafeDefault) + "1111111111");
        EXPECT_EQ(settings->ReadString("Settings", "Filter", ""), QByteArray(kFilterSafeDefault));
    }
}

TEST(ResultCategoriesTest, StoredFilterOfTwentyOneCharactersIsKeptAsItStands)
{
    TempHome home;
    std::unique_ptr<CRegSettings> settings = StartSettingsStore();
    const QByteArray odd = "abc0000000000000000xy";
    settings->WriteString("Settings", "Filter", odd);
    RecordingUi ui;
    CResultCategories categories(ui);
    categories.LoadFilter(*settings);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_EQ(categories.m_strFilter, odd + "1111111111")
        << "the https failures and today's web categories are reported";

    TempHome fresh;
    std::unique_ptr<CRegSettings> empty = StartSettingsStore();
    CResultCategories defaults(ui);
    defaults.LoadFilter(*empty);
    EXPECT_TRUE(ui.messages.isEmpty()) << "a missing filter reads as the default";
    EXPECT_EQ(empty->ReadString("Settings", "Filter", "missing"), QByteArray("missing"))
        << "and nothing is written";
}

// The https failures' and today's web categories' flags live apart from the
// 21 classic ones, so that the stored "Filter" keeps its meaning and length
// for every older reader.
TEST(ResultCategoriesTest, NewerFlagsAreStoredApartFromTheClassicFilter)
{
    const struct
    {
        const char *storedTls; // nullptr: none stored
        const char *storedWeb;
        QByteArray loaded;
    } cases[] = {
        {nullptr, nullptr, "0000000111100000010001111111111"},
        {"0101", "0011", "0000000111100000010000101001111"},
        {"1111", "010101", "0000000111100000010001111010101"},
        {"01", "011", "0000000111100000010001111111111"},
        {"01010", "10100", "0000000111100000010001111111111"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.storedTls ? c.storedTls : "(none)");
        TempHome home;
        std::unique_ptr<CRegSettings> settings = StartSettingsStore();
        settings->WriteString("Settings", "Filter", "000000011110000001000");
        if (c.storedTls != nullptr)
            settings->WriteString("Settings", "TlsFilter", c.storedTls);
        if (c.storedWeb != nullptr)
            settings->WriteString("Settings", "WebFilter", c.storedWeb);
        RecordingUi ui;
        CResultCategories categories(ui);
        categories.LoadFilter(*settings);
        EXPECT_TRUE(ui.messages.isEmpty());
        EXPECT_EQ(categories.m_strFilter, c.loaded);
        EXPECT_EQ(categories.IsReported(PROBE_ERR_TLS_NOT_TRUSTED), c.loaded.at(22) != '0');
        EXPECT_EQ(categories.IsReported(PROBE_ERR_FRAGMENT_NOT_FOUND), c.loaded.at(26) != '0');
    }

    TempHome home;
    std::unique_ptr<CRegSettings> settings = StartSettingsStore();
    CResultCategories::StoreFilter(*settings, "1000000000000000000000110100110");
    EXPECT_EQ(settings->ReadString("Settings", "Filter", ""), "100000000000000000000");
    EXPECT_EQ(settings->ReadString("Settings", "TlsFilter", ""), "0110");
    EXPECT_EQ(settings->ReadString("Settings", "WebFilter", ""), "100110");

    // Both presets report every https failure and every category of today's
    // web: a visitor meets each as an error page.
    for (const char *preset : {kFilterWatchLikeAHawk, kFilterWatchWithOneEyeShut}) {
        RecordingUi ui;
        CResultCategories categories(ui);
        categories.m_strFilter = preset;
        for (std::uint32_t code = PROBE_ERR_TLS_HANDSHAKE; code <= PROBE_ERR_FRAGMENT_NOT_FOUND;
             ++code)
            EXPECT_TRUE(categories.IsReported(code)) << preset << ' ' << code;
        EXPECT_TRUE(categories.IsReported(CategoryOfReply(410, true))) << preset;
        EXPECT_TRUE(categories.IsReported(CategoryOfReply(429, true))) << preset;
        EXPECT_TRUE(categories.IsReported(PROBE_ERR_TOO_MANY_REDIRECTS)) << preset;
        EXPECT_TRUE(categories.IsReported(PROBE_ERR_BLOCKED_BY_SITE)) << preset;
    }
}

} // namespace
