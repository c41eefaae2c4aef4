#include "resulttally.h"

#include <utility>

void ResultTally::PageStarted(const PageStart &page)
{
    EndOpenPage();
    m_open = PageEnd{page.path, 0, 0, page.scanError};
}

void ResultTally::LinkTested(const LinkRecord &link)
{
    if (!m_open)
        m_open = PageEnd{link.page, 0, 0, std::nullopt};
    ++m_open->tested;
    ++m_byCategory[static_cast<std::size_t>(link.category)];
    if (link.reported) {
        ++m_open->errors;
        ++m_reported;
    }
}

void ResultTally::PageEnded(const PageEnd &page)
{
    m_open.reset();
    PageOver(page);
}

void ResultTally::EndOpenPage()
{
    if (m_open)
        PageOver(*std::exchange(m_open, std::nullopt));
}

void ResultTally::PageOver(const PageEnd &page)
{
    m_tested += page.tested;
    m_excluded += page.excluded;
    ++m_pages;
    m_pageDone(page);
}
