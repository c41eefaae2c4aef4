#include "pageedit.h"

#include <algorithm>

#include "platform/byteview.h"

namespace {

bool WrittenBefore(const PageEdit &a, const PageEdit &b)
{
    return a.at != b.at ? a.at < b.at : a.kind < b.kind;
}

} // namespace

QByteArray PageEdit::Text(std::string_view fileName) const
{
    switch (kind) {
    case Kind::CloseElement:
    case Kind::CloseLine:
        return QByteArrayLiteral("-->");
    case Kind::OpenLine:
    case Kind::OpenElement:
        return QByteArrayLiteral("<!--");
    case Kind::KeepUrl:
        return "<!--" + url + "-->";
    case Kind::ReplaceUrl:
        return Bytes(fileName);
    case Kind::UpdateUrl:
        return to;
    }
    return {};
}

std::size_t PageEdits::Add(PageEdit edit)
{
    const auto place = std::upper_bound(m_edits.begin(), m_edits.end(), edit, WrittenBefore);
    const auto added = m_edits.insert(place, std::move(edit));
    return static_cast<std::size_t>(added - m_edits.begin());
}

bool PageEdits::Replaced(qsizetype at) const
{
    auto edit = std::lower_bound(m_edits.begin(), m_edits.end(), at,
                                 [](const PageEdit &e, qsizetype place) { return e.at < place; });
    for (; edit != m_edits.end() && edit->at == at; ++edit) {
        if (edit->kind == PageEdit::Kind::ReplaceUrl)
            return true;
    }
    return false;
}

QByteArray ApplyEdits(std::string_view original, const PageEdits &edits, std::string_view fileName)
{
    QByteArray text;
    text.reserve(static_cast<qsizetype>(original.size()) + 64);
    std::size_t from = 0;
    for (const PageEdit &edit : edits.All()) {
        const auto at = static_cast<std::size_t>(edit.at);
        text.append(original.data() + from, static_cast<qsizetype>(at - from));
        text += edit.Text(fileName);
        from = at + static_cast<std::size_t>(edit.RemovedLength());
    }
    text.append(original.data() + from, static_cast<qsizetype>(original.size() - from));
    return text;
}
