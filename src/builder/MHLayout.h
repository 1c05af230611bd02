#pragma once

#include <QWidget>

class QHBoxLayout;

// The widget of an "hlayout": children sit side by side in a margin-less row.
class MHLayout : public QWidget
{
public:
    explicit MHLayout(QWidget *parent = nullptr);
    ~MHLayout() override;

    QHBoxLayout *innerLayout() const { return boxLayout; }

private:
    QHBoxLayout *boxLayout;
};
