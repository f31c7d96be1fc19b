#include "keltofrm.h"

#include "changes.h"
#include "commandline.h"
#include "filewatch.h"
#include "findbox.h"
#include "health.h"
#include "healthwindow.h"
#include "hosttablemodel.h"
#include "lookup.h"
#include "pools.h"
#include "resizerule.h"
#include "rowcolors.h"
#include "scan.h"
#include "search.h"
#include "twips.h"

#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QScrollBar>
#include <QWindow>

#include <limits>
#include <memory>
#include <new>

namespace {

// The layout, in twips from the top-left corner of the client area.
struct Placement
{
    int left, top, width, height;
    QRect pixels() const { return twips::toPixels(left, top, width, height); }
};

constexpr QSize ClientAtCreation(5460, 855);
constexpr Placement Label1At{240, 165, 255, 255};
constexpr Placement IPAt{720, 120, 495, 285};
constexpr Placement Label2At{1440, 165, 1335, 255};
constexpr Placement HostAt{1395, 495, 13095, 285};
constexpr Placement TableAt{240, 1200, 5175, 4860};
constexpr Placement ResultAt{2880, 120, 2520, 255};
constexpr Placement MypathAt{5640, 840, 690, 255};
constexpr Placement SourceAt{6600, 840, 4095, 375};
constexpr Placement macAt{5640, 120, 2520, 255};

constexpr QLatin1StringView DefaultSource("dhcpsrv.ini");

// Fonts by family. Where "MS Sans Serif" is not installed, a plain sans-serif of about
// its width takes its place, so that the captions fit their labels.
QFont sansSerif(qreal points, QFont::Weight weight)
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setWeight(weight);
    return font;
}

// The window's own font, which the text boxes keep.
QFont windowFont()
{
    return sansSerif(8.25, QFont::Normal);
}

// The captions "IP", "Host Name for" and "Ini path".
QFont captionFont()
{
    return sansSerif(9.75, QFont::Normal);
}

// What a lookup shows: Result, Host and mac.
QFont outputFont()
{
    return sansSerif(12, QFont::Bold);
}

// The host rows line up only in a fixed-pitch font. Font matching may resolve "Courier"
// to anything (on Windows, "Courier" and "Courier New" are not always usable fixed-pitch
// fonts), so the first family that really is fixed-pitch is taken, else the system's
// fixed font.
QFont tableFont()
{
    constexpr qreal Points = 12;
    for (const char *family : {"Courier", "Courier New", "Consolas", "Lucida Console",
                               "DejaVu Sans Mono", "Liberation Mono"}) {
        QFont font(QString::fromLatin1(family));
        font.setStyleHint(QFont::Monospace);
        font.setPointSizeF(Points);
        if (QFontInfo(font).fixedPitch())
            return font;
    }
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(Points);
    return font;
}

// A list that never scrolls sideways: what lies beyond its right edge is cut off.
class HostTableView : public QListView
{
public:
    using QListView::QListView;

    // What Ctrl+C does: the view's own copies only the current row.
    std::function<void()> copy;

protected:
    void updateGeometries() override
    {
        QListView::updateGeometries();
        horizontalScrollBar()->setRange(0, 0);
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->matches(QKeySequence::Copy) && copy) {
            copy();
            event->accept();
            return;
        }
        QListView::keyPressEvent(event);
    }
};

template <typename Control>
Control *place(QWidget *window, const char *name, const Placement &at, const QFont &font)
{
    auto *control = new Control(window);
    control->setObjectName(QLatin1StringView(name));
    control->setGeometry(at.pixels());
    control->setFont(font);
    return control;
}

QLabel *label(QWidget *window, const char *name, const Placement &at, const QFont &font,
              const QString &text = {})
{
    QLabel *control = place<QLabel>(window, name, at, font);
    // Host names are shown as they are, never read as markup.
    control->setTextFormat(Qt::PlainText);
    control->setText(text);
    return control;
}

