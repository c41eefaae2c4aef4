#pragma once

#include <QByteArray>

// Reads an open file from its start to its end into bytes. False with errno
// set when a read fails, or EFBIG when the file holds more than limit bytes.
bool ReadWholeFile(int fd, QByteArray &bytes, qint64 limit);
