#include "regsettings.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/cfile.h"
#include "platform/registrystore.h"
#include "platform/systemdirectory.h"

namespace {

// A value of any length that the settings file can hold reads back whole: a
// long file or export path is not forgotten.
constexpr qsizetype kReadBufferSize = RegistryStore::kMaxFileSize;
// The import reads the INI file in pieces of this buffer, as a C line read
// does: at most 519 characters a piece.
constexpr int kIniLineBufferSize = 520;

bool IsCSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Scans a decimal integer the way "%d" does: leading white space, an optional
// sign, then at least one digit; whatever follows is ignored. A number beyond
// the range of int saturates instead of wrapping.
std::optional<int> ScanDecimalInt(const QByteArray &text)
{
    qsizetype pos = 0;
    while (pos < text.size() && IsCSpace(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';
    if (pos >= text.size() || text[pos] < '0' || text[pos] > '9')
        return std::nullopt;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long magnitude = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        magnitude = magnitude * 10 + (text[pos] - '0');
        if (magnitude > limit)
            magnitude = limit;
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

// Opens the import file for reading, or nothing when it is not a regular
// file: a pipe or a device in its place would hold up the start for ever.
UniqueCFile OpenIniFile(const QByteArray &path)
{
    struct stat info
    {};
    if (stat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return nullptr;
    // Without blocking, and checked again, in case something else has taken
    // the file's place since.
    const int fd = open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return nullptr;
    }
    return StreamFromDescriptor(fd, "r");
}

} // namespace

CRegSettings::CRegSettings() = default;

CRegSettings::~CRegSettings() = default;

bool CRegSettings::Open(RegKey &key, RegDisposition &disposition, RegRoot root,
                        const QByteArray &keyPath)
{
    m_strKey = keyPath;
    m_hRoot = root;
    return key.Create(root, keyPath, &disposition);
}

bool CRegSettings::ImportIniFile(RegKey &key)
{
    const QByteArray directory = GetSystemDirectory();
    if (directory.isEmpty())
        return false;
    const QByteArray path = JoinPath(directory, "Vantrel.INI");
    const UniqueCFile file = OpenIniFile(path);
    if (!file)
        return false;

    RegKey section;
    bool proceed = true;
    char buffer[kIniLineBufferSize];
    while (proceed && std::fgets(buffer, sizeof buffer, file.get()) != nullptr) {
        const QByteArray line = QByteArray(buffer, qsizetype(std::strlen(buffer))).trimmed();
        const qsizetype open = line.indexOf('[');
        const qsizetype close = line.indexOf(']');
        if (open >= 0 && close >= 0 && close - open + 1 == line.size()) {
            section.Close();
            QByteArray name = line;
            name[open] = ' ';
            name[close] = ' ';
            if (!key.CreateSubKey(name.trimmed(), section))
                proceed = false;
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        // A value line before any section, or after one that failed, has no
        // key to go to and is dropped.
        if (section.IsOpen())
            section.SetValue(line.left(equals), line.mid(equals + 1));
    }
    return true;
}

int CRegSettings::ReadInt(const QByteArray &section, const QByteArray &valueName,
                          int defaultValue) const
{
    QByteArray text;
    if (!QueryText(section, valueName, text))
        return defaultValue;
    return ScanDecimalInt(text).value_or(defaultValue);
}

bool CRegSettings::WriteInt(const QByteArray &section, const QByteArray &valueName, int value)
{
    return WriteString(section, valueName, QByteArray::number(value));
}

QByteArray CRegSettings::ReadString(const QByteArray &section, const QByteArray &valueName,
                                    const QByteArray &defaultValue) const
{
    QByteArray text;
    if (!QueryText(section, valueName, text))
        return defaultValue;
    return text;
}

bool CRegSettings::QueryText(const QByteArray &section, const QByteArray &valueName,
                             QByteArray &text) const
{
    if (const std::optional<QByteArray> pending = m_writer.Pending(m_strKey, section, valueName)) {
        text = *pending;
        return true;
    }
    // Opening for reading never creates the section key.
    RegKey key;
    return key.Open(m_hRoot, m_strKey + '\\' + section) &&
           key.QueryValue(valueName, text, kReadBufferSize);
}

bool CRegSettings::WriteString(const QByteArray &section, const QByteArray &valueName,
                               const QByteArray &text)
{
    // A missing section key is made in the same change as its value.
    return m_writer.Write(m_hRoot, m_strKey, section, valueName, text);
}
