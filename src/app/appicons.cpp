#include "appicons.h"

#include <QFile>

// The icons live in a static library: naming them keeps them in the program.
static void InitIconResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace {

// Adds each size of an icon that the resources hold.
QIcon ResourceIcon(const QString &stem, std::initializer_list<int> sizes)
{
    QIcon icon;
    for (const int size : sizes) {
        const QString file = QStringLiteral("%1-%2.png").arg(stem).arg(size);
        if (QFile::exists(file))
            icon.addFile(file, QSize(size, size));
    }
    return icon;
}

} // namespace

QIcon CommandIcon(const char *themeName, const char *ownName)
{
    InitIconResources();
    const QIcon own = ResourceIcon(QStringLiteral(":/icons/toolbar/%1").arg(QLatin1String(ownName)),
                                   {16, 24, 32, 48});
    return QIcon::fromTheme(QLatin1String(themeName), own);
}

QIcon ProgramIcon()
{
    InitIconResources();
    return ResourceIcon(QStringLiteral(":/icons/vantrel"), {16, 24, 32, 48, 64, 128, 256});
}
