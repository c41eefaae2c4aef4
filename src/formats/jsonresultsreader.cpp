#include "jsonresultsreader.h"

#include <vector>

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>

#include "records/runlistener.h"

namespace {

// The layout this reader knows (CJsonResultsWriter's).
constexpr int kReadVersion = 1;

// A field's bytes. The writer copies bytes that are valid UTF-8 and reads any
// others as Latin-1; the UTF-8 reading is the one that gives most pages their
// own bytes back.
QByteArray Bytes(const QJsonValue &value)
{
    return value.toString().toUtf8();
}

QDateTime Time(const QJsonValue &value)
{
    return value.isString() ? QDateTime::fromString(value.toString(), Qt::ISODate) : QDateTime();
}

// The link record an entry of the links array holds; false when the entry
// has not the shape the writer gives it.
bool ReadLink(const QJsonValue &entry, LinkRecord *link)
{
    const QJsonObject object = entry.toObject();
    const QJsonValue page = object[QLatin1String("page")];
    const QJsonValue url = object[QLatin1String("url")];
    const QJsonValue target = object[QLatin1String("target")];
    const QJsonValue code = object[QLatin1String("code")];
    const QJsonValue redirects = object[QLatin1String("redirects")];
    if (!entry.isObject() || !page.isString() || !url.isString() ||
        !(target.isString() || target.isNull()) || !(code.isDouble() || code.isNull()) ||
        !redirects.isArray() || !object[QLatin1String("reported")].isBool() ||
        !CategoryFromText(Bytes(object[QLatin1String("category")]), &link->category))
        return false;
    link->page = Bytes(page);
    link->url = Bytes(url);
    link->target = Bytes(target);
    link->line = object[QLatin1String("line")].toInt();
    link->column = object[QLatin1String("column")].toInt();
    link->text = Bytes(object[QLatin1String("text")]);
    if (code.isDouble())
        link->code = code.toInt();
    for (const QJsonValue &step : redirects.toArray()) {
        const QJsonValue stepUrl = step.toObject()[QLatin1String("url")];
        if (!stepUrl.isString())
            return false;
        link->redirects.push_back({Bytes(stepUrl), step.toObject()[QLatin1String("code")].toInt()});
    }
    link->elapsedMs = object[QLatin1String("elapsedMs")].toInteger();
    link->reported = object[QLatin1String("reported")].toBool();
    link->cached = object[QLatin1String("cached")].toBool();
    return true;
}

// Each page's end as the pages array tells it, in its order, by path: a page
// tested in two runs has two.
QHash<QByteArray, QList<PageEnd>> PageEnds(const QJsonArray &pages)
{
    QHash<QByteArray, QList<PageEnd>> ends;
    for (const QJsonValue &entry : pages) {
        const QJsonObject page = entry.toObject();
        PageEnd end;
        end.path = Bytes(page[QLatin1String("path")]);
        end.tested = page[QLatin1String("tested")].toInt();
        end.errors = page[QLatin1String("errors")].toInt();
        end.excluded = page[QLatin1String("excluded")].toInt();
        if (page[QLatin1String("scanError")].isString())
            end.scanError = page[QLatin1String("scanError")].toString();
        ends[end.path].append(end);
    }
    return ends;
}

} // namespace

bool IsJsonDocument(const QByteArray &bytes)
{
    for (const char byte : bytes) {
        if (byte != ' ' && byte != '\t' && byte != '\n' && byte != '\r')
            return byte == '{';
    }
    return false;
}

QString ReadJsonResults(const QByteArray &document, RunListener &listener)
{
    QJsonParseError error{};
    const QJsonDocument json = QJsonDocument::fromJson(document, &error);
    if (error.error != QJsonParseError::NoError)
        return QStringLiteral("it is not valid JSON (%1 at byte %2)")
            .arg(error.errorString())
            .arg(error.offset);
    const QJsonObject root = json.object();
    if (!json.isObject() || !root[QLatin1String("links")].isArray())
        return QStringLiteral("it is not a results document of vantrel-check (it has no links "
                              "array)");
    const QJsonValue version = root[QLatin1String("version")];
    if (!version.isDouble() || version.toDouble() != kReadVersion)
        return QStringLiteral("its results are of version %1; this vantrel-check reads version %2")
            .arg(version.isDouble() ? QString::number(version.toDouble())
                                    : QStringLiteral("(none)"))
            .arg(kReadVersion);

    // Every link is read before anything is told, so that a document with a
    // link of another shape tells nothing.
    std::vector<LinkRecord> reported;
    const QJsonArray links = root[QLatin1String("links")].toArray();
    for (qsizetype i = 0; i < links.size(); ++i) {
        LinkRecord link;
        if (!ReadLink(links[i], &link))
            return QStringLiteral("its link %1 is not a link of results").arg(i + 1);
        if (link.reported)
            reported.push_back(std::move(link));
    }

    const QString mode = root[QLatin1String("mode")].toString();
    RunStart start;
    start.started = Time(root[QLatin1String("started")]);
    if (mode == QLatin1String("todays-web") || mode == QLatin1String("classic"))
        start.todaysWeb = mode == QLatin1String("todays-web");
    listener.RunStarted(start);
    QHash<QByteArray, QList<PageEnd>> ends = PageEnds(root[QLatin1String("pages")].toArray());
    const auto endPage = [&listener, &ends](const QByteArray &path) {
        QList<PageEnd> &pageEnds = ends[path];
        PageEnd end;
        end.path = path;
        listener.PageEnded(pageEnds.isEmpty() ? end : pageEnds.takeFirst());
    };
    // The links of one page follow each other, as the run tested them; a link
    // of no page (an address tested on its own) is told outside any page.
    QByteArray openPage;
    for (const LinkRecord &link : reported) {
        if (link.page != openPage) {
            if (!openPage.isEmpty())
                endPage(openPage);
            openPage = link.page;
            if (!openPage.isEmpty())
                listener.PageStarted({openPage, std::nullopt});
        }
        listener.LinkTested(link);
    }
    if (!openPage.isEmpty())
        endPage(openPage);
    listener.RunEnded(
        {Time(root[QLatin1String("ended")]), {}, root[QLatin1String("stopped")].toBool()});
    return {};
}
