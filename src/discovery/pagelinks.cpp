#include "pagelinks.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

#include <QFileInfo>
#include <QUrl>

#include "discovery/charrefs.h"
#include "discovery/htmltokenizer.h"
#include "discovery/linebreak.h"

namespace {

// The longest anchor text kept; the rest of a long text adds nothing.
constexpr qsizetype kLongestText = 200;

struct LinkAttribute
{
    std::string_view element;
    std::string_view attribute;
};

constexpr LinkAttribute kLinkAttributes[] = {
    {"a", "href"},        {"area", "href"},   {"link", "href"},   {"img", "src"},
    {"img", "srcset"},    {"script", "src"},  {"iframe", "src"},  {"source", "src"},
    {"source", "srcset"}, {"video", "src"},   {"audio", "src"},   {"embed", "src"},
    {"track", "src"},     {"form", "action"}, {"object", "data"},
};

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

// Leading and trailing white space go, and tabs and line breaks inside, as a
// browser's URL parser drops them.
QByteArray CleanUrl(QByteArray url)
{
    url = url.trimmed();
    for (const char c : std::as_const(url)) {
        if (c == '\t' || c == '\n' || c == '\r') {
            url.replace('\t', "").replace('\n', "").replace('\r', "");
            break;
        }
    }
    return url;
}

// Runs of white space become one blank; none at either end.
void AppendFolded(QByteArray &text, std::string_view raw)
{
    if (text.size() >= kLongestText || raw.empty())
        return;
    const QByteArray decoded =
        raw.find('&') == std::string_view::npos
            ? QByteArray::fromRawData(raw.data(), static_cast<qsizetype>(raw.size()))
            : DecodeCharacterReferences(raw, false);
    for (const char c : decoded) {
        if (IsSpace(c)) {
            if (!text.isEmpty() && !text.endsWith(' '))
                text += ' ';
        } else {
            text += c;
        }
    }
}

QByteArray SchemeOf(const QByteArray &url)
{
    qsizetype i = 0;
    if (url.isEmpty() || !std::isalpha(static_cast<unsigned char>(url[0])))
        return {};
    while (i < url.size() && (std::isalnum(static_cast<unsigned char>(url[i])) || url[i] == '+' ||
                              url[i] == '-' || url[i] == '.'))
        ++i;
    return i < url.size() && url[i] == ':' ? url.left(i).toLower() : QByteArray();
}

// The addresses of a srcset: each candidate's URL, without its descriptor.
QList<std::string_view> SrcsetUrls(std::string_view value)
{
    QList<std::string_view> urls;
    std::size_t i = 0;
    while (i < value.size()) {
        while (i < value.size() && (IsSpace(value[i]) || value[i] == ','))
            ++i;
        const std::size_t start = i;
        while (i < value.size() && !IsSpace(value[i]))
            ++i;
        std::string_view url = value.substr(start, i - start);
        const bool endsCandidate = !url.empty() && url.back() == ',';
        while (!url.empty() && url.back() == ',')
            url.remove_suffix(1);
        if (!url.empty())
            urls.append(url);
        if (endsCandidate)
            continue;
        // The descriptors, up to the comma that ends the candidate.
        int depth = 0;
        for (; i < value.size(); ++i) {
            if (value[i] == '(')
                ++depth;
            else if (value[i] == ')' && depth > 0)
                --depth;
            else if (value[i] == ',' && depth == 0)
                break;
        }
    }
    return urls;
}

// Turns offsets into lines and columns, counting forward only.
class PlaceCounter
{
public:
    explicit PlaceCounter(std::string_view page)
        : m_page(page), m_bLoneCr(page.find('\r') != std::string_view::npos)
    {}
    void Place(std::size_t offset, int &line, int &column)
    {
        offset = std::min(offset, m_page.size());
        if (m_bLoneCr) {
            CountSlowly(offset);
        } else {
            // Only LF ends lines: jump from one to the next.
            while (m_counted < offset) {
                const void *lf = std::memchr(m_page.data() + m_counted, '\n', offset - m_counted);
                if (lf == nullptr) {
                    m_counted = offset;
                    break;
                }
                m_counted =
                    static_cast<std::size_t>(static_cast<const char *>(lf) - m_page.data()) + 1;
                ++m_line;
                m_lineStart = m_counted;
            }
        }
        line = m_line;
        column = static_cast<int>(offset - m_lineStart + 1);
    }

private:
    // LF, CR LF and a lone CR each end a line.
    void CountSlowly(std::size_t offset)
    {
        for (; m_counted < offset; ++m_counted) {
            if (EndsLine(m_page, m_counted)) {
                ++m_line;
                m_lineStart = m_counted + 1;
            }
        }
    }

