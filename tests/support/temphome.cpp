#include "temphome.h"

#include <gtest/gtest.h>

#include <QFile>

TempHome::TempHome()
{
    m_hadPrevious = qEnvironmentVariableIsSet("VANTREL_HOME");
    m_previous = qgetenv("VANTREL_HOME");
    qputenv("VANTREL_HOME", path());
    // A new store would start in today's web mode; the tests were written
    // for the classic rules, which a store that imported a Vantrel.INI keeps.
    // A test of today's web mode, or of the import, writes its own.
    WriteFileBytes(file("Vantrel.INI"), QByteArray());
}

TempHome::~TempHome()
{
    if (m_hadPrevious)
        qputenv("VANTREL_HOME", m_previous);
    else
        qunsetenv("VANTREL_HOME");
}

QByteArray TempHome::path() const
{
    return QFile::encodeName(m_dir.path());
}

QByteArray TempHome::file(const QByteArray &name) const
{
    return path() + '/' + name;
}

void WriteFileBytes(const QByteArray &path, const QByteArray &bytes)
{
    QFile file(QFile::decodeName(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.constData();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray ReadFileBytes(const QByteArray &path)
{
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}
