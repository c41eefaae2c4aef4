#include "placedlinks.h"

void CPlacedLinks::LinkTested(const LinkRecord &link)
{
    if (link.line > 0 || link.page.isEmpty()) {
        m_next.LinkTested(link);
        return;
    }
    if (!m_locator)
        m_locator.emplace(CLinkLocator::ForPage(link.page));
    LinkRecord placed = link;
    const CLinkLocator::Place place =
        m_locator->Locate(link.target.isEmpty() ? link.url : link.target);
    placed.line = place.line;
    placed.column = place.column;
    m_next.LinkTested(placed);
}
