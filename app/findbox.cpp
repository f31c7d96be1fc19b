#include "findbox.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

FindBox::FindBox(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FindBox"));
    setWindowTitle(QStringLiteral("Find"));
    setModal(false);
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("findText"));
    m_text->setAccessibleName(QStringLiteral("Find"));
    m_text->setPlaceholderText(QStringLiteral("address, host name or MAC"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("findStatus"));
    m_status->setTextFormat(Qt::PlainText);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *next = buttons->addButton(QStringLiteral("&Next"), QDialogButtonBox::ActionRole);
    QPushButton *previous
        = buttons->addButton(QStringLiteral("&Previous"), QDialogButtonBox::ActionRole);
    buttons->addButton(QDialogButtonBox::Close);
    next->setDefault(true);
    connect(next, &QPushButton::clicked, this, &FindBox::findNext);
    connect(previous, &QPushButton::clicked, this, &FindBox::findPrevious);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    connect(m_text, &QLineEdit::textEdited, this, [this] { setStatus({}); });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
}

QString FindBox::text() const
{
    return m_text->text().trimmed();
}

void FindBox::setStatus(const QString &status)
{
    m_status->setText(status);
    // Read by a screen reader without leaving the text.
    m_text->setAccessibleDescription(status);
}

QString FindBox::status() const
{
    return m_status->text();
}

void FindBox::keyPressEvent(QKeyEvent *event)
{
    // Enter finds the next match, Shift+Enter the previous one, as F3 and Shift+F3 do.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter || event->matches(QKeySequence::FindNext)
        || event->matches(QKeySequence::FindPrevious)) {
        const bool back = enter ? event->modifiers().testFlag(Qt::ShiftModifier)
                                : event->matches(QKeySequence::FindPrevious);
        emit(back ? findPrevious() : findNext());
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
