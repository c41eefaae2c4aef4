#pragma once

#include <QByteArray>
#include <QTemporaryDir>

// Points VANTREL_HOME at a fresh directory for the life of the object, so
// that no test ever reads or writes the user's own settings or work files. It
// holds an empty Vantrel.INI, so that a store started there keeps the
// classic rules, as an upgraded installation does.
class TempHome
{
public:
    TempHome();
    ~TempHome();

    TempHome(const TempHome &) = delete;
    TempHome &operator=(const TempHome &) = delete;

    QByteArray path() const;
    // The path of a file in the temporary system directory.
    QByteArray file(const QByteArray &name) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_hadPrevious = false;
};

// Writes bytes to a file, replacing it; fails the test on error.
void WriteFileBytes(const QByteArray &path, const QByteArray &bytes);
// Reads a whole file; an empty array when it cannot be read.
QByteArray ReadFileBytes(const QByteArray &path);
