#include "linereader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {
constexpr std::size_t kFirstBuffer = std::size_t{1} << 16;
}

LineReader::LineReader(int fd) : m_fd(fd), m_buffer(kFirstBuffer)
{
    const off_t here = lseek(fd, 0, SEEK_CUR);
    m_offset = here < 0 ? 0 : here;
}

bool LineReader::Fill()
{
    if (m_eof)
        return false;
    if (m_start > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_start, m_end - m_start);
        m_end -= m_start;
        m_start = 0;
    }
    if (m_end == m_buffer.size())
        m_buffer.resize(m_buffer.size() * 2);
    for (;;) {
        const ssize_t got = read(m_fd, m_buffer.data() + m_end, m_buffer.size() - m_end);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            m_failed = got < 0;
            m_error = got < 0 ? errno : 0;
            m_eof = true;
            return false;
        }
        m_end += static_cast<std::size_t>(got);
        return true;
    }
}

bool LineReader::Next(std::string_view &text, std::string_view &ending)
{
    m_startsLine = !m_inLongLine;
    std::size_t scanned = 0;
    for (;;) {
        const char *begin = m_buffer.data() + m_start;
        const std::size_t available = m_end - m_start;
        const char *stop = std::find_if(begin + scanned, begin + available,
                                        [](char c) { return c == '\n' || c == '\r'; });
        const auto length = static_cast<std::size_t>(stop - begin);
        const bool found = length < available;
        if (length > kLongestLine || (!found && length == kLongestLine)) {
            m_whole = false;
            m_inLongLine = true;
            text = std::string_view(begin, kLongestLine);
            ending = {};
            m_start += kLongestLine;
            m_offset += static_cast<off_t>(kLongestLine);
            return true;
        }
        std::size_t endingLength = 0;
        if (found) {
            if (*stop == '\n') {
                endingLength = 1;
            } else if (length + 1 < available) {
                endingLength = stop[1] == '\n' ? 2 : 1;
            } else if (!m_eof) {
                // A CR at the end of what is buffered: the next byte tells
                // whether it is a line ending of its own.
                scanned = length;
                Fill();
                continue;
            } else {
                endingLength = 1;
            }
        } else if (!m_eof) {
            scanned = length;
            Fill();
            continue;
        } else if (length == 0) {
            return false;
        }
        m_whole = !m_inLongLine;
        m_inLongLine = false;
        text = std::string_view(begin, length);
        ending = std::string_view(begin + length, endingLength);
        m_start += length + endingLength;
        m_offset += static_cast<off_t>(length + endingLength);
        return true;
    }
}

bool LineReader::SeekTo(off_t offset)
{
    m_start = m_end = 0;
    m_eof = false;
    m_whole = true;
    m_startsLine = true;
    m_inLongLine = false;
    if (lseek(m_fd, offset, SEEK_SET) != offset) {
        m_failed = true;
        m_error = errno;
        m_eof = true;
        return false;
    }
    m_offset = offset;
    return true;
}
