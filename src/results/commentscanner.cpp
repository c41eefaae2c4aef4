#include "commentscanner.h"

#include <cstring>

void CommentScanner::Feed(std::string_view bytes)
{
    const char *at = bytes.data();
    const char *const end = at + bytes.size();
    while (at < end) {
        // Outside a comment only "<" matters, inside one only "-".
        if (m_state == State::Text || m_state == State::Comment) {
            const bool inText = m_state == State::Text;
            const void *found = std::memchr(at, inText ? '<' : '-', end - at);
            if (found == nullptr)
                return;
            at = static_cast<const char *>(found) + 1;
            m_state = inText ? State::Less : State::CommentDash;
            continue;
        }
        const char c = *at++;
        switch (m_state) {
        case State::Less:
            m_state = c == '!' ? State::LessBang : c == '<' ? State::Less : State::Text;
            break;
        case State::LessBang:
            m_state = c == '-' ? State::LessBangDash : c == '<' ? State::Less : State::Text;
            break;
        case State::LessBangDash:
            m_state = c == '-' ? State::CommentStart : c == '<' ? State::Less : State::Text;
            break;
        case State::CommentStart:
            m_state = c == '>' ? State::Text : c == '-' ? State::CommentStartDash : State::Comment;
            break;
        case State::CommentStartDash:
            m_state = c == '>' ? State::Text : c == '-' ? State::CommentDashDash : State::Comment;
            break;
        case State::CommentDash:
            m_state = c == '-' ? State::CommentDashDash : State::Comment;
            break;
        case State::CommentDashDash:
            m_state = c == '>'   ? State::Text
                      : c == '!' ? State::CommentDashDashBang
                      : c == '-' ? State::CommentDashDash
                                 : State::Comment;
            break;
        case State::CommentDashDashBang:
            m_state = c == '>' ? State::Text : c == '-' ? State::CommentDash : State::Comment;
            break;
        case State::Text:
        case State::Comment:
            break;
        }
    }
}
