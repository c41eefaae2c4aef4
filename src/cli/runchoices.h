#pragma once

#include <cstdio>
#include <optional>

#include <QByteArray>

#include "engine/linkexclusions.h"
#include "engine/resultcache.h"

class CRegSettings;
struct CheckOptions;

// The exclusion patterns of a run or link list: the stored list, --exclude
// and each --exclude-file, then, when siteRoot is given, its ignore file.
// Nothing, after naming the bad pattern or unreadable file on err, when one
// cannot be used.
std::optional<CLinkExclusions> ChosenExclusions(const CheckOptions &options,
                                                const CRegSettings &settings,
                                                const QByteArray &siteRoot, std::FILE *err);

// The result cache --cache asks for, loaded; a cache that cannot be read is
// named on err and starts empty. Nothing without --cache, or when no file
// can be named for it.
std::optional<CResultCache> ChosenCache(const CheckOptions &options, std::FILE *err);
