#pragma once

#include <cstdint>
#include <string_view>

// Follows the HTML comments of a text fed to it in any number of parts, so
// that the repair can tell a link still in force from one that a comment
// (its own from an earlier repair, or the page's) already disables. A comment
// opens with "<!--" and closes with "-->" or "--!>"; "<!-->" and "<!--->" are
// empty comments, as browsers read them.
class CommentScanner
{
public:
    void Feed(std::string_view bytes);
    bool InComment() const { return m_state >= State::CommentStart; }

private:
    enum class State : std::uint8_t
    {
        Text,
        Less,         // "<"
        LessBang,     // "<!"
        LessBangDash, // "<!-"
        CommentStart, // just after "<!--"
        CommentStartDash,
        Comment,
        CommentDash,
        CommentDashDash,
        CommentDashDashBang
    };

    State m_state = State::Text;
};