    std::string_view m_page;
    bool m_bLoneCr;
    std::size_t m_counted = 0;
    std::size_t m_lineStart = 0;
    int m_line = 1;
};

QUrl DirectoryUrl(const QString &directory)
{
    QString path = QFileInfo(directory).absoluteFilePath();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return QUrl::fromLocalFile(path);
}

// Resolves the links of one page against it, its base and the site root.
class Resolver
{
public:
    Resolver(const QByteArray &pagePath, const QByteArray &siteRoot)
    {
        const QFileInfo page(QFile::decodeName(pagePath));
        m_page = QUrl::fromLocalFile(page.absoluteFilePath());
        m_base = m_page;
        const QByteArray pageText = m_page.toEncoded();
        m_directoryText = pageText.left(pageText.lastIndexOf('/') + 1);
        m_pageName = pageText.mid(m_directoryText.size());
        m_root =
            DirectoryUrl(siteRoot.isEmpty() ? page.absolutePath() : QFile::decodeName(siteRoot));
    }

    void SetBase(const QByteArray &href)
    {
        const QUrl base = Resolve(CleanUrl(href));
        if (base.isValid() && !base.scheme().isEmpty()) {
            m_base = base;
            m_bBaseSet = true;
        }
    }

    void Fill(PageLink &link) const
    {
        const QByteArray url = CleanUrl(link.written);
        const QByteArray scheme = SchemeOf(url);
        if (url.isEmpty() || (!scheme.isEmpty() && scheme != "http" && scheme != "https" &&
                              scheme != "ftp" && scheme != "file")) {
            link.kind = LinkKind::Skipped;
            return;
        }
        // An absolute link to another site is tested as written, so that the
        // report shows it as the page does; only its blanks are encoded.
        if (scheme == "http" || scheme == "https" || scheme == "ftp") {
            link.kind = LinkKind::External;
            link.target = QByteArray(url).replace(" ", "%20");
            return;
        }
        if (!m_bBaseSet && IsPlainRelative(url)) {
            // The common case, without a URL parser: a path below the page's
            // directory, or a place in the page itself.
            const bool here = url.startsWith('#') ||
                              (url.startsWith(m_pageName) && url.size() > m_pageName.size() &&
                               url[m_pageName.size()] == '#');
            link.kind = here ? LinkKind::Fragment : LinkKind::Internal;
            link.target = m_directoryText + (url.startsWith('#') ? m_pageName + url : url);
            return;
        }
        const QUrl resolved = Resolve(url);
        const QString resolvedScheme = resolved.scheme().toLower();
        if (!resolved.isValid() ||
            (resolved.host().isEmpty() && resolvedScheme != QLatin1String("file"))) {
            link.kind = LinkKind::Skipped;
            return;
        }
        link.target = resolved.toEncoded();
        if (resolvedScheme != QLatin1String("file")) {
            link.kind = resolvedScheme == QLatin1String("http") ||
                                resolvedScheme == QLatin1String("https") ||
                                resolvedScheme == QLatin1String("ftp")
                            ? LinkKind::External
                            : LinkKind::Skipped;
            if (link.kind == LinkKind::Skipped)
                link.target.clear();
            return;
        }
        link.kind = resolved.hasFragment() && resolved.adjusted(QUrl::RemoveFragment) == m_page
                        ? LinkKind::Fragment
                        : LinkKind::Internal;
    }

private:
    // A link that resolves against the page's own URL by joining it to the
    // page's directory: no scheme, not from the root, no dot segments, and
    // only characters that stand in a URL as they are.
    static bool IsPlainRelative(const QByteArray &url)
    {
        static const auto kPlain = [] {
            std::array<bool, 256> plain{};
            for (int c = 0; c < 256; ++c)
                plain[c] = std::isalnum(c) != 0 && c < 128;
            for (const char c : std::string_view("-._~/!$&'()*+,;=@%?#"))
                plain[static_cast<unsigned char>(c)] = true;
            return plain;
        }();
        if (url.isEmpty() || url[0] == '/' || url[0] == '.')
            return false;
        char before = '\0';
        for (const char c : url) {
            if (!kPlain[static_cast<unsigned char>(c)] || (before == '/' && c == '.'))
                return false;
            before = c;
        }
        return true;
    }

    QUrl Resolve(const QByteArray &url) const
    {
        const QUrl relative(QString::fromUtf8(url));
        const bool local = m_base.scheme() == QLatin1String("file");
        if (local && url.startsWith("//"))
            return QUrl(QStringLiteral("https:") + QString::fromUtf8(url));
        if (local && url.startsWith('/') && SchemeOf(url).isEmpty())
            return m_root.resolved(QUrl(QString::fromUtf8(url.mid(1))));
        return m_base.resolved(relative);
    }

