#include "runcheck.h"

#include <sys/resource.h>

#include <QProcess>

CheckResult RunCheck(const QList<QByteArray> &arguments, const QByteArray &input,
                     long openFileLimit)
{
    QStringList list;
    for (const QByteArray &argument : arguments)
        list.append(QString::fromLocal8Bit(argument));
    QProcess process;
    if (openFileLimit > 0) {
        process.setChildProcessModifier([openFileLimit] {
            rlimit limit{};
            getrlimit(RLIMIT_NOFILE, &limit);
            limit.rlim_cur = static_cast<rlim_t>(openFileLimit);
            setrlimit(RLIMIT_NOFILE, &limit);
        });
    }
    process.start(QStringLiteral(VANTREL_CHECK_PATH), list);
    process.write(input);
    process.closeWriteChannel();
    CheckResult result;
    if (!process.waitForFinished(120000))
        return result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QByteArray ReportBody(const QByteArray &report)
{
    const qsizetype start = report.indexOf("\r\n\r\n") + 4;
    return report.mid(start, report.lastIndexOf("End of test: ") - start);
}
