#pragma once

#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "formats/resultformat.h"

// What one invocation of vantrel-check asks for, parsed from its arguments.
struct CheckOptions
{
    enum class Command
    {
        Help,
        Version,
        Run,
        ListLinks,
        Retest,
        Export,
        Repair
    };
    enum class ExportFormat
    {
        Text,
        Html,
        Json,
        Csv,
        JUnit,
        Markdown
    };

    Command command = Command::Help;
    // The file to test (Run, ListLinks) or the saved report (Retest, Export, Repair).
    QByteArray path;

    bool allFiles = false;
    // Also every sub-directory; implies allFiles.
    bool recurse = false;
    // Overrides of the stored report filter and time-out, for this run only.
    std::optional<QByteArray> filter;
    std::optional<int> timeoutSeconds;
    // Today's web mode (--modern) or classic (--classic) for this run or link
    // list, whatever is stored; unset: as stored.
    std::optional<bool> todaysWeb;
    // The directory root-relative links resolve against; empty: the stored
    // setting SiteRoot, else the directory the run starts from.
    QByteArray siteRoot;
    // The proxy of today's web for this run; unset: the stored setting Proxy,
    // else the environment's.
    std::optional<QByteArray> proxy;
    // Check the fragments of remote links against their pages.
    bool remoteFragments = false;
    // 0: the next step as soon as the engine is ready; else the poll period.
    int pollMs = 0;
    // Probes in flight at once, in all and towards one host; unset: the
    // stored settings, else the defaults.
    std::optional<int> jobs;
    std::optional<int> perHost;
    // Today's web mode's tries again, the longest wait before one (seconds)
    // and the least interval between requests to one host (milliseconds);
    // unset: the stored settings, else the defaults.
    std::optional<int> retries;
    std::optional<int> retryWaitMaxSec;
    std::optional<int> hostIntervalMs;
    QByteArray httpPort = "80";
    QByteArray ftpPort = "21";
    // "address:port" of the one name server to ask; empty asks the system's.
    QByteArray nameServer;
    // Also write the report, byte for byte, to this file.
    QByteArray reportFile;
    // What standard output carries of a run: the report (unset) or a
    // machine-readable format.
    std::optional<ResultFormat> format;
    // Sound the terminal's bell where the desktop program beeps.
    bool beep = false;
    // Patterns of links not to test (--exclude), and files of them
    // (--exclude-file), besides the stored list and the site root's ignore file.
    QStringList excludePatterns;
    QList<QByteArray> excludeFiles;
    // Reuse and keep the results of links that passed: in cacheFile, else in
    // the system directory's cache; for at most cacheMaxAgeSeconds.
    bool cache = false;
    QByteArray cacheFile;
    qint64 cacheMaxAgeSeconds = 24 * 60 * 60;

    ExportFormat exportFormat = ExportFormat::Text;
    QByteArray output;
    bool force = false;

    // 0 disables the link's element, 1 replaces the URL text.
    int repairType = 0;
    bool yes = false;
    // Print what the repair would change instead of changing it.
    bool dryRun = false;
};

struct ParsedCheckOptions
{
    CheckOptions options;
    // Empty when the arguments are usable; else what is wrong with them.
    QString error;
};

// Parses the arguments after the program name. Paths are kept as the bytes
// given, so that any file name can be named.
ParsedCheckOptions ParseCheckOptions(const QList<QByteArray> &arguments);

// The text of --help.
QString CheckUsageText();
