#include "checkoptions.h"

#include <tuple>

#include "engine/linkexclusions.h"
#include "engine/resultcategories.h"
#include "engine/retrypolicy.h"

namespace {

// Far more than any run needs; the engine holds the number below what the
// limit of open files allows in any case.
constexpr int kMaxJobsOption = 10000;

QString Text(const QByteArray &bytes)
{
    return QString::fromLocal8Bit(bytes);
}

std::optional<int> PositiveNumber(const QByteArray &text, int highest)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 0 || value > highest)
        return std::nullopt;
    return value;
}

// An age as a number of seconds, or with a unit: 90, 30m, 12h, 1d.
std::optional<qint64> AgeSeconds(QByteArray text)
{
    constexpr qint64 kHighest = 3650LL * 24 * 60 * 60;
    qint64 unit = 1;
    const char last = text.isEmpty() ? '\0' : text.back();
    if (last == 's' || last == 'm' || last == 'h' || last == 'd') {
        unit = last == 'm' ? 60 : last == 'h' ? 3600 : last == 'd' ? 86400 : 1;
        text.chop(1);
    }
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || text.startsWith('+') || value < 0 || value > kHighest / unit)
        return std::nullopt;
    return value * unit;
}

std::optional<CheckOptions::ExportFormat> ExportFormatNamed(const std::optional<QByteArray> &name)
{
    using Format = CheckOptions::ExportFormat;
    const std::pair<const char *, Format> names[] = {
        {"text", Format::Text}, {"html", Format::Html},   {"json", Format::Json},
        {"csv", Format::Csv},   {"junit", Format::JUnit}, {"markdown", Format::Markdown},
    };
    for (const auto &[text, format] : names) {
        if (name == QByteArray(text))
            return format;
    }
    return std::nullopt;
}

// Walks the arguments; an option's value is the next argument or follows "=".
class ArgumentWalker
{
public:
    explicit ArgumentWalker(const QList<QByteArray> &arguments) : m_arguments(arguments) {}

    bool AtEnd() const { return m_next >= m_arguments.size(); }
    QByteArray Next()
    {
        QByteArray argument = m_arguments[m_next++];
        m_inlineValue.reset();
        const qsizetype equals = argument.indexOf('=');
        if (argument.startsWith("--") && equals > 2) {
            m_inlineValue = argument.mid(equals + 1);
            argument.truncate(equals);
        }
        return argument;
    }
    std::optional<QByteArray> Value()
    {
        if (m_inlineValue)
            return std::exchange(m_inlineValue, std::nullopt);
        if (AtEnd())
            return std::nullopt;
        return m_arguments[m_next++];
    }
    bool HasInlineValue() const { return m_inlineValue.has_value(); }

private:
    const QList<QByteArray> &m_arguments;
    qsizetype m_next = 0;
    std::optional<QByteArray> m_inlineValue;
};

// The lengths of filters written before later categories came: the classic
// categories, then with the https failures, then with today's web's first four.
const QList<qsizetype> kShorterFilters{kClassicCategoryCount,
                                       kClassicCategoryCount + kTlsCategoryCount,
                                       kClassicCategoryCount + kTlsCategoryCount + 4};

QString Validate(const CheckOptions &options, bool filterGiven, int filterChoices, bool formatGiven)
{
    using Command = CheckOptions::Command;
    const bool runs = options.command == Command::Run || options.command == Command::Retest;
    if (filterChoices > 1)
        return QStringLiteral("choose one of --filter, --hawk and --one-eye");
    if (filterGiven && !kShorterFilters.contains(options.filter->size()) &&
        options.filter->size() != kCategoryCount)
        return QStringLiteral("--filter needs %1 characters, one per result category (or %2, %3 "
                              "or %4, the categories left out then reported)")
            .arg(kCategoryCount)
            .arg(kShorterFilters[0])
            .arg(kShorterFilters[1])
            .arg(kShorterFilters[2]);
    if (!runs && (filterChoices > 0 || options.timeoutSeconds || !options.reportFile.isEmpty() ||
                  !options.nameServer.isEmpty() || options.jobs || options.perHost ||
                  options.retries || options.retryWaitMaxSec || options.hostIntervalMs ||
                  options.beep || formatGiven || options.proxy || options.remoteFragments))
        return QStringLiteral("--filter, --hawk, --one-eye, --timeout, --jobs, --per-host, "
                              "--retries, --retry-wait-max, --host-interval, --name-server, "
                              "--proxy, --check-remote-fragments, --report, --format and --beep "
                              "go with a test run or --retest");
    if (!runs && options.command != Command::ListLinks && options.command != Command::Repair &&
        (options.todaysWeb || !options.siteRoot.isEmpty()))
        return QStringLiteral("--modern, --classic and --root go with a test run, --retest, "
                              "--list-links or --repair");
    if (!runs && options.command != Command::ListLinks &&
        (!options.excludePatterns.isEmpty() || !options.excludeFiles.isEmpty() || options.cache))
        return QStringLiteral("--exclude, --exclude-file, --cache, --cache-file and "
                              "--max-cache-age go with a test run, --retest or --list-links");
    if (options.command != Command::Run && options.command != Command::ListLinks &&
        (options.allFiles || options.recurse))
        return QStringLiteral("--all-files and --recurse go with a test run or --list-links");
    if (options.command == Command::Export && options.output.isEmpty())
        return QStringLiteral("--export needs --output OUT");
    if (options.command != Command::Export && (!options.output.isEmpty() || options.force))
        return QStringLiteral("--output and --force go with --export");
    if (options.command != Command::Repair && (options.yes || options.dryRun))
        return QStringLiteral("--yes and --dry-run go with --repair");
    return {};
}

} // namespace

