#include "piecereader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {
constexpr std::size_t kBufferSize = 1 << 16;
}

PieceReader::PieceReader(int fd) : m_fd(fd), m_buffer(kBufferSize) {}

PieceReader::~PieceReader() = default;

bool PieceReader::Fill(int wanted)
{
    if (m_end - m_start >= static_cast<std::size_t>(wanted) || m_eof)
        return true;
    if (m_start > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_start, m_end - m_start);
        m_end -= m_start;
        m_start = 0;
    }
    if (m_buffer.size() < static_cast<std::size_t>(wanted))
        m_buffer.resize(wanted);
    while (m_end < static_cast<std::size_t>(wanted) && !m_eof) {
        const ssize_t got = read(m_fd, m_buffer.data() + m_end, m_buffer.size() - m_end);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            m_failed = got < 0;
            m_eof = true;
            break;
        }
        m_end += static_cast<std::size_t>(got);
    }
    return true;
}

bool PieceReader::Next(std::string_view &piece, int maxChars)
{
    Fill(maxChars);
    const std::size_t available = m_end - m_start;
    if (available == 0)
        return false;
    const std::size_t limit = std::min(available, static_cast<std::size_t>(maxChars));
    const char *begin = m_buffer.data() + m_start;
    const void *lineFeed = std::memchr(begin, '\n', limit);
    const std::size_t length =
        lineFeed != nullptr ? static_cast<const char *>(lineFeed) - begin + 1 : limit;
    piece = std::string_view(begin, length);
    m_start += length;
    return true;
}

std::string_view AsCString(std::string_view piece)
{
    const std::size_t zero = piece.find('\0');
    return zero == std::string_view::npos ? piece : piece.substr(0, zero);
}
