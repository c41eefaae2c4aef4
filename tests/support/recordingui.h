#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "engine/engineui.h"
#include "engine/progressmodel.h"

// An EngineUi that records what the engine shows and answers its questions
// from a script, for tests.
class RecordingUi : public EngineUi
{
public:
    void AppendText(const QByteArray &text) override
    {
        report += text;
        trace.append("text " + text);
    }
    void ClearText() override { report.clear(); }
    // The words the front ends show for each event, recorded one by one.
    void ShowStatus(const StatusEvent &event) override
    {
        const StatusTexts texts = TextsOf(event);
        if (texts.waitCursor) {
            waitCursorChanges.append(*texts.waitCursor);
            trace.append(*texts.waitCursor ? "wait cursor" : "arrow");
        }
        for (const auto &[pane, text] : texts.panes) {
            statusChanges.append(QStringLiteral("%1:%2").arg(pane).arg(text));
            trace.append("pane " + statusChanges.last().toUtf8());
            panes[pane] = text;
        }
    }
    void MessageBeep(Beep kind) override
    {
        beeps.append(kind);
        trace.append(kind == Beep::Default ? "beep" : "beep !");
    }
    void MessageBox(const QString &text, Icon icon) override
    {
        messages.append(text);
        icons.append(icon);
    }
    bool AskYesNo(const QString &text) override
    {
        questions.append(text);
        return answerYes;
    }

    void ShowProgress(const ProgressModel *model) override
    {
        progressShown = model != nullptr;
        if (model != nullptr) {
            progress = *model;
            ++progressUpdates;
            trace.append("progress file " + model->m_strFileIndex + '/' + model->m_strFileCount +
                         ' ' + model->m_strFileName + " link " + model->m_strUrlIndex + '/' +
                         model->m_strUrlCount + ' ' + model->m_strUrl + " bars " +
                         QByteArray::number(model->m_ctlFileProgress.pos) + ' ' +
                         QByteArray::number(model->m_ctlUrlProgress.pos));
        } else {
            ++progressCloses;
            trace.append("progress closed");
        }
    }
    void ShowActivity(int position) override { activity.append(position); }
    void StateChanged() override
    {
        ++stateChanges;
        trace.append("state");
    }
    void ScanFailed(const QByteArray &path, const QString &why) override
    {
        scanFailures.append(path + ": " + why.toLocal8Bit());
        trace.append("scan failed " + scanFailures.last());
    }

    void HttpsNotTested(int count) override { httpsNotTested.append(count); }

    QByteArray report;
    // Everything the engine showed, in order, but the activity bar, whose
    // blinking follows the clock.
    QList<QByteArray> trace;
    bool progressShown = false;
    ProgressModel progress;
    int progressUpdates = 0;
    int progressCloses = 0;
    QList<int> activity;
    QList<bool> waitCursorChanges;
    int stateChanges = 0;
    QString panes[3];
    QStringList statusChanges;
    QList<Beep> beeps;
    QStringList messages;
    QList<Icon> icons;
    QStringList questions;
    // "path: why" for each file that could not be scanned.
    QList<QByteArray> scanFailures;
    // Each time a run told how many https links it left untested.
    QList<int> httpsNotTested;
    bool answerYes = true;
};
