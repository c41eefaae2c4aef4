#include "redirectchain.h"

#include <algorithm>

#include <QUrl>

#include "engine/pooljob.h"
#include "engine/resultcategories.h"

namespace {

bool IsRedirectCode(std::uint32_t code)
{
    return code == 301 || code == 302 || code == 303 || code == 307 || code == 308;
}

// The code whose category a moved link's first redirect is reported under.
std::uint32_t MovedCategoryCode(std::uint32_t code)
{
    if (code == 308)
        return 301;
    return code == 303 || code == 307 ? 302 : code;
}

QByteArray WithoutFragment(const QByteArray &address)
{
    const qsizetype hash = address.indexOf('#');
    return hash < 0 ? address : address.left(hash);
}

} // namespace

std::optional<QByteArray> RedirectTarget(const QByteArray &address, const ProbeOutcome &outcome)
{
    if (!outcome.replied || !outcome.replyCode || !IsRedirectCode(*outcome.replyCode))
        return std::nullopt;
    const auto field = std::find_if(outcome.headers.begin(), outcome.headers.end(),
                                    [](const auto &header) { return header.first == "location"; });
    if (field == outcome.headers.end() || field->second.isEmpty())
        return std::nullopt;
    const QUrl base = QUrl::fromEncoded(address);
    const QUrl location = QUrl::fromEncoded(field->second);
    if (!base.isValid() || !location.isValid())
        return std::nullopt;
    QUrl target = base.resolved(location);
    const QString scheme = target.scheme();
    if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        target.host().isEmpty())
        return std::nullopt;
    if (!location.hasFragment() && base.hasFragment())
        target.setFragment(base.fragment(QUrl::FullyEncoded), QUrl::StrictMode);
    return target.toEncoded(QUrl::FullyEncoded);
}

CRedirectChain::Step CRedirectChain::Take(const QByteArray &address, const ProbeOutcome &outcome,
                                          QByteArray *next)
{
    const std::uint32_t code = outcome.replied ? outcome.replyCode.value_or(0) : 0;
    if (m_hops.empty()) {
        m_start = address;
        if (outcome.replied)
            m_firstCode = outcome.replyCode;
    } else {
        m_hops.back().code = static_cast<int>(code);
    }
    const std::optional<QByteArray> target = RedirectTarget(address, outcome);
    if (!target)
        return Step::End;

    // An address met before makes a loop: the chain stands there, with the
    // code that address gave.
    const QByteArray bare = WithoutFragment(*target);
    if (bare == WithoutFragment(m_start)) {
        m_hops.push_back({*target, static_cast<int>(m_firstCode.value_or(0))});
        m_tooMany = true;
        return Step::TooMany;
    }
    for (const Redirect &hop : m_hops) {
        if (bare == WithoutFragment(hop.url)) {
            m_hops.push_back({*target, hop.code});
            m_tooMany = true;
            return Step::TooMany;
        }
    }
    if (static_cast<int>(m_hops.size()) == kMaxHops) {
        m_tooMany = true;
        return Step::TooMany;
    }
    m_hops.push_back({*target, 0});
    *next = *target;
    return Step::Follow;
}

void CRedirectChain::Describe(LinkRecord &link) const
{
    if (m_hops.empty() && !m_tooMany)
        return;
    link.redirects = m_hops;
    if (m_tooMany) {
        link.category = ResultCategory::TooManyRedirects;
        link.code = m_firstCode ? std::optional<int>(static_cast<int>(*m_firstCode)) : std::nullopt;
    } else if (IsOk(link.category)) {
        // Moved, and working where it leads: reported under the first
        // redirect's code, as a moved link always was. The redirects that
        // came after 301 and 302 are reported with them: a permanent one
        // (308) under 301, the others (303, 307) under 302, so that every
        // moved link stays under those two categories and their filter.
        const std::uint32_t first = m_firstCode.value_or(0);
        link.category = CategoryOfReply(MovedCategoryCode(first), true);
        link.code = static_cast<int>(first);
    }
}