// The scan failure message, modal to the window and centred on it. At start-up the
// window may not be mapped yet: the box waits for it (a few seconds at most), so that it
// does not appear in a corner of the screen.
void showFailureBox(QWidget *window, const QString &message)
{
    constexpr int MostWaitMs = 3000;
    QElapsedTimer waited;
    waited.start();
    while (window->isVisible() && window->windowHandle() && !window->windowHandle()->isExposed()
           && waited.elapsed() < MostWaitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Kelto"), message, QMessageBox::Ok, window);
    box.setWindowModality(Qt::WindowModal);
    box.exec();
}

// Whether there is memory left to lay out and show `rows` rows. Qt's views do not
// survive running out of memory (a list lays out a position per row, and the window
// needs its picture), so a table is handed to the view only when that much could be
// had; it is taken and given back at once.
bool roomToShow(qsizetype rows)
{
    constexpr qsizetype BytesPerRow = 32;
    constexpr qsizetype ForTheWindow = qsizetype(48) << 20;
    const std::unique_ptr<char[]> room(new (std::nothrow) char[size_t(ForTheWindow + rows * BytesPerRow)]);
    return room != nullptr;
}

// Reads the file at `path` for the window: the rows of a scan that ran out of memory, or
// that leave too little of it to show them, are dropped with their memory.
kelto::ScanResult scanForWindow(const QString &path, kelto::ScanScope scope)
{
    kelto::ScanResult scan;
    try {
        scan = kelto::scanFile(path, scope);
        if (!scan.failure && !roomToShow(scan.table.size()))
            scan.failure = kelto::ScanFailure::outOfMemory();
    } catch (const std::bad_alloc &) {
        scan.failure = kelto::ScanFailure::outOfMemory();
    }
    if (scan.failure && scan.failure->cause == kelto::ScanFailure::Cause::OutOfMemory)
        scan.table = {};
    return scan;
}

// A lookup's result in words, for a screen reader that stays in IP: the fields found, or
// that no client has the number typed; nothing for an empty lookup.
QString lookupResultText(const kelto::LookupResult &found, const QString &typed)
{
    if (found.row >= 0) {
        QStringList fields{found.shown.address, found.shown.hostName, found.shown.mac};
        fields.removeAll(QString());
        return fields.join(u' ');
    }
    const QString number = typed.trimmed();
    return number.isEmpty() ? QString() : QStringLiteral("no client with host number %1").arg(number);
}

// Restores the normal cursor on every way out of a scope, exceptions included.
class BusyCursor
{
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { restore(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
    void restore()
    {
        if (std::exchange(m_busy, false))
            QGuiApplication::restoreOverrideCursor();
    }

private:
    bool m_busy = true;
};

} // namespace

const QString Keltofrm::ScanFailureMessage
    = QStringLiteral("Install in the DHCP directory\n"
                     "or make shortcut with path to the dhcpsrv.ini file\n"
                     "Expand window and enter dhcpsrv.ini path");

Keltofrm::Keltofrm(QWidget *parent)
    : QWidget(parent), m_model(new HostTableModel(this)), m_reportFailure(showFailureBox),
      m_watch(new FileWatch(this))
{
    setObjectName(QStringLiteral("Keltofrm"));
    setWindowTitle(QStringLiteral("Kelto"));
    // The installed theme icon where there is one, else the same icon built in.
    setWindowIcon(QIcon::fromTheme(QStringLiteral("kelto"), QIcon(QStringLiteral(":/kelto.png"))));
    setFont(windowFont());
    resize(twips::toPixels(ClientAtCreation.width()), twips::toPixels(ClientAtCreation.height()));
    createControls();

    connect(IP, &QLineEdit::returnPressed, this, &Keltofrm::enterInIP);
    connect(Source, &QLineEdit::returnPressed, this, &Keltofrm::load);
    connect(m_watch, &FileWatch::changed, this, &Keltofrm::readAgain);
    createActions();
    setAcceptDrops(true);
}

Keltofrm::~Keltofrm() = default;

void Keltofrm::createControls()
{
    Label1 = label(this, "Label1", Label1At, captionFont(), QStringLiteral("IP"));
    IP = place<QLineEdit>(this, "IP", IPAt, windowFont());
    IP->setAccessibleName(QStringLiteral("Host number"));
    Label1->setBuddy(IP);
    Label2 = label(this, "Label2", Label2At, captionFont(), QStringLiteral("Host Name for"));
    Host = label(this, "Host", HostAt, outputFont());
    Host->setAccessibleDescription(QStringLiteral("Host name"));

    auto *table = place<HostTableView>(this, "Table", TableAt, tableFont());
    table->copy = [this] { copyRows(); };
    Table = table;
    Table->setAccessibleName(QStringLiteral("Host table"));
    Table->setModel(m_model);
    Table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setUniformItemSizes(true);
    Table->setWordWrap(false);
    Table->setTextElideMode(Qt::ElideNone);
    Table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Table->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    m_model->setMarkColor(rowcolors::sharedAddress(Table->palette()));
    m_model->setNewColor(rowcolors::newClient(Table->palette()));
    Table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Table, &QWidget::customContextMenuRequested, this, &Keltofrm::showTableMenu);

    Result = label(this, "Result", ResultAt, outputFont());
    Result->setAccessibleDescription(QStringLiteral("Address"));
    Mypath = label(this, "Mypath", MypathAt, captionFont(), QStringLiteral("Ini path"));
    Source = place<QLineEdit>(this, "Source", SourceAt, windowFont());
    Source->setAccessibleName(QStringLiteral("Ini path"));
    Source->setMaxLength(std::numeric_limits<int>::max()); // a path of any length
    Source->setText(DefaultSource);
    mac = label(this, "mac", macAt, outputFont());
    mac->setAccessibleDescription(QStringLiteral("MAC address"));

    // Labels never take the focus; it moves among IP, Table and Source, in that order.
    setTabOrder(IP, Table);
    setTabOrder(Table, Source);
    IP->setFocus();
}

void Keltofrm::start(const QString &argumentText)
{
    const commandline::StartUp startUp = commandline::readStartUp(argumentText);
    m_model->setVendorFolder(startUp.ouiDir);
    if (startUp.path)
        Source->setText(*startUp.path);
    show();
    load();
    if (startUp.watch)
        setWatching(true);
}

void Keltofrm::setFailureReporter(FailureReporter reporter)
{
    m_reportFailure = std::move(reporter);
}

void Keltofrm::createActions()
{
    const auto action = [this](const char *name, const QString &text,
                               const QList<QKeySequence> &keys, auto slot) {
        auto *a = new QAction(text, this);
        a->setObjectName(QLatin1StringView(name));
        a->setShortcuts(keys);
        connect(a, &QAction::triggered, this, slot);
        addAction(a);
        return a;
    };
    action("open", QStringLiteral("Open..."), QKeySequence::keyBindings(QKeySequence::Open),
           &Keltofrm::openFile);
    action("reload", QStringLiteral("Reload"), QKeySequence::keyBindings(QKeySequence::Refresh),
           &Keltofrm::load);
    // The platform's Quit, and Ctrl+Q where that is another key: a key bound twice to one
    // action would be ambiguous and do nothing.
    QList<QKeySequence> quit = QKeySequence::keyBindings(QKeySequence::Quit);
    if (!quit.contains(QKeySequence(Qt::CTRL | Qt::Key_Q)))
        quit << QKeySequence(Qt::CTRL | Qt::Key_Q);
    action("quit", QStringLiteral("Quit"), quit, &QWidget::close);
    QAction *health = action("health", QStringLiteral("Health and pools..."), {QKeySequence(Qt::Key_F7)},
                             &Keltofrm::showHealth);
    QAction *find = action("find", QStringLiteral("Find..."), QKeySequence::keyBindings(QKeySequence::Find),
                           &Keltofrm::showFind);
    action("findNext", QStringLiteral("Find next"), QKeySequence::keyBindings(QKeySequence::FindNext),
           [this] { findMatch(false); });
    action("findPrevious", QStringLiteral("Find previous"),
           QKeySequence::keyBindings(QKeySequence::FindPrevious), [this] { findMatch(true); });

    m_tableMenu = new QMenu(this);
    m_tableMenu->setObjectName(QStringLiteral("tableMenu"));
    const auto item = [this](const char *name, const QString &text, auto slot) {
        QAction *a = m_tableMenu->addAction(text, this, slot);
        a->setObjectName(QLatin1StringView(name));
    };
    item("copyRows", QStringLiteral("Copy rows"), &Keltofrm::copyRows);
    item("copyAddress", QStringLiteral("Copy address"),
         [this] { copyField(&kelto::HostFields::address); });
    item("copyHostName", QStringLiteral("Copy host name"),
         [this] { copyField(&kelto::HostFields::hostName); });
    item("copyMac", QStringLiteral("Copy MAC"), [this] { copyField(&kelto::HostFields::mac); });
    m_tableMenu->addSeparator();
    item("selectRepeated", QStringLiteral("Select repeated addresses"),
         &Keltofrm::selectRepeatedRows);
    m_tableMenu->addSeparator();
    m_watchAction = m_tableMenu->addAction(QStringLiteral("Read again when the file changes"));
    m_watchAction->setObjectName(QStringLiteral("watchFile"));
    m_watchAction->setCheckable(true);
    connect(m_watchAction, &QAction::toggled, this, &Keltofrm::setWatching);
    item("clearNewMarks", QStringLiteral("Clear new marks"), &Keltofrm::clearNewMarks);
    m_tableMenu->addSeparator();
    m_tableMenu->addAction(find);
    m_tableMenu->addAction(health);
}

void Keltofrm::showTableMenu(const QPoint &position)
{
    m_menuRow = Table->indexAt(position).row();
    const bool onRow = m_menuRow >= 0;
    for (const char *name : {"copyAddress", "copyHostName", "copyMac"})
        m_tableMenu->findChild<QAction *>(QLatin1StringView(name))->setEnabled(onRow);
    m_tableMenu->popup(Table->viewport()->mapToGlobal(position));
}

void Keltofrm::copyRows()
{
    QList<int> rows;
    for (const QModelIndex &index : Table->selectionModel()->selectedIndexes())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    QString text;
    for (const int row : rows)
        text += m_model->table().rowText(row) + u'\n';
    QGuiApplication::clipboard()->setText(text);
}

void Keltofrm::copyField(QString kelto::HostFields::*field)
{
    if (m_menuRow >= 0 && m_menuRow < m_model->rowCount())
        QGuiApplication::clipboard()->setText(kelto::fieldsOf(m_model->table().row(m_menuRow))
                                              .*field);
}

void Keltofrm::selectRepeatedRows()
{
    Table->selectionModel()->select(m_model->repeatedRows(), QItemSelectionModel::ClearAndSelect);
}

void Keltofrm::openFile()
{
    // Qt's file dialog remembers its last folder in Qt's own settings; Kelto stores nothing.
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open dhcpsrv.ini"), QFileInfo(Source->text()).absolutePath(),
        QStringLiteral("dhcpsrv.ini (dhcpsrv.ini);;INI files (*.ini);;All files (*)"));
    if (!path.isEmpty())
        loadPath(QDir::toNativeSeparators(path));
}

