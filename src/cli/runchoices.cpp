#include "runchoices.h"

#include "cli/checkoptions.h"
#include "platform/systemdirectory.h"
#include "settings/regsettings.h"

namespace {

void Warn(std::FILE *err, const QString &text)
{
    std::fprintf(err, "vantrel-check: %s\n", text.toLocal8Bit().constData());
}

} // namespace

std::optional<CLinkExclusions> ChosenExclusions(const CheckOptions &options,
                                                const CRegSettings &settings,
                                                const QByteArray &siteRoot, std::FILE *err)
{
    CLinkExclusions exclusions;
    QString why;
    bool usable = exclusions.AddLines(settings.ReadString("Settings", "ExcludeLinks", ""),
                                      QStringLiteral("the stored setting ExcludeLinks"), &why);
    for (const QString &pattern : options.excludePatterns)
        usable = usable && exclusions.Add(pattern, &why);
    for (const QByteArray &file : options.excludeFiles)
        usable = usable && exclusions.AddFile(file, false, &why);
    if (usable && !siteRoot.isEmpty())
        usable =
            exclusions.AddFile(JoinPath(siteRoot, CLinkExclusions::kIgnoreFileName), true, &why);
    if (!usable) {
        Warn(err, why);
        return std::nullopt;
    }
    return exclusions;
}

std::optional<CResultCache> ChosenCache(const CheckOptions &options, std::FILE *err)
{
    if (!options.cache)
        return std::nullopt;
    QByteArray path = options.cacheFile;
    if (path.isEmpty()) {
        const QByteArray directory = GetSystemDirectory();
        if (directory.isEmpty()) {
            Warn(err, QStringLiteral("no system directory for the link cache; the run goes on "
                                     "without it"));
            return std::nullopt;
        }
        path = JoinPath(directory, CResultCache::kDefaultFileName);
    }
    std::optional<CResultCache> cache(std::in_place, options.cacheMaxAgeSeconds);
    QString warning;
    cache->Load(path, &warning);
    if (!warning.isEmpty())
        Warn(err, warning);
    return cache;
}
