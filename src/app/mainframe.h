#pragma once

#include <QMainWindow>

// The main window. For now it holds the title and the results area only; the
// menus, toolbar and status panes come with the desktop shell.
class CMainFrame final : public QMainWindow
{
public:
    explicit CMainFrame(QWidget *parent = nullptr);
};
