#include "systemdirectory.h"

#include <cerrno>
#include <sys/stat.h>

#include <QtGlobal>

namespace {

// Creates every missing component of the path with mode 0700.
bool MakeDirectories(const QByteArray &path)
{
    struct stat info
    {};
    if (stat(path.constData(), &info) == 0)
        return S_ISDIR(info.st_mode);
    for (qsizetype slash = path.indexOf('/', 1); slash != -1;
         slash = path.indexOf('/', slash + 1)) {
        const QByteArray prefix = path.left(slash);
        if (mkdir(prefix.constData(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return mkdir(path.constData(), 0700) == 0 || errno == EEXIST;
}

QByteArray WithoutTrailingSlashes(QByteArray path)
{
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

} // namespace

QByteArray JoinPath(const QByteArray &directory, const QByteArray &name)
{
    if (directory.endsWith('/'))
        return directory + name;
    return directory + '/' + name;
}

QByteArray GetSystemDirectory()
{
    QByteArray directory = qgetenv("VANTREL_HOME");
    if (directory.isEmpty()) {
        QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        if (dataHome.isEmpty() || !dataHome.startsWith('/')) {
            const QByteArray home = qgetenv("HOME");
            if (home.isEmpty())
                return {};
            dataHome = JoinPath(home, ".local/share");
        }
        directory = JoinPath(dataHome, "vantrel");
    }
    directory = WithoutTrailingSlashes(directory);
    if (!MakeDirectories(directory))
        return {};
    return directory;
}