void Keltofrm::loadPath(const QString &path)
{
    Source->setText(path);
    load();
}

namespace {

// The one local file that a drag carries, or nothing.
QString droppedFile(const QMimeData *data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1
        || !data->urls().front().isLocalFile())
        return {};
    return QDir::toNativeSeparators(data->urls().front().toLocalFile());
}

} // namespace

void Keltofrm::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Keltofrm::dropEvent(QDropEvent *event)
{
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    loadPath(path);
}

void Keltofrm::load()
{
    BusyCursor busy;
    m_model->clear();
    m_loadedPath = Source->text();
    setWindowTitle(QStringLiteral("Kelto")); // a failure of this read is told in a box
    // Rows read until memory ran out leave too little of it to show them, or the box that
    // says so: the table stays empty, and its memory is given back first.
    kelto::ScanResult scan = scanForWindow(m_loadedPath, scanScope());
    const std::optional<kelto::ScanFailure> failure = std::move(scan.failure);
    try {
        m_model->setTable(std::move(scan.table));
        if (!failure)
            selectRepeatedRows();
    } catch (const std::bad_alloc &) {
        m_model->clear();
    }
    if (isWatching())
        setWatching(true); // the file named now, its rows as read now
    showHealthOf(failure, scan.facts);
    if (failure) {
        busy.restore();
        m_reportFailure(this, ScanFailureMessage + u'\n'
                                  + QStringLiteral("%1: %2").arg(Source->text(),
                                                                 failure->description()));
        return;
    }
    IP->setFocus();
}

