#pragma once

#include <functional>
#include <optional>
#include <string_view>

#include <QByteArray>
#include <QString>

#include "platform/piecereader.h"
#include "platform/uniquefd.h"

class CTestEngine;
class CWorkFiles;
class EngineUi;

inline constexpr char kRepairFailedText[] = "The URL repair did not succeed";
inline constexpr char kRepairCompletedText[] = "All URL repairs completed";

// The two ways of repairing a reported link's line.
enum RepairType
{
    REPAIR_DISABLE_LINE = 0,
    REPAIR_REPLACE_URL = 1
};

// The question asked before a repair when the run met a reply code outside
// every result category.
QString UnknownCodeQuestion();

// Rewrites the HTML files a report names so that every link it lists is
// disabled: each file is read once from top to bottom, each reported link
// rewrites the next line that holds it, and the rewritten copy takes the
// file's place at once when the file's summary line comes. Every file is
// first copied to its backup.
class CLinkRepair
{
public:
    CLinkRepair(EngineUi &ui, const CWorkFiles &workFiles);
    ~CLinkRepair();

    CLinkRepair(const CLinkRepair &) = delete;
    CLinkRepair &operator=(const CLinkRepair &) = delete;

    // Walks the report (dumped to urltmp~2) and tells the user how it went;
    // true when every repair succeeded.
    bool RepairFromReport(const QByteArray &report, int type);

    // 0 for success, nonzero for failure.
    int BeginFileRepair(const QByteArray &path);
    // Always 0: a URL that is not found is told to the user and passed over.
    int RepairUrl(const QByteArray &url, int type);
    int EndFileRepair();

    QByteArray m_strRepairPath;

private:
    bool FileOpen() const { return m_pRepairIn.IsValid(); }
    // Gives up the file under repair without putting anything in its place.
    void CloseFile();
    void Write(std::string_view bytes);
    bool FlushOutput();

    EngineUi &m_ui;
    const CWorkFiles &m_workFiles;
    // The file being repaired (the one a link at the path points to).
    QByteArray m_target;
    UniqueFd m_pRepairIn;
    std::optional<PieceReader> m_inReader;
    UniqueFd m_pRepairOut;
    QByteArray m_outBuffer;
    bool m_outFailed = false;
};

// The Repair command: asks first when the last run met an unknown reply code,
// then lets chooseType ask for the repair type (nothing: the user cancelled),
// then repairs. True when every repair succeeded.
bool OnRepairFailedLinks(CTestEngine &engine,
                         const std::function<std::optional<int>()> &chooseType);
