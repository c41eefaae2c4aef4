#pragma once

#include <string_view>
#include <vector>

// Reads a file in pieces the way a C line read into a fixed buffer does: a
// piece ends after a line feed or after maxChars bytes, whichever comes first,
// and keeps its line feed. Memory stays bounded whatever the file holds.
class PieceReader
{
public:
    explicit PieceReader(int fd);
    ~PieceReader();

    PieceReader(const PieceReader &) = delete;
    PieceReader &operator=(const PieceReader &) = delete;

    // The next piece, valid until the next call; false at the end of the file.
    bool Next(std::string_view &piece, int maxChars);
    // True when a read failed (as opposed to reaching the end).
    bool Failed() const { return m_failed; }

private:
    bool Fill(int wanted);

    int m_fd;
    std::vector<char> m_buffer;
    std::size_t m_start = 0;
    std::size_t m_end = 0;
    bool m_eof = false;
    bool m_failed = false;
};

// A piece as a C string sees it: everything before its first zero byte.
std::string_view AsCString(std::string_view piece);
