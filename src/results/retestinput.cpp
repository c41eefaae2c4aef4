#include "retestinput.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "discovery/workfiles.h"
#include "engine/engineui.h"
#include "engine/testengine.h"
#include "platform/piecereader.h"

namespace {

QString Failure(const QByteArray &path, const char *what)
{
    return QStringLiteral("The links cannot be re-tested: the work file %1 %2 (%3).")
        .arg(QString::fromLocal8Bit(path), QString::fromLatin1(what),
             QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

QByteArray MakeRetestInput(const QByteArray &report, const CWorkFiles &workFiles, QString *why)
{
    const QByteArray dumpPath = workFiles.WorkFilePath("1");
    const QByteArray inputPath = workFiles.WorkFilePath("3");
    if (dumpPath.isEmpty()) {
        *why = QStringLiteral("The links cannot be re-tested: there is no system directory for "
                              "the work files.");
        return {};
    }
    UniqueFd dump = CreateWorkFile(dumpPath);
    if (!dump.IsValid() ||
        !WriteAll(dump.Get(), report.constData(), static_cast<std::size_t>(report.size()))) {
        *why = Failure(dumpPath, "cannot be written");
        return {};
    }
    UniqueFd input = CreateWorkFile(inputPath);
    if (!input.IsValid() || lseek(dump.Get(), 0, SEEK_SET) != 0) {
        *why = Failure(inputPath, "cannot be created");
        return {};
    }

    QByteArray converted;
    converted.reserve(report.size() + report.count('"'));
    PieceReader reader(dump.Get());
    std::string_view piece;
    while (reader.Next(piece, kReportPieceChars)) {
        if (!piece.empty() && piece.front() == '"')
            converted += "<A";
        converted.append(piece.data(), static_cast<qsizetype>(piece.size()));
    }
    if (reader.Failed() ||
        !WriteAll(input.Get(), converted.constData(), static_cast<std::size_t>(converted.size()))) {
        *why = Failure(inputPath, "cannot be written");
        return {};
    }
    dump.Reset();
    input.Reset();
    unlink(dumpPath.constData());
    if (rename(inputPath.constData(), dumpPath.constData()) != 0) {
        *why = Failure(dumpPath, "cannot take the place of urltmp~3");
        return {};
    }
    return dumpPath;
}

void OnRetestFailedLinks(CTestEngine &engine)
{
    if (!engine.CanRetestOrRepair() || engine.m_bRunning)
        return;
    QString why;
    const QByteArray input = MakeRetestInput(engine.ReportText(), engine.WorkFiles(), &why);
    if (input.isEmpty()) {
        engine.Ui().MessageBox(why, EngineUi::Icon::None);
        return;
    }
    engine.OnClearWindow();
    engine.StartTest(input, false, false);
}
