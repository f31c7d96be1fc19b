#include "keltofrm.h"

#include "hosttablemodel.h"
#include "lookup.h"
#include "resizerule.h"
#include "scan.h"
#include "twips.h"

#include <QEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QScrollBar>

#include <limits>

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

protected:
    void updateGeometries() override
    {
        QListView::updateGeometries();
        horizontalScrollBar()->setRange(0, 0);
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

void showFailureBox(QWidget *window, const QString &message)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Kelto"), message, QMessageBox::Ok, window);
    box.exec();
}

} // namespace

const QString Keltofrm::ScanFailureMessage
    = QStringLiteral("Install in the DHCP directory\n"
                     "or make shortcut with path to the dhcpsrv.ini file\n"
                     "Expand window and enter dhcpsrv.ini path");

Keltofrm::Keltofrm(QWidget *parent)
    : QWidget(parent), m_model(new HostTableModel(this)), m_reportFailure(showFailureBox)
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
}

Keltofrm::~Keltofrm() = default;

void Keltofrm::createControls()
{
    Label1 = label(this, "Label1", Label1At, captionFont(), QStringLiteral("IP"));
    IP = place<QLineEdit>(this, "IP", IPAt, windowFont());
    IP->setAccessibleName(QStringLiteral("Host number"));
    Label2 = label(this, "Label2", Label2At, captionFont(), QStringLiteral("Host Name for"));
    Host = label(this, "Host", HostAt, outputFont());

    Table = place<HostTableView>(this, "Table", TableAt, tableFont());
    Table->setAccessibleName(QStringLiteral("Host table"));
    Table->setModel(m_model);
    Table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setUniformItemSizes(true);
    Table->setWordWrap(false);
    Table->setTextElideMode(Qt::ElideNone);
    Table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Table->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    Result = label(this, "Result", ResultAt, outputFont());
    Mypath = label(this, "Mypath", MypathAt, captionFont(), QStringLiteral("Ini path"));
    Source = place<QLineEdit>(this, "Source", SourceAt, windowFont());
    Source->setAccessibleName(QStringLiteral("Ini path"));
    Source->setMaxLength(std::numeric_limits<int>::max()); // a path of any length
    Source->setText(DefaultSource);
    mac = label(this, "mac", macAt, outputFont());

    // Labels never take the focus; it moves among IP, Table and Source, in that order.
    setTabOrder(IP, Table);
    setTabOrder(Table, Source);
    IP->setFocus();
}

void Keltofrm::start(const QString &argumentText)
{
    if (!argumentText.isEmpty())
        Source->setText(QString(argumentText).remove(u'"'));
    show();
    load();
}

void Keltofrm::setFailureReporter(FailureReporter reporter)
{
    m_reportFailure = std::move(reporter);
}

void Keltofrm::load()
{
    m_model->clear();
    kelto::ScanResult scan = kelto::scanFile(Source->text());
    const bool complete = scan.isComplete();
    m_model->setTable(std::move(scan.table));
    if (!complete) {
        m_reportFailure(this, ScanFailureMessage);
        return;
    }
    IP->setFocus();
    Table->selectionModel()->select(m_model->repeatedRows(), QItemSelectionModel::Select);
}

void Keltofrm::enterInIP()
{
    IP->setText(kelto::alignHostNumber(IP->text()));
    lookup();
}

void Keltofrm::lookup()
{
    const kelto::LookupResult found = kelto::lookup(m_model->table(), IP->text());
    Result->setText(found.shown.address);
    Host->setText(found.shown.hostName);
    mac->setText(found.shown.mac);
    IP->clear();
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
