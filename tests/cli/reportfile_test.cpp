#include "cli/reportfile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "support/filesizelimit.h"
#include "support/temphome.h"

namespace {

TEST(ReportFile, WriteThatStopsHalfWayIsAFailureSaysWhyAndKeepsTheOldReport)
{
    const QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.path()) + "/report.txt";
    WriteFileBytes(path, "the old report");
    char *message = nullptr;
    std::size_t size = 0;
    std::FILE *err = open_memstream(&message, &size);
    bool saved = true;
    {
        const FileSizeLimit limit(1024);
        ASSERT_TRUE(limit.IsActive());
        saved = SaveReportFile(path, QByteArray(64 * 1024, 'r'), err);
    }
    std::fclose(err);
    const QByteArray text(message, static_cast<qsizetype>(size));
    std::free(message);

    EXPECT_FALSE(saved);
    EXPECT_EQ(text, "vantrel-check: the report was not written to " + path + ": " +
                        std::strerror(EFBIG) + '\n');
    EXPECT_EQ(ReadFileBytes(path), "the old report");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("report.txt")})
        << "no temporary file is left behind";

    EXPECT_TRUE(SaveReportFile(path, "the new report", stderr));
    EXPECT_EQ(ReadFileBytes(path), "the new report");
}

} // namespace
