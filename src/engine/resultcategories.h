#pragma once

#include <array>
#include <cstdint>

#include <QByteArray>
#include <QString>

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
};

inline constexpr std::uint32_t kFirstFailureCode = PROBE_ERR_UNSPECIFIED;
inline constexpr int kCategoryCount = 21;

inline constexpr char kFilterSafeDefault[] = "011111111111111111111";
inline constexpr char kFilterWatchLikeAHawk[] = "011111111111111111111";
inline constexpr char kFilterWatchWithOneEyeShut[] = "000000011110000001000";
inline constexpr char kUnknownReasonText[] = "--------------> UNKNOWN REASON !!!!!";

// The 21 result categories, the report filter that says which of them are
// written into the report, and the flag that records an unknown reply code.
class CResultCategories
{
public:
    explicit CResultCategories(EngineUi &ui);

    // Reads "Settings"/"Filter"; a stored text that is not 21 characters long
    // is replaced by the safe default after telling the user.
    void LoadFilter(CRegSettings &settings);

    bool IsReported(std::uint32_t code) const;
    // Sets m_bUnknownCode and beeps for a code outside the table.
    QByteArray GetCategoryText(std::uint32_t code);

    // The category's index in the filter, or -1 for an unknown code.
    static int CategoryIndex(std::uint32_t code);
    static std::uint32_t CategoryCode(int index);

    std::array<QByteArray, kCategoryCount> m_strCategory;
    QByteArray m_strFilter = kFilterSafeDefault;
    bool m_bUnknownCode = false;

private:
    EngineUi &m_ui;
};
