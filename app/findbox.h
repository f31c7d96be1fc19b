#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

// The find box: a text to look for in the host table's addresses, host names and MACs,
// and where the last search ended. It searches nothing itself; the window does, on
// findNext() and findPrevious().
class FindBox : public QDialog
{
    Q_OBJECT

public:
    explicit FindBox(QWidget *parent = nullptr);

    QString text() const;
    // What the last search found, e.g. "no match"; empty for a plain match.
    void setStatus(const QString &status);
    QString status() const;

signals:
    void findNext();
    void findPrevious();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QLineEdit *m_text = nullptr;
    QLabel *m_status = nullptr;
};
