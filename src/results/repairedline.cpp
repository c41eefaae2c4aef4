#include "repairedline.h"

#include <algorithm>
#include <optional>

#include "platform/byteview.h"

#include "results/pagelines.h"

namespace {

constexpr std::string_view kOpen = "<!--";
constexpr std::string_view kClose = "-->";
// Whole-line comments that one line may carry; more are not taken for ours.
constexpr int kMostWraps = 64;
// URLs kept at one line's end that are tried; more are not taken for ours.
constexpr int kMostKept = 4096;
// Bounds the search for changes on a line written to defeat it.
constexpr int kMatchBudget = 100000;

std::size_t CommonPrefix(std::string_view a, std::string_view b)
{
    return static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first -
                                    a.begin());
}

bool IsAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b);
           });
}

bool HoldsHref(std::string_view text)
{
    for (std::size_t at = 0; at + 4 <= text.size(); ++at) {
        if (StartsWithNoCase(text.substr(at), "href"))
            return true;
    }
    return false;
}

// An href value of a tag: where it begins and how it is quoted (0 unquoted).
struct HrefValue
{
    std::size_t start;
    char quote;
};

// The href value that holds place (or ends at it) in text, if any: "href",
// blanks, "=", blanks and a quote may stand before it.
std::optional<HrefValue> HrefValueAround(std::string_view text, std::size_t place)
{
    const std::size_t equals = text.rfind('=', place == 0 ? 0 : place - 1);
    if (equals == std::string_view::npos || equals < 4)
        return std::nullopt;
    std::size_t name = equals;
    while (name > 0 && IsBlank(text[name - 1]))
        --name;
    if (name < 5 || !StartsWithNoCase(text.substr(name - 4), "href") || !IsBlank(text[name - 5]))
        return std::nullopt;
    std::size_t start = equals + 1;
    while (start < place && IsBlank(text[start]))
        ++start;
    char quote = 0;
    if (start < text.size() && (text[start] == '"' || text[start] == '\'')) {
        quote = text[start];
        ++start;
    }
    if (start > place)
        return std::nullopt;
    return HrefValue{start, quote};
}

// Where a value that begins at start ends: at its closing quote, or for an
// unquoted one at a blank or ">".
std::size_t ValueEnd(std::string_view text, std::size_t start, char quote)
{
    std::size_t end = start;
    while (end < text.size() &&
           (quote != 0 ? text[end] != quote : !IsBlank(text[end]) && text[end] != '>'))
        ++end;
    return end;
}

// The address a moved link was given is a whole web address.
bool IsWebAddress(std::string_view value)
{
    return StartsWithNoCase(value, "http://") || StartsWithNoCase(value, "https://");
}

// Finds where the changes stood in the original text: the body is the
// original with each kept URL, once, replaced by the file name, and with
// comments opened before tags and closed after them. Only a place where more
// than one change could have stood is tried more than one way.
class LineMatcher
{
public:
    LineMatcher(std::string_view original, std::string_view body, std::string_view fileName,
                const std::vector<std::string_view> &kept)
        : m_original(original), m_body(body), m_fileName(fileName), m_toPlace(kept.size())
    {
        for (const std::string_view url : kept) {
            auto same = std::find_if(m_urls.begin(), m_urls.end(),
                                     [url](const Left &left) { return left.url == url; });
            if (same == m_urls.end())
                same = m_urls.insert(m_urls.end(), {url, 0});
            ++same->count;
            m_longestUrl = std::max(m_longestUrl, url.size());
        }
    }

    bool Match(std::vector<PageEdit> *edits)
    {
        if (!From(0, 0))
            return false;
        for (const Found &found : m_found) {
            PageEdit edit{static_cast<qsizetype>(found.at), found.kind, {}, {}};
            if (found.kind == PageEdit::Kind::ReplaceUrl) {
                const std::string_view url = m_urls[found.url].url;
                edit.url = Bytes(url);
            } else if (found.kind == PageEdit::Kind::UpdateUrl) {
                edit.url = Bytes(m_original.substr(found.at, found.removed));
                edit.to = Bytes(m_body.substr(found.bodyAt, found.written));
            }
            edits->push_back(edit);
        }
        return true;
    }

private:
    struct Left
    {
        std::string_view url;
        std::size_t count;
    };
    // The kept URL a change took its place from: none.
    static constexpr std::size_t kNoUrl = static_cast<std::size_t>(-1);

    struct Found
    {
        std::size_t at;
        PageEdit::Kind kind;
        std::size_t url; // the kept URL it placed, or kNoUrl
        std::size_t bodyAt;
        std::size_t removed; // UpdateUrl: the lengths of the old
        std::size_t written; // and the new address
    };
    struct Candidate
    {
        std::size_t skip; // how much of the common text lies before it
        PageEdit::Kind kind;
        std::size_t url;
        std::size_t removed = 0;
        std::size_t written = 0;
    };

