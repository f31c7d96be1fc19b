#pragma once

#include <QWidget>

#include <functional>

class HostTableModel;
class QLabel;
class QLineEdit;
class QListView;

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
    // in Source; then the window is shown and the host table loaded.
    void start(const QString &argumentText);

    void setFailureReporter(FailureReporter reporter);

public slots:
    // Shows the host number typed in IP: address, host name and MAC of the first row
    // whose fourth octet reads the same. Empties IP.
    void lookup();
    // Rebuilds the host table from the file named in Source. On success the focus goes
    // to IP and repeated addresses are selected; on failure the rows read so far stay
    // and the scan failure message is shown.
    void load();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void createControls();
    void enterInIP();
    void followWindowSize();

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
};
