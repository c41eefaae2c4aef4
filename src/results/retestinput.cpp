#include "retestinput.h"

#include <algorithm>

#include "engine/testengine.h"
#include "platform/byteview.h"
#include "records/reporttextreader.h"
#include "records/runlistener.h"

namespace {

constexpr char kNoPage[] = "(no page)";

// Gathers the reported links of a report by page.
class PageCollector final : public RunListener
{
public:
    explicit PageCollector(LinkRule rule) : m_rule(rule) {}

    void RunStarted(const RunStart &) override {}
    void PageStarted(const PageStart &) override {}
    void PageEnded(const PageEnd &) override {}
    void RunEnded(const RunEnd &) override {}

    void LinkTested(const LinkRecord &link) override
    {
        const QByteArray path = link.page.isEmpty() ? QByteArray(kNoPage) : link.page;
        auto page = std::find_if(pages.begin(), pages.end(),
                                 [&path](const ScannedFile &p) { return p.path == path; });
        if (page == pages.end()) {
            pages.append(ScannedFile{});
            page = pages.end() - 1;
            page->path = path;
            page->result = ScannedFile::Result::Scanned;
            page->given = true;
        }
        // The link line read as the anchor line it came from.
        const QByteArray line = '"' + link.url + "\" >" + link.text + '<';
        if (const std::optional<FoundLink> found = SelectLinkInPiece(View(line), m_rule)) {
            page->urls.append(found->url);
            page->anchors.append(found->anchor);
        } else if (m_rule == LinkRule::Classic &&
                   SelectLinkInPiece(View(line), LinkRule::TodaysWeb)) {
            ++page->httpsLeftOut;
        }
    }

    QList<ScannedFile> pages;

private:
    LinkRule m_rule;
};

} // namespace

QList<ScannedFile> RetestPages(const QByteArray &report, LinkRule rule)
{
    PageCollector collector(rule);
    ReadReportText(report, collector);
    return collector.pages;
}

void OnRetestFailedLinks(CTestEngine &engine)
{
    if (!engine.CanRetestOrRepair() || engine.IsRunning())
        return;
    const QList<ScannedFile> pages = RetestPages(
        engine.ReportText(), engine.TodaysWeb() ? LinkRule::TodaysWeb : LinkRule::Classic);
    engine.OnClearWindow();
    engine.StartRetest(pages);
}