    bool From(std::size_t i, std::size_t j)
    {
        if (--m_budget < 0)
            return false;
        const std::size_t depth = m_found.size();
        for (;;) {
            const std::size_t same = CommonPrefix(m_original.substr(i), m_body.substr(j));
            if (i + same == m_original.size() && j + same == m_body.size() && m_toPlace == 0)
                return true;
            const std::vector<Candidate> candidates = CandidatesAt(i, j, same);
            if (candidates.size() == 1) {
                Take(candidates.front(), &i, &j);
                continue;
            }
            const std::size_t branch = m_found.size();
            for (const Candidate &candidate : candidates) {
                std::size_t nextI = i;
                std::size_t nextJ = j;
                Take(candidate, &nextI, &nextJ);
                if (From(nextI, nextJ))
                    return true;
                UndoTo(branch);
            }
            UndoTo(depth);
            return false;
        }
    }

    // A change begins where the texts part, or a little before when what it
    // wrote begins like the text it stands before. A replaced URL may begin
    // as far back as the file name and the URL are long together.
    std::vector<Candidate> CandidatesAt(std::size_t i, std::size_t j, std::size_t same) const
    {
        const std::size_t reach = m_toPlace > 0 ? m_fileName.size() + m_longestUrl : kOpen.size();
        std::vector<Candidate> candidates;
        for (std::size_t s = same + 1; s-- > (same > reach ? same - reach : 0);) {
            const std::string_view body = m_body.substr(j + s);
            const std::string_view original = m_original.substr(i + s);
            if (m_toPlace > 0 && body.starts_with(m_fileName)) {
                for (std::size_t u = 0; u < m_urls.size(); ++u) {
                    if (m_urls[u].count > 0 && original.starts_with(m_urls[u].url))
                        candidates.push_back({s, PageEdit::Kind::ReplaceUrl, u});
                }
            }
            if (same - s < kOpen.size() && body.starts_with(kOpen) && original.size() >= 2 &&
                original[0] == '<' && IsAsciiLetter(original[1]))
                candidates.push_back({s, PageEdit::Kind::OpenElement, kNoUrl});
            if (same - s < kClose.size() && body.starts_with(kClose) && i + s > 0 &&
                m_original[i + s - 1] == '>')
                candidates.push_back({s, PageEdit::Kind::CloseElement, kNoUrl});
        }
        AddUpdateAt(i, j, same, &candidates);
        return candidates;
    }

    // An update gives a link's href value another web address: the texts
    // part inside the value (or where it ends) and meet again after it.
    void AddUpdateAt(std::size_t i, std::size_t j, std::size_t same,
                     std::vector<Candidate> *candidates) const
    {
        const std::optional<HrefValue> value = HrefValueAround(m_original, i + same);
        if (!value || value->start < i)
            return;
        const std::size_t skip = value->start - i;
        const std::size_t end = ValueEnd(m_original, value->start, value->quote);
        const std::size_t bodyEnd = ValueEnd(m_body, j + skip, value->quote);
        const std::string_view from = m_original.substr(value->start, end - value->start);
        const std::string_view to = m_body.substr(j + skip, bodyEnd - j - skip);
        if (end < i + same || from == to || (value->quote != 0 && bodyEnd == m_body.size()))
            return;
        if (IsWebAddress(to)) {
            candidates->push_back(
                {skip, PageEdit::Kind::UpdateUrl, kNoUrl, from.size(), to.size()});
            return;
        }
        // An updated link replaced later: the file's name stands in the
        // value, and the address it was updated to is kept at the line's end.
        if (to != m_fileName)
            return;
        for (std::size_t u = 0; u < m_urls.size(); ++u) {
            if (m_urls[u].count > 0 && m_urls[u].url != from && IsWebAddress(m_urls[u].url))
                candidates->push_back({skip, PageEdit::Kind::UpdateUrl, u, from.size(), to.size()});
        }
    }

    void Take(const Candidate &candidate, std::size_t *i, std::size_t *j)
    {
        m_found.push_back({*i + candidate.skip, candidate.kind, candidate.url, *j + candidate.skip,
                           candidate.removed, candidate.written});
        *i += candidate.skip;
        *j += candidate.skip;
        switch (candidate.kind) {
        case PageEdit::Kind::ReplaceUrl:
            --m_urls[candidate.url].count;
            --m_toPlace;
            *i += m_urls[candidate.url].url.size();
            *j += m_fileName.size();
            break;
        case PageEdit::Kind::UpdateUrl:
            if (candidate.url != kNoUrl) {
                --m_urls[candidate.url].count;
                --m_toPlace;
            }
            *i += candidate.removed;
            *j += candidate.written;
            break;
        case PageEdit::Kind::OpenElement:
            *j += kOpen.size();
            break;
        default:
            *j += kClose.size();
            break;
        }
    }