ParsedCheckOptions ParseCheckOptions(const QList<QByteArray> &arguments)
{
    using Command = CheckOptions::Command;
    ParsedCheckOptions parsed;
    CheckOptions &options = parsed.options;
    QList<QByteArray> positional;
    QList<Command> commands;
    bool help = false;
    bool version = false;
    bool optionsEnded = false;
    int filterChoices = 0;
    bool filterGiven = false;
    bool formatGiven = false;
    bool maxAgeGiven = false;

    const auto fail = [&parsed](const QString &error) {
        parsed.error = error;
        return parsed;
    };

    ArgumentWalker walker(arguments);
    while (!walker.AtEnd()) {
        const QByteArray argument = walker.Next();
        const auto value = [&walker, &argument]() -> std::optional<QByteArray> {
            std::optional<QByteArray> given = walker.Value();
            if (!given || given->isEmpty())
                return std::nullopt;
            return given;
        };
        const QString missing = QStringLiteral("%1 needs a value").arg(Text(argument));

        if (optionsEnded || !argument.startsWith('-') || argument == "-") {
            positional.append(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            help = true;
        } else if (argument == "--version") {
            version = true;
        } else if (argument == "--list-links") {
            commands.append(Command::ListLinks);
        } else if (argument == "--all-files") {
            options.allFiles = true;
        } else if (argument == "--recurse") {
            // A whole tree is what --recurse asks for; without the directory's
            // files it would take no file at all.
            options.recurse = true;
            options.allFiles = true;
        } else if (argument == "--filter") {
            options.filter = walker.Value();
            if (!options.filter)
                return fail(missing);
            filterGiven = true;
            ++filterChoices;
        } else if (argument == "--modern" || argument == "--classic") {
            if (options.todaysWeb && *options.todaysWeb != (argument == "--modern"))
                return fail(QStringLiteral("choose one of --modern and --classic"));
            options.todaysWeb = argument == "--modern";
        } else if (argument == "--root") {
            const std::optional<QByteArray> directory = value();
            if (!directory)
                return fail(missing);
            options.siteRoot = *directory;
        } else if (argument == "--check-remote-fragments") {
            options.remoteFragments = true;
        } else if (argument == "--proxy") {
            options.proxy = value();
            if (!options.proxy)
                return fail(missing);

        } else if (argument == "--exclude") {
            const std::optional<QByteArray> pattern = value();
            if (!pattern)
                return fail(missing);
            const QString problem = CLinkExclusions::PatternProblem(Text(*pattern));
            if (!problem.isEmpty())
                return fail(QStringLiteral("--exclude: %1").arg(problem));
            options.excludePatterns.append(Text(*pattern));
        } else if (argument == "--exclude-file") {
            const std::optional<QByteArray> file = value();
            if (!file)
                return fail(missing);
            options.excludeFiles.append(*file);
        } else if (argument == "--cache") {
            options.cache = true;
        } else if (argument == "--cache-file") {
            const std::optional<QByteArray> file = value();
            if (!file)
                return fail(missing);
            options.cacheFile = *file;
            options.cache = true;
        } else if (argument == "--max-cache-age") {
            const std::optional<QByteArray> text = value();
            const std::optional<qint64> age = text ? AgeSeconds(*text) : std::nullopt;
            if (!age)
                return fail(QStringLiteral("--max-cache-age needs an age: seconds, or a number "
                                           "with s, m, h or d (such as 30m, 12h, 1d)"));
            options.cacheMaxAgeSeconds = *age;
            maxAgeGiven = true;
        } else if (argument == "--hawk") {
            options.filter = kFilterWatchLikeAHawk;
            ++filterChoices;
        } else if (argument == "--one-eye") {
            options.filter = kFilterWatchWithOneEyeShut;
            ++filterChoices;
        } else if (argument == "--timeout") {
            const std::optional<QByteArray> text = value();
            options.timeoutSeconds = text ? PositiveNumber(*text, 86400) : std::nullopt;
            if (!options.timeoutSeconds || *options.timeoutSeconds < 1)
                return fail(QStringLiteral("--timeout needs a number of seconds from 1 to 86400"));
        } else if (argument == "--jobs" || argument == "--per-host") {
            const std::optional<QByteArray> text = value();
            const std::optional<int> count =
                text ? PositiveNumber(*text, kMaxJobsOption) : std::nullopt;
            if (!count || *count < 1)
                return fail(QStringLiteral("%1 needs a number from 1 to %2")
                                .arg(Text(argument))
                                .arg(kMaxJobsOption));
            (argument == "--jobs" ? options.jobs : options.perHost) = count;
        } else if (argument == "--retries" || argument == "--retry-wait-max" ||
                   argument == "--host-interval") {
            // The value's meaning and its highest, for each.
            const auto [highest, unit, target] =
                argument == "--retries" ? std::tuple(kMaxRetries, "number", &options.retries)
                : argument == "--retry-wait-max"
                    ? std::tuple(kMaxRetryWaitSec, "number of seconds", &options.retryWaitMaxSec)
                    : std::tuple(kMaxHostIntervalMs, "number of milliseconds",
                                 &options.hostIntervalMs);
            const std::optional<QByteArray> text = value();
            *target = text ? PositiveNumber(*text, highest) : std::nullopt;
            if (!*target)
                return fail(QStringLiteral("%1 needs a %2 from 0 to %3")
                                .arg(Text(argument), QString::fromLatin1(unit))
                                .arg(highest));
        } else if (argument == "--poll-ms") {
            const std::optional<QByteArray> text = value();
            const std::optional<int> pollMs = text ? PositiveNumber(*text, 60000) : std::nullopt;
            if (!pollMs)
                return fail(QStringLiteral("--poll-ms needs a number of milliseconds from 0 to "
                                           "60000"));
            options.pollMs = *pollMs;
        } else if (argument == "--http-port" || argument == "--ftp-port") {
            const std::optional<QByteArray> text = value();
            if (!text || !PositiveNumber(*text, 65535) || PositiveNumber(*text, 65535) == 0)
                return fail(QStringLiteral("%1 needs a port from 1 to 65535").arg(Text(argument)));
            (argument == "--http-port" ? options.httpPort : options.ftpPort) = *text;
        } else if (argument == "--name-server") {
            const std::optional<QByteArray> server = value();
            const qsizetype colon = server ? server->lastIndexOf(':') : -1;
            if (colon <= 0 || !PositiveNumber(server->mid(colon + 1), 65535) ||
                PositiveNumber(server->mid(colon + 1), 65535) == 0)
                return fail(QStringLiteral("--name-server needs ADDRESS:PORT"));
            options.nameServer = *server;
        } else if (argument == "--report") {
            const std::optional<QByteArray> file = value();
            if (!file)
                return fail(missing);
            options.reportFile = *file;
        } else if (argument == "--retest") {
            commands.append(Command::Retest);
        } else if (argument == "--format") {
            const std::optional<QByteArray> format = value();
            if (format == QByteArray("text"))
                options.format.reset();
            else if (!format || !(options.format = ResultFormatNamed(*format)))
                return fail(QStringLiteral("--format needs text, json, csv, junit or markdown"));
            formatGiven = true;
        } else if (argument == "--export") {
            const std::optional<CheckOptions::ExportFormat> format = ExportFormatNamed(value());
            if (!format)
                return fail(QStringLiteral("--export needs text, html, json, csv, junit or "
                                           "markdown"));
            options.exportFormat = *format;
            commands.append(Command::Export);
        } else if (argument == "--output") {
            const std::optional<QByteArray> file = value();
            if (!file)
                return fail(missing);
            options.output = *file;
        } else if (argument == "--force") {
            options.force = true;
        } else if (argument == "--repair") {
            const std::optional<QByteArray> type = value();
            if (type == QByteArray("disable"))
                options.repairType = 0;
            else if (type == QByteArray("replace"))
                options.repairType = 1;
            else if (type == QByteArray("update"))
                options.repairType = 2;
            else
                return fail(QStringLiteral("--repair needs disable, replace or update"));
            commands.append(Command::Repair);
        } else if (argument == "--beep") {
            options.beep = true;
        } else if (argument == "--yes") {
            options.yes = true;
        } else if (argument == "--dry-run") {
            options.dryRun = true;
        } else {
            return fail(QStringLiteral("unknown option %1").arg(Text(argument)));
        }
        if (walker.HasInlineValue())
            return fail(QStringLiteral("%1 takes no value").arg(Text(argument)));
    }

    if (help) {
        options.command = Command::Help;
        return parsed;
    }
    if (version) {
        options.command = Command::Version;
        return parsed;
    }
    if (commands.size() > 1)
        return fail(QStringLiteral("choose one of --list-links, --retest, --export and --repair"));
    options.command = commands.isEmpty() ? Command::Run : commands.first();
    if (positional.size() != 1) {
        return fail(positional.isEmpty() ? QStringLiteral("no file named")
                                         : QStringLiteral("more than one file named"));
    }
    options.path = positional.first();
    parsed.error = Validate(options, filterGiven, filterChoices, formatGiven);
    if (parsed.error.isEmpty() && maxAgeGiven && !options.cache)
        parsed.error = QStringLiteral("--max-cache-age goes with --cache or --cache-file");
    // A shorter filter leaves the categories after it reported.
    if (parsed.error.isEmpty() && options.filter)
        *options.filter += QByteArray(kCategoryCount - options.filter->size(), '1');
    return parsed;
}
