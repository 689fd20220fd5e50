#pragma once

#include <QWidget>

class QLabel;

// The content of the Pro popover: one text, given by the window layout. The
// controller is its own view.
class ProViewController : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
public:
    explicit ProViewController(QWidget *parent = nullptr);

    QWidget *view() { return this; }
    QLabel *textLabel() const { return m_textLabel; }
    QString text() const;
    void setText(const QString &text);

private:
    QLabel *m_textLabel = nullptr;
};
