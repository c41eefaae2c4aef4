#pragma once

#include <array>
#include <optional>

#include <QByteArray>

#include "controls/colorref.h"
#include "engine/resultcategories.h"
#include "engine/retrypolicy.h"

class CRegSettings;
class QWidget;

// The settings the Settings dialog edits.
struct ViewSettings
{
    ColorRef backColor;
    int timeoutSec;
    QByteArray filter;
    // Links tested at once.
    int jobs = 1;
    // Today's web mode.
    bool todaysWeb = false;
    // Where links that begin with "/" lead; empty: the directory a run starts from.
    QByteArray siteRoot = {};
    // Today's web mode's patience with busy hosts.
    PoliteSettings polite = {};
    // The proxy of today's web mode; empty: the environment's.
    QByteArray proxy = {};
    // Patterns of links not to test, one a line.
    QByteArray exclusions = {};
};

// The Settings command: runs the dialog over the current values; on OK writes
// "Settings" "BackColor", "Timeout", "Filter" in that order, then "Jobs",
// "TlsFilter", "WebFilter", "TodaysWeb", "SiteRoot", "Proxy", "Retries",
// "RetryWaitMax" (seconds), "HostInterval" (milliseconds) and "ExcludeLinks"
// (every time, changed or not) and returns the
// new values, which the caller
// applies; on Cancel returns nothing and nothing is written or changed.
std::optional<ViewSettings>
RunSettingsDialog(QWidget *parent, CRegSettings &settings,
                  const std::array<QByteArray, kCategoryCount> &categoryTexts,
                  const ViewSettings &current);
