#include "resultcategories.h"

#include "engine/engineui.h"
#include "settings/regsettings.h"

namespace {

struct Category
{
    std::uint32_t code;
    const char *text;
};

constexpr std::array<Category, kCategoryCount> kCategories{{
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
    {PROBE_ERR_UNSPECIFIED, "Unspecified Socket Error"},
    {PROBE_ERR_BAD_ADDRESS, "Request for Invalid Port or Name"},
    {PROBE_ERR_HOST_NOT_FOUND, "Can't Find Named Host"},
    {PROBE_ERR_NO_SOCKET, "Can't Establish Socket"},
    {PROBE_ERR_CONNECT, "Can't Connect to Host"},
    {PROBE_ERR_TIMEOUT, "Host Took Too Long to Respond"},
    {PROBE_ERR_TLS_HANDSHAKE, "TLS Handshake Failed"},
    {PROBE_ERR_TLS_NOT_TRUSTED, "Certificate Not Trusted"},
    {PROBE_ERR_TLS_EXPIRED, "Certificate Expired or Not Yet Valid"},
    {PROBE_ERR_TLS_OTHER_HOST, "Certificate Names Another Host"},
}};

} // namespace

CResultCategories::CResultCategories(EngineUi &ui) : m_ui(ui)
{
    for (int i = 0; i < kCategoryCount; ++i)
        m_strCategory[i] = kCategories[i].text;
}

int CResultCategories::CategoryIndex(std::uint32_t code)
{
    for (int i = 0; i < kCategoryCount; ++i) {
        if (kCategories[i].code == code)
            return i;
    }
    return -1;
}

std::uint32_t CResultCategories::CategoryCode(int index)
{
    return kCategories.at(index).code;
}

void CResultCategories::LoadFilter(CRegSettings &settings)
{
    QByteArray classic = settings.ReadString("Settings", "Filter", kFilterSafeDefault);
    if (classic.size() != kClassicCategoryCount) {
        m_ui.MessageBox(QStringLiteral("Setting Filter Codes to Safe Default"),
                        EngineUi::Icon::None);
        classic = kFilterSafeDefault;
        settings.WriteString("Settings", "Filter", classic);
    }
    QByteArray tls = settings.ReadString("Settings", "TlsFilter", kTlsFilterDefault);
    if (tls.size() != kTlsCategoryCount)
        tls = kTlsFilterDefault;
    m_strFilter = classic + tls;
}

void CResultCategories::StoreFilter(CRegSettings &settings, const QByteArray &filter)
{
    settings.WriteString("Settings", "Filter", filter.left(kClassicCategoryCount));
    QByteArray tls = filter.mid(kClassicCategoryCount, kTlsCategoryCount);
    if (tls.size() != kTlsCategoryCount)
        tls = kTlsFilterDefault;
    settings.WriteString("Settings", "TlsFilter", tls);
}

bool CResultCategories::IsReported(std::uint32_t code) const
{
    const int index = CategoryIndex(code);
    if (index < 0)
        return true;
    // A filter shorter than the table (only possible if a caller set one) reads
    // as reporting the missing categories, the safe side.
    return index >= m_strFilter.size() || m_strFilter.at(index) != '0';
}

QByteArray CResultCategories::GetCategoryText(std::uint32_t code)
{
    const int index = CategoryIndex(code);
    if (index >= 0)
        return m_strCategory[index];
    m_bUnknownCode = true;
    m_ui.MessageBeep(EngineUi::Beep::Exclamation);
    return kUnknownReasonText;
}
