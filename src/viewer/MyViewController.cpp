#include "MyViewController.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {
constexpr int TextWidth = 260;
}

MyViewController::MyViewController(QWidget *parent)
    : QWidget(parent)
    , m_textLabel(new QLabel(this))
{
    m_textLabel->setObjectName(QStringLiteral("textLabel"));
    m_textLabel->setWordWrap(true);
    m_textLabel->setFixedWidth(TextWidth);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_textLabel);
}

QString MyViewController::text() const
{
    return m_textLabel->text();
}

void MyViewController::setText(const QString &text)
{
    m_textLabel->setText(text);
}
