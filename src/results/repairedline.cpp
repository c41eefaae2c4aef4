#include "repairedline.h"

#include <algorithm>
#include <unistd.h>

#include "results/linereader.h"

namespace {

constexpr std::string_view kOpen = "<!--";
constexpr std::string_view kClose = "-->";
// Whole-line comments that one line may carry; more are not taken for ours.
constexpr int kMostWraps = 64;
// Bounds the search for replaced URLs on a line written to defeat it.
constexpr int kMatchBudget = 100000;

std::size_t CommonPrefix(std::string_view a, std::string_view b)
{
    return static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first -
                                    a.begin());
}

// Finds where the kept URLs stood in the original text: the body is the
// original with each of them, once, replaced by the file name. Only a place
// where more than one URL could have stood is tried more than one way.
class BodyMatcher
{
public:
    BodyMatcher(std::string_view original, std::string_view body, std::string_view fileName,
                const std::vector<std::string_view> &kept)
        : m_original(original), m_body(body), m_fileName(fileName), m_toPlace(kept.size())
    {
        for (const std::string_view url : kept) {
            auto same = std::find_if(m_urls.begin(), m_urls.end(),
                                     [url](const Left &left) { return left.url == url; });
            if (same == m_urls.end())
                same = m_urls.insert(m_urls.end(), {url, 0});
            ++same->count;
        }
    }

    bool Match(std::vector<RepairMarks::Replacement> *replaced)
    {
        if (!From(0, 0))
            return false;
        replaced->clear();
        for (const Found &found : m_found)
            replaced->push_back(found.place);
        return true;
    }

private:
    struct Left
    {
        std::string_view url;
        std::size_t count;
    };
    struct Found
    {
        RepairMarks::Replacement place;
        std::size_t url;
    };
    struct Candidate
    {
        std::size_t at;
        std::size_t url;
    };

