#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include <QByteArray>

// One change that a repair makes to a page's original text, at a place in
// that text. Changes at one place are written in the order of their kinds:
// what ends there before what begins there.
struct PageEdit
{
    enum class Kind : std::uint8_t
    {
        // "-->" after a disabled link's element.
        CloseElement,
        // "<!--" url "-->" at the end of the line of a replaced URL.
        KeepUrl,
        // "-->" at the end of a line that an older repair made a comment whole.
        CloseLine,
        // "<!--" at the start of such a line.
        OpenLine,
        // "<!--" before a disabled link's element.
        OpenElement,
        // The file's name in place of url.
        ReplaceUrl,
        // The address a moved link leads to (to) in place of url.
        UpdateUrl
    };

    qsizetype at = 0;
    Kind kind = Kind::OpenElement;
    QByteArray url; // KeepUrl, ReplaceUrl and UpdateUrl only
    QByteArray to;  // UpdateUrl only, as the attribute value writes it

    bool Removes() const { return kind == Kind::ReplaceUrl || kind == Kind::UpdateUrl; }
    // How much of the original text the change takes the place of.
    qsizetype RemovedLength() const { return Removes() ? url.size() : 0; }
    // What the change writes, in a page called fileName.
    QByteArray Text(std::string_view fileName) const;
};

// The changes of one page in the order they are written.
class PageEdits
{
public:
    const std::vector<PageEdit> &All() const { return m_edits; }
    bool IsEmpty() const { return m_edits.empty(); }
    // Adds a change after every change that is written before it or beside
    // it; returns its index.
    std::size_t Add(PageEdit edit);
    // True when a URL of the original text starting at at gave way to the
    // file's name.
    bool Replaced(qsizetype at) const;

private:
    std::vector<PageEdit> m_edits;
};

// The text that the changes make of original, in a page called fileName.
QByteArray ApplyEdits(std::string_view original, const PageEdits &edits, std::string_view fileName);
