#include "resultcategory.h"

#include <array>

namespace {

struct Entry
{
    std::uint32_t code;
    const char *text;
};

// In the order of ResultCategory up to the filter's end.
constexpr std::array<Entry, kFilteredCategories> kTable{{
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
}};

constexpr char kUnknownText[] = "--------------> UNKNOWN REASON !!!!!";
constexpr char kFtpText[] = "FTP Host Answered";

} // namespace

ResultCategory CategoryOfCode(std::uint32_t code)
{
    if (code == kLocalFileFoundCode)
        return ResultCategory::Http200;
    for (std::size_t i = 0; i < kTable.size(); ++i) {
        if (kTable[i].code == code)
            return static_cast<ResultCategory>(i);
    }
    return ResultCategory::UnknownReply;
}

ResultCategory CategoryOfReply(std::uint32_t code, bool todaysWeb)
{
    if (code == kLocalFileFoundCode)
        return ResultCategory::UnknownReply;
    const ResultCategory category = CategoryOfCode(code);
    if (category <= ResultCategory::Http503)
        return category;
    if (todaysWeb && (category == ResultCategory::Http410 || category == ResultCategory::Http429))
        return category;
    return ResultCategory::UnknownReply;
}

std::uint32_t CodeOfCategory(ResultCategory category)
{
    const int index = FilterIndex(category);
    return index < 0 ? 0 : kTable[static_cast<std::size_t>(index)].code;
}

int FilterIndex(ResultCategory category)
{
    const int index = static_cast<int>(category);
    return index < kFilteredCategories ? index : -1;
}

QByteArray CategoryText(ResultCategory category)
{
    if (category == ResultCategory::UnknownReply)
        return kUnknownText;
    if (category == ResultCategory::FtpAnswered)
        return kFtpText;
    return kTable[static_cast<std::size_t>(category)].text;
}

bool CategoryFromText(const QByteArray &text, ResultCategory *category)
{
    for (int i = 0; i <= static_cast<int>(ResultCategory::FtpAnswered); ++i) {
        if (CategoryText(static_cast<ResultCategory>(i)) == text) {
            *category = static_cast<ResultCategory>(i);
            return true;
        }
    }
    return false;
}

bool IsOk(ResultCategory category)
{
    switch (category) {
    case ResultCategory::Http200:
    case ResultCategory::Http201:
    case ResultCategory::Http202:
    case ResultCategory::Http204:
    case ResultCategory::Http304:
    case ResultCategory::FtpAnswered:
        return true;
    default:
        return false;
    }
}

bool IsReply(ResultCategory category)
{
    return category <= ResultCategory::Http503 || category == ResultCategory::Http410 ||
           category == ResultCategory::Http429 || category == ResultCategory::UnknownReply;
}
