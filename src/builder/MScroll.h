#pragma once

#include <QWidget>

class QScrollArea;
class QVBoxLayout;

// A frameless scrolling area whose content is a column; content smaller than the
// view is stretched to fill it. Serves "scrolllayout" and the launcher screen.
class MScroll : public QWidget
{
public:
    explicit MScroll(QWidget *parent = nullptr);
    ~MScroll() override;

    QVBoxLayout *innerLayout() const { return contentLayout; }
    QScrollArea *area() const { return scrollArea; }
    void addWidget(QWidget *widget);
    // Makes the area a focus stop of its own only when nothing inside it takes
    // focus, so that the keyboard can still scroll a column of labels. Otherwise
    // Tab goes straight to the widgets inside, and the area follows them.
    void settleFocus();

private:
    QScrollArea *scrollArea;
    QVBoxLayout *contentLayout;
};