bool Keltofrm::isWatching() const
{
    return m_watch->isWatching();
}

void Keltofrm::setWatching(bool on)
{
    const QSignalBlocker quiet(m_watchAction);
    m_watchAction->setChecked(on);
    setWindowTitle(QStringLiteral("Kelto"));
    if (on) {
        m_watch->watch(Source->text());
        clearNewMarks();
    } else {
        m_watch->stop();
        m_firstRead = {};
        m_firstSeen.clear();
        m_model->setNewRows({});
    }
}

void Keltofrm::clearNewMarks()
{
    m_firstRead = m_model->table();
    m_firstSeen.clear();
    m_model->setNewRows({});
}

void Keltofrm::readAgain()
{
    // The file followed, whatever is being typed in Source meanwhile.
    readKeepingPlace(m_watch->path());
}

void Keltofrm::readKeepingPlace(const QString &path)
{
    // The user's place, by client: rows may have come and gone above it.
    const kelto::HostTable &table = m_model->table();
    const QModelIndex current = Table->currentIndex();
    const QModelIndex top = Table->indexAt(QPoint(0, 0));
    const QString currentClient = current.isValid() ? kelto::clientName(table, current.row()) : QString();
    const QString topClient = top.isValid() ? kelto::clientName(table, top.row()) : QString();
    const int scrolled = Table->verticalScrollBar()->value();

    BusyCursor busy;
    kelto::ScanResult scan = scanForWindow(path, scanScope());
    if (scan.failure) {
        showHealthOf(scan.failure, scan.facts);
        // Told in the title, which stays until a read succeeds: a box would come back
        // with every change of a file that cannot be read.
        setWindowTitle(QStringLiteral("Kelto - read failed: %1").arg(scan.failure->description()));
        return;
    }
    setWindowTitle(QStringLiteral("Kelto"));
    m_model->setTable(std::move(scan.table));
    selectRepeatedRows();
    if (isWatching())
        markNewRows();
    // The health window's rows are those of the table now shown.
    showHealthOf(std::nullopt, scan.facts);
    const kelto::HostTable &now = m_model->table();
    if (const auto row = currentClient.isEmpty() ? std::nullopt : kelto::findClient(now, currentClient))
        Table->selectionModel()->setCurrentIndex(m_model->index(int(*row)), QItemSelectionModel::NoUpdate);
    if (const auto row = topClient.isEmpty() ? std::nullopt : kelto::findClient(now, topClient))
        Table->scrollTo(m_model->index(int(*row)), QAbstractItemView::PositionAtTop);
    else
        Table->verticalScrollBar()->setValue(scrolled);
}

