#pragma once

#include <QWidget>

// The one top-level window. setupForm chooses the screen from the command line.
class frmMain : public QWidget
{
public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    void setupForm(int argc, char **argv);
};
