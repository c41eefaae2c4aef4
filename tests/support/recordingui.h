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
    void AppendText(const QByteArray &text) override { report += text; }
    void ClearText() override { report.clear(); }
    void SetStatusPane(int pane, const QString &text) override
    {
        statusChanges.append(QStringLiteral("%1:%2").arg(pane).arg(text));
        if (pane >= 1 && pane <= 2)
            panes[pane] = text;
    }
    void MessageBeep(Beep kind) override { beeps.append(kind); }
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
        } else {
            ++progressCloses;
        }
    }
    void ShowActivity(int position) override { activity.append(position); }
    void SetWaitCursor(bool waiting) override { waitCursorChanges.append(waiting); }
    void StateChanged() override { ++stateChanges; }
    void ScanFailed(const QByteArray &path, const QString &why) override
    {
        scanFailures.append(path + ": " + why.toLocal8Bit());
    }

    QByteArray report;
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
    bool answerYes = true;
};