void Keltofrm::markNewRows()
{
    const kelto::HostTable &table = m_model->table();
    const QTime now = QTime::currentTime();
    QHash<int, QTime> rows;
    QHash<QString, QTime> seen; // a client that left and came back is new from its return
    for (const qsizetype row : kelto::addedClients(m_firstRead, table)) {
        const QString client = kelto::clientName(table, row);
        const QTime at = m_firstSeen.value(client, now);
        seen.insert(client, at);
        rows.insert(int(row), at);
    }
    m_firstSeen = std::move(seen);
    m_model->setNewRows(std::move(rows));
}

void Keltofrm::enterInIP()
{
    IP->setText(kelto::alignHostNumber(IP->text()));
    lookup();
}

void Keltofrm::lookup()
{
    const QString typed = IP->text();
    const kelto::LookupResult found = kelto::lookup(m_model->table(), typed);
    Result->setText(found.shown.address);
    Host->setText(found.shown.hostName);
    mac->setText(found.shown.mac);
    IP->clear();
    IP->setAccessibleDescription(lookupResultText(found, typed));
    if (found.row < 0)
        return;
    // The found row comes into view as the current row; the selection stays as it is.
    const QModelIndex index = m_model->index(int(found.row));
    Table->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    Table->scrollTo(index);
}