    QUrl m_page;
    QUrl m_base;
    QUrl m_root;
    bool m_bBaseSet = false;
    QByteArray m_directoryText;
    QByteArray m_pageName;
};

} // namespace

QByteArray LinkKindName(LinkKind kind)
{
    switch (kind) {
    case LinkKind::External:
        return "external";
    case LinkKind::Internal:
        return "internal";
    case LinkKind::Fragment:
        return "fragment";
    case LinkKind::Skipped:
        break;
    }
    return "skipped";
}

QList<PageLink> ReadPageLinks(std::string_view page, const QByteArray &pagePath,
                              const QByteArray &siteRoot)
{
    QList<PageLink> links;
    // About one link in every few hundred bytes of a page full of them.
    links.reserve(static_cast<qsizetype>(page.size() / 256));
    Resolver resolver(pagePath, siteRoot);
    PlaceCounter places(page);
    bool baseSeen = false;
    // The links of the anchor whose text is being read, from this index on.
    qsizetype openAnchor = -1;
    QByteArray anchorText;
    const auto closeAnchor = [&]() {
        if (openAnchor < 0)
            return;
        for (qsizetype i = openAnchor; i < links.size(); ++i) {
            if (links[i].text.isEmpty())
                links[i].text = anchorText;
        }
        openAnchor = -1;
    };

    HtmlTokenizer tokenizer(page);
    for (;;) {
        const HtmlToken &token = tokenizer.Next();
        if (openAnchor >= 0)
            AppendFolded(anchorText, token.textBefore);
        if (token.kind == HtmlToken::Kind::End)
            break;
        if (token.kind == HtmlToken::Kind::EndTag && token.name == "a")
            closeAnchor();
        if (token.kind != HtmlToken::Kind::StartTag)
            continue;
        if (token.name == "base" && !baseSeen) {
            if (const HtmlAttribute *href = token.Attribute("href")) {
                baseSeen = true;
                resolver.SetBase(DecodeCharacterReferences(href->value, true));
            }
            continue;
        }
        if (token.name == "a")
            closeAnchor();
        const qsizetype firstOfTag = links.size();
        for (const LinkAttribute &wanted : kLinkAttributes) {
            if (token.name != wanted.element)
                continue;
            const HtmlAttribute *attribute = token.Attribute(wanted.attribute);
            if (attribute == nullptr)
                continue;
            const bool srcset = wanted.attribute == "srcset";
            const QList<std::string_view> candidates =
                srcset ? SrcsetUrls(attribute->value) : QList<std::string_view>();
            for (qsizetype v = 0; v < (srcset ? candidates.size() : 1); ++v) {
                const std::string_view value = srcset ? candidates[v] : attribute->value;
                PageLink link;
                link.written = DecodeCharacterReferences(value, true);
                link.element = wanted.element;
                link.attribute = wanted.attribute;
                const std::size_t offset =
                    value.empty()
                        ? attribute->valueOffset
                        : attribute->valueOffset +
                              static_cast<std::size_t>(value.data() - attribute->value.data());
                places.Place(offset, link.line, link.column);
                links.append(std::move(link));
            }
        }
        // An image's or an area's words stand for it.
        for (qsizetype i = firstOfTag; i < links.size(); ++i) {
            if (const HtmlAttribute *alt = token.Attribute("alt"))
                AppendFolded(links[i].text, alt->value);
            else if (const HtmlAttribute *title = token.Attribute("title");
                     title && token.name != "a")
                AppendFolded(links[i].text, title->value);
        }
        if (token.name == "img" && openAnchor >= 0 && anchorText.isEmpty()) {
            if (const HtmlAttribute *alt = token.Attribute("alt"))
                AppendFolded(anchorText, alt->value);
        }
        if (token.name == "a" && links.size() > firstOfTag) {
            openAnchor = firstOfTag;
            anchorText.clear();
        }
    }
    closeAnchor();
    for (PageLink &link : links) {
        resolver.Fill(link);
        link.text = link.text.trimmed();
    }
    return links;
}

QSet<QByteArray> ReadPageAnchors(std::string_view page)
{
    QSet<QByteArray> anchors;
    HtmlTokenizer tokenizer(page);
    for (;;) {
        const HtmlToken &token = tokenizer.Next();
        if (token.kind == HtmlToken::Kind::End)
            break;
        if (token.kind != HtmlToken::Kind::StartTag)
            continue;
        if (const HtmlAttribute *id = token.Attribute("id"); id && !id->value.empty())
            anchors.insert(DecodeCharacterReferences(id->value, true));
        if (token.name == "a") {
            if (const HtmlAttribute *name = token.Attribute("name"); name && !name->value.empty())
                anchors.insert(DecodeCharacterReferences(name->value, true));
        }
    }
    return anchors;
}