    bool From(std::size_t i, std::size_t j)
    {
        if (--m_budget < 0)
            return false;
        const std::size_t depth = m_found.size();
        for (;;) {
            const std::size_t same = CommonPrefix(m_original.substr(i), m_body.substr(j));
            if (m_toPlace == 0)
                return i + same == m_original.size() && j + same == m_body.size();
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

    // A replaced URL begins where the texts part, or a little before when it
    // begins like the file name.
    std::vector<Candidate> CandidatesAt(std::size_t i, std::size_t j, std::size_t same) const
    {
        std::size_t reach = 0;
        for (const Left &left : m_urls) {
            if (left.count > 0)
                reach = std::max(reach, CommonPrefix(left.url, m_fileName));
        }
        std::vector<Candidate> candidates;
        for (std::size_t s = same + 1; s-- > (same > reach ? same - reach : 0);) {
            if (!m_body.substr(j + s).starts_with(m_fileName))
                continue;
            for (std::size_t u = 0; u < m_urls.size(); ++u) {
                if (m_urls[u].count > 0 && m_original.substr(i + s).starts_with(m_urls[u].url))
                    candidates.push_back({s, u});
            }
        }
        return candidates;
    }

    void Take(const Candidate &candidate, std::size_t *i, std::size_t *j)
    {
        const std::size_t length = m_urls[candidate.url].url.size();
        m_found.push_back(
            {{static_cast<qsizetype>(*i + candidate.at), static_cast<qsizetype>(length)},
             candidate.url});
        --m_urls[candidate.url].count;
        --m_toPlace;
        *i += candidate.at + length;
        *j += candidate.at + m_fileName.size();
    }

    void UndoTo(std::size_t depth)
    {
        while (m_found.size() > depth) {
            ++m_urls[m_found.back().url].count;
            ++m_toPlace;
            m_found.pop_back();
        }
    }

    std::string_view m_original;
    std::string_view m_body;
    std::string_view m_fileName;
    std::vector<Left> m_urls; // each URL once, with how many are left to place
    std::size_t m_toPlace;
    std::vector<Found> m_found;
    int m_budget = kMatchBudget;
};

// Matches a line without whole-line comments: the body, then the URLs kept
// in comments at its end (as many as make the lengths agree).
bool MatchInner(std::string_view original, std::string_view inner, std::string_view fileName,
                RepairMarks *marks)
{
    std::vector<std::string_view> tail;
    std::size_t keptLength = 0;
    std::string_view body = inner;
    for (;;) {
        if (body.size() + keptLength == original.size() + tail.size() * fileName.size()) {
            const std::vector<std::string_view> kept(tail.rbegin(), tail.rend());
            std::vector<RepairMarks::Replacement> replaced;
            if (BodyMatcher(original, body, fileName, kept).Match(&replaced)) {
                marks->replaced = replaced;
                marks->kept.clear();
                for (const std::string_view url : kept)
                    marks->kept.append(QByteArray(url.data(), static_cast<qsizetype>(url.size())));
                return true;
            }
        }
        if (body.size() < 8 || !body.ends_with(kClose))
            return false;
        const std::size_t open = body.rfind(kOpen, body.size() - 8);
        if (open == std::string_view::npos)
            return false;
        const std::string_view url = body.substr(open + 4, body.size() - 3 - open - 4);
        if (url.find(kClose) != std::string_view::npos)
            return false;
        tail.push_back(url);
        keptLength += url.size();
        body = body.substr(0, open);
    }
}

} // namespace

bool RepairMarks::Covers(qsizetype at, qsizetype length) const
{
    const auto next = FirstEndingAfter(at);
    return next != replaced.end() && next->at < at + length;
}

std::vector<RepairMarks::Replacement>::const_iterator
RepairMarks::FirstEndingAfter(qsizetype at) const
{
    return std::upper_bound(
        replaced.begin(), replaced.end(), at,
        [](qsizetype place, const Replacement &r) { return place < r.at + r.length; });
}

void RepairMarks::Replace(qsizetype at, const QByteArray &url)
{
    replaced.insert(FirstEndingAfter(at), {at, url.size()});
    kept.append(url);
}

QByteArray ComposeLine(std::string_view original, const RepairMarks &marks,
                       std::string_view fileName)
{
    QByteArray line;
    line.reserve(static_cast<qsizetype>(original.size()) + 64);
    for (int wrap = 0; wrap < marks.wraps; ++wrap)
        line.append(kOpen.data(), kOpen.size());
    std::size_t from = 0;
    for (const RepairMarks::Replacement &r : marks.replaced) {
        const auto at = static_cast<std::size_t>(r.at);
        line.append(original.data() + from, static_cast<qsizetype>(at - from));
        line.append(fileName.data(), static_cast<qsizetype>(fileName.size()));
        from = at + static_cast<std::size_t>(r.length);
    }
    line.append(original.data() + from, static_cast<qsizetype>(original.size() - from));
    for (const QByteArray &url : marks.kept)
        line += "<!--" + url + "-->";
    for (int wrap = 0; wrap < marks.wraps; ++wrap)
        line.append(kClose.data(), kClose.size());
    return line;
}

bool MatchRepairedLine(std::string_view original, std::string_view repaired,
                       std::string_view fileName, RepairMarks *marks)
{
    std::string_view inner = repaired;
    for (int wraps = 0; wraps <= kMostWraps; ++wraps) {
        if (MatchInner(original, inner, fileName, marks)) {
            marks->wraps = wraps;
            return true;
        }
        if (inner.size() < kOpen.size() + kClose.size() || !inner.starts_with(kOpen) ||
            !inner.ends_with(kClose))
            return false;
        inner = inner.substr(kOpen.size(), inner.size() - kOpen.size() - kClose.size());
    }
    return false;
}

bool IsRepairOf(int pageFd, int originalFd, std::string_view fileName)
{
    if (lseek(pageFd, 0, SEEK_SET) != 0 || lseek(originalFd, 0, SEEK_SET) != 0)
        return false;
    bool repairOf = true;
    {
        LineReader page(pageFd);
        LineReader original(originalFd);
        std::string_view pageText, pageEnding, text, ending;
        for (;;) {
            const bool morePage = page.Next(pageText, pageEnding);
            const bool moreOriginal = original.Next(text, ending);
            if (!morePage || !moreOriginal) {
                repairOf = morePage == moreOriginal && !page.Failed() && !original.Failed();
                break;
            }
            RepairMarks marks;
            if (pageEnding != ending || page.Whole() != original.Whole() ||
                (pageText != text &&
                 (!page.Whole() || !MatchRepairedLine(text, pageText, fileName, &marks)))) {
                repairOf = false;
                break;
            }
        }
    }
    lseek(pageFd, 0, SEEK_SET);
    lseek(originalFd, 0, SEEK_SET);
    return repairOf;
}
