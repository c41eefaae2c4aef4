#pragma once

#include <string_view>
#include <sys/types.h>
#include <vector>

// Reads a file line by line, each line whole whatever its length, with its
// own ending kept apart: LF, CR LF, a lone CR, or none at the end of the file.
// Only a line longer than kLongestLine comes in several parts, each marked as
// not whole, so that memory stays bounded whatever the file holds; only the
// last part has the ending.
class LineReader
{
public:
    static constexpr std::size_t kLongestLine = std::size_t{16} << 20;

    explicit LineReader(int fd);

    LineReader(const LineReader &) = delete;
    LineReader &operator=(const LineReader &) = delete;

    // The next line's text and ending, valid until the next call; false at
    // the end of the file or when a read failed.
    bool Next(std::string_view &text, std::string_view &ending);
    // False when the last line given is only a part of an over-long line.
    bool Whole() const { return m_whole; }
    // True when the last line given is a whole line or the first part of one.
    bool StartsLine() const { return m_startsLine; }
    bool Failed() const { return m_failed; }
    int Error() const { return m_error; }
    // Where the next line begins in the file.
    off_t Offset() const { return m_offset; }
    // Goes back (or on) to a place given by Offset().
    bool SeekTo(off_t offset);

private:
    // Reads more of the file after what is buffered; false at its end.
    bool Fill();

    int m_fd;
    std::vector<char> m_buffer;
    std::size_t m_start = 0;
    std::size_t m_end = 0;
    off_t m_offset = 0;
    bool m_eof = false;
    bool m_failed = false;
    int m_error = 0;
    bool m_whole = true;
    bool m_startsLine = true;
    bool m_inLongLine = false;
};
