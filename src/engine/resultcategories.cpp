#include "resultcategories.h"

#include "engine/engineui.h"
#include "settings/regsettings.h"

CResultCategories::CResultCategories(EngineUi &ui) : m_ui(ui)
{
    for (int i = 0; i < kCategoryCount; ++i)
        m_strCategory[i] = CategoryText(static_cast<ResultCategory>(i));
}

int CResultCategories::CategoryIndex(std::uint32_t code)
{
    return FilterIndex(CategoryOfCode(code));
}

std::uint32_t CResultCategories::CategoryCode(int index)
{
    return CodeOfCategory(static_cast<ResultCategory>(index));
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
    m_strFilter = classic + ReadPart(settings, "TlsFilter", kTlsFilterDefault) +
                  ReadPart(settings, "WebFilter", kWebFilterDefault);
}

void CResultCategories::StoreFilter(CRegSettings &settings, const QByteArray &filter)
{
    settings.WriteString("Settings", "Filter", filter.left(kClassicCategoryCount));
    settings.WriteString("Settings", "TlsFilter",
                         FilterPart(filter, kClassicCategoryCount, kTlsFilterDefault));
    settings.WriteString(
        "Settings", "WebFilter",
        FilterPart(filter, kClassicCategoryCount + kTlsCategoryCount, kWebFilterDefault));
}

QByteArray CResultCategories::FilterPart(const QByteArray &filter, int from, const char *fallback)
{
    const QByteArray whole(fallback);
    const QByteArray part = filter.mid(from, whole.size());
    return part.size() == whole.size() ? part : whole;
}

QByteArray CResultCategories::ReadPart(CRegSettings &settings, const char *name,
                                       const char *fallback)
{
    const QByteArray whole(fallback);
    const QByteArray part = settings.ReadString("Settings", name, fallback);
    // Every part was first stored 4 characters long.
    if (part.size() == 4)
        return part + whole.mid(4);
    return part.size() == whole.size() ? part : whole;
}

bool CResultCategories::IsReported(std::uint32_t code) const
{
    return IsReported(CategoryOfCode(code));
}

bool CResultCategories::IsReported(ResultCategory category) const
{
    const int index = FilterIndex(category);
    if (index < 0)
        return category == ResultCategory::UnknownReply;
    // A filter shorter than the table (only possible if a caller set one) reads
    // as reporting the missing categories, the safe side.
    return index >= m_strFilter.size() || m_strFilter.at(index) != '0';
}

QByteArray CResultCategories::GetCategoryText(std::uint32_t code)
{
    const int index = CategoryIndex(code);
    if (index >= 0)
        return m_strCategory[index];
    NoteReported(ResultCategory::UnknownReply);
    return kUnknownReasonText;
}

void CResultCategories::NoteReported(ResultCategory category)
{
    if (category != ResultCategory::UnknownReply)
        return;
    m_bUnknownCode = true;
    m_ui.MessageBeep(EngineUi::Beep::Exclamation);
}
