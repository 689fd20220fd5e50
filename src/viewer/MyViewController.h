#pragma once

#include <QWidget>

class QLabel;

// The content of the mobile-edition popover (and, through a subclass, of the
// Pro one), and of the window a popover becomes when dragged off: one text,
// given by the window layout. The controller is its own view.
class MyViewController : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
public:
    explicit MyViewController(QWidget *parent = nullptr);

    QWidget *view() { return this; }
    QLabel *textLabel() const { return m_textLabel; }
    QString text() const;
    void setText(const QString &text);

private:
    QLabel *m_textLabel = nullptr;
};