    void UndoTo(std::size_t depth)
    {
        while (m_found.size() > depth) {
            if (m_found.back().url != kNoUrl) {
                ++m_urls[m_found.back().url].count;
                ++m_toPlace;
            }
            m_found.pop_back();
        }
    }

    std::string_view m_original;
    std::string_view m_body;
    std::string_view m_fileName;
    std::vector<Left> m_urls; // each URL once, with how many are left to place
    std::size_t m_toPlace;
    std::size_t m_longestUrl = 0;
    std::vector<Found> m_found;
    int m_budget = kMatchBudget;
};

// Whether the lengths leave room for the changes: each replacement changes
// the length by the file name's less the URL's, and each comment mark adds 4
// or 3, which no difference of 1, 2 or 5 can be made of.
bool LengthsAgree(std::string_view original, std::string_view body, std::string_view fileName,
                  const std::vector<std::string_view> &kept)
{
    long long added = static_cast<long long>(body.size()) - static_cast<long long>(original.size());
    for (const std::string_view url : kept)
        added -= static_cast<long long>(fileName.size()) - static_cast<long long>(url.size());
    return added >= 0 && added != 1 && added != 2 && added != 5;
}

// Matches a line without whole-line comments: its body, then the URLs kept in
// comments at its end.
bool MatchInner(std::string_view original, std::string_view inner, std::string_view fileName,
                std::vector<PageEdit> *edits)
{
    std::vector<std::string_view> tail;
    std::string_view body = inner;
    for (;;) {
        const std::vector<std::string_view> kept(tail.rbegin(), tail.rend());
        std::vector<PageEdit> found;
        // A moved link's new address may have any length.
        if ((LengthsAgree(original, body, fileName, kept) || HoldsHref(original)) &&
            LineMatcher(original, body, fileName, kept).Match(&found)) {
            for (const std::string_view url : kept)
                found.push_back({static_cast<qsizetype>(original.size()),
                                 PageEdit::Kind::KeepUrl,
                                 Bytes(url),
                                 {}});
            *edits = std::move(found);
            return true;
        }
        if (tail.size() >= static_cast<std::size_t>(kMostKept) || body.size() < 8 ||
            !body.ends_with(kClose))
            return false;
        const std::size_t open = body.rfind(kOpen, body.size() - 8);
        if (open == std::string_view::npos)
            return false;
        const std::string_view url = body.substr(open + 4, body.size() - 3 - open - 4);
        if (url.find(kClose) != std::string_view::npos)
            return false;
        tail.push_back(url);
        body = body.substr(0, open);
    }
}

} // namespace

bool MatchRepairedLine(std::string_view original, std::string_view repaired,
                       std::string_view fileName, std::vector<PageEdit> *edits)
{
    std::string_view inner = repaired;
    for (int wraps = 0; wraps <= kMostWraps; ++wraps) {
        std::vector<PageEdit> found;
        if (MatchInner(original, inner, fileName, &found)) {
            edits->clear();
            for (int wrap = 0; wrap < wraps; ++wrap)
                edits->push_back({0, PageEdit::Kind::OpenLine, {}, {}});
            edits->insert(edits->end(), found.begin(), found.end());
            for (int wrap = 0; wrap < wraps; ++wrap)
                edits->push_back(
                    {static_cast<qsizetype>(original.size()), PageEdit::Kind::CloseLine, {}, {}});
            return true;
        }
        if (inner.size() < kOpen.size() + kClose.size() || !inner.starts_with(kOpen) ||
            !inner.ends_with(kClose))
            return false;
        inner = inner.substr(kOpen.size(), inner.size() - kOpen.size() - kClose.size());
    }
    return false;
}

std::optional<PageEdits> MatchRepairedPage(std::string_view original, std::string_view page,
                                           std::string_view fileName)
{
    const std::vector<PageLine> originalLines = SplitPageLines(original);
    const std::vector<PageLine> pageLines = SplitPageLines(page);
    if (originalLines.size() != pageLines.size())
        return std::nullopt;
    PageEdits edits;
    for (std::size_t l = 0; l < originalLines.size(); ++l) {
        const PageLine &line = originalLines[l];
        const PageLine &repaired = pageLines[l];
        if (line.ending != repaired.ending)
            return std::nullopt;
        if (line.text == repaired.text)
            continue;
        std::vector<PageEdit> lineEdits;
        if (!MatchRepairedLine(line.text, repaired.text, fileName, &lineEdits))
            return std::nullopt;
        // The changes are written in their own order; a line that holds them
        // in another is no repair of ours.
        PageEdits ordered;
        for (const PageEdit &edit : lineEdits)
            ordered.Add(edit);
        if (ApplyEdits(line.text, ordered, fileName) != Bytes(repaired.text))
            return std::nullopt;
        for (PageEdit edit : lineEdits) {
            edit.at += static_cast<qsizetype>(line.start);
            edits.Add(std::move(edit));
        }
    }
    return edits;
}