void Keltofrm::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    followWindowSize();
}

void Keltofrm::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        followWindowSize();
    if (event->type() == QEvent::PaletteChange && m_model) {
        m_model->setMarkColor(rowcolors::sharedAddress(Table->palette()));
        m_model->setNewColor(rowcolors::newClient(Table->palette()));
    }
}

void Keltofrm::followWindowSize()
{
    const std::optional<QSizeF> size = resizerule::tableSize(
        isMinimized(), twips::fromPixels(frameGeometry().size()), twips::fromPixels(this->size()));
    if (size)
        Table->setGeometry(
            QRect(TableAt.pixels().topLeft(),
                  QSize(twips::toPixels(size->width()), twips::toPixels(size->height()))));
}

kelto::ScanScope Keltofrm::scanScope() const
{
    // The facts of the health check only while its window is open: they cost time.
    return m_health && m_health->isVisible() ? kelto::ScanScope::TableAndFacts : kelto::ScanScope::Table;
}

void Keltofrm::showHealth()
{
    if (!m_health) {
        m_health = new HealthWindow(Table->font(), this);
        connect(m_health, &HealthWindow::rowActivated, this, &Keltofrm::showRow);
        // Beside the window, where the screen leaves room.
        m_health->move(frameGeometry().topRight() + QPoint(8, 0));
    }
    const bool wasShown = m_health->isVisible();
    m_health->show();
    m_health->raise();
    m_health->activateWindow();
    if (!wasShown)
        readKeepingPlace(m_loadedPath); // with the facts the check needs
}

void Keltofrm::showHealthOf(const std::optional<kelto::ScanFailure> &failure, kelto::FileFacts &facts)
{
    if (!m_health || !m_health->isVisible())
        return;
    if (failure) {
        m_health->showFailure(failure->description());
        return;
    }
    const kelto::HostTable &table = m_model->table();
    const kelto::PoolsReport pools = kelto::reportPools(facts, table, QDateTime::currentSecsSinceEpoch());
    m_health->showReports(table, kelto::checkHealth(table, facts), pools);
}

void Keltofrm::showRow(qsizetype row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    // Current and in view; the selection stays as it is.
    const QModelIndex index = m_model->index(int(row));
    Table->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    Table->scrollTo(index);
}

void Keltofrm::showFind()
{
    if (!m_find) {
        m_find = new FindBox(this);
        connect(m_find, &FindBox::findNext, this, [this] { findMatch(false); });
        connect(m_find, &FindBox::findPrevious, this, [this] { findMatch(true); });
    }
    m_find->show();
    m_find->raise();
    m_find->activateWindow();
}

void Keltofrm::findMatch(bool backwards)
{
    if (!m_find || m_find->text().isEmpty()) {
        showFind();
        return;
    }
    const kelto::HostSearch search(QStringList{m_find->text()});
    const QModelIndex current = Table->currentIndex();
    const auto match = kelto::nextMatch(m_model->table(), search, current.isValid() ? current.row() : -1,
                                        backwards);
    if (!match) {
        m_find->setStatus(QStringLiteral("no match"));
        return;
    }
    showRow(match->row);
    m_find->setStatus(!match->wrapped ? QString()
                      : backwards     ? QStringLiteral("went on from the last row")
                                      : QStringLiteral("went on from the first row"));
}
