#pragma once

#include <QWidget>

#include <functional>

#include "hosttable.h"
#include "lookup.h"
#include "scan.h"

#include <QHash>
#include <QTime>

class FileWatch;
class FindBox;
class HealthWindow;
class HostTableModel;
class QAction;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;

// The Kelto window: the lookup line, the host table and the path of the configuration
// file, laid out as fixed controls. The host table and the lookup come from the
// hosttable library; the window wires its controls to them.
class Keltofrm : public QWidget
{
    Q_OBJECT

public:
    // Shows the scan failure message; tests put their own in place of the modal box.
    using FailureReporter = std::function<void(QWidget *window, const QString &message)>;

    static const QString ScanFailureMessage;

    explicit Keltofrm(QWidget *parent = nullptr);
    ~Keltofrm() override;

    // Start-up: a non-empty argument text, without its double quotes, becomes the path
    // in Source; then the window is shown and the host table loaded. "--watch" before
    // the path starts it following the file (setWatching()).
    void start(const QString &argumentText);

    void setFailureReporter(FailureReporter reporter);

public slots:
    // Shows the host number typed in IP: address, host name and MAC of the first row
    // whose fourth octet reads the same. Empties IP.
    void lookup();
    // Rebuilds the host table from the file named in Source. On success the focus goes
    // to IP and repeated addresses are selected; on failure the rows read so far stay
    // and the scan failure message is shown, with the file and the cause below it.
    // Enter in Source, F5, Ctrl+O and dropping a file run it.
    void load();

    // Ctrl+C in the table: every selected row, in table order, one per line, as shown.
    void copyRows();
    // Selects the rows that repeat the address before them, as load does.
    void selectRepeatedRows();

    // Whether the file is read again whenever it changes (off unless asked for). The
    // rows read then keep the user's place, and rows of clients new since the file was
    // read first are marked; a failed read puts its cause in the title, not in a box.
    void setWatching(bool on);
    bool isWatching() const;
    // Takes the rows as they are now as those that are not new.
    void clearNewMarks();

    // F7: the findings of the reservation health check and the pools, in a window beside
    // this one, kept up to date with every read of the file while it is open.
    void showHealth();
    // Ctrl+F: the find box. F3 and Shift+F3 make the next (previous) row that matches its
    // text current, as `kelto-cli find` matches; the selection stays as it is.
    void showFind();
    void findMatch(bool backwards);
    // Makes the row current and brings it into view, leaving the selection alone.
    void showRow(qsizetype row);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void createControls();
    void createActions();
    void enterInIP();
    void followWindowSize();
    void showTableMenu(const QPoint &position);
    void copyField(QString kelto::HostFields::*field);
    void openFile();
    void loadPath(const QString &path);
    void readAgain();
    void readKeepingPlace(const QString &path);
    void markNewRows();
    kelto::ScanScope scanScope() const;
    void showHealthOf(const std::optional<kelto::ScanFailure> &failure, kelto::FileFacts &facts);

    // The controls, named as the administrator's documentation names them.
    QLabel *Label1 = nullptr;
    QLineEdit *IP = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Host = nullptr;
    QListView *Table = nullptr;
    QLabel *Result = nullptr;
    QLabel *Mypath = nullptr;
    QLineEdit *Source = nullptr;
    QLabel *mac = nullptr;

    HostTableModel *m_model = nullptr;
    FailureReporter m_reportFailure;
    QMenu *m_tableMenu = nullptr; // the table's context menu
    int m_menuRow = -1; // the row it was opened on, or -1

    QString m_loadedPath; // the file the rows come from
    HealthWindow *m_health = nullptr;
    FindBox *m_find = nullptr;
    FileWatch *m_watch = nullptr;
    QAction *m_watchAction = nullptr;
    // While watching: the table that new rows are told from, and when each new client
    // was first seen, by its name (kelto::clientName()).
    kelto::HostTable m_firstRead;
    QHash<QString, QTime> m_firstSeen;
};
