#pragma once

#include <QWidget>

// The blue bar along the bottom of a window; drawn like QMTopView.
class QMStatusView : public QWidget
{
    Q_OBJECT
public:
    explicit QMStatusView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
