// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/untMain.h"

#include "commandline/commandline.h"
#include "console/countertools.h"
#include "console/dialogs.h"
#include "console/logo.h"
#include "console/plotmenu.h"
#include "console/portlistfacts.h"
#include "console/seriallinetools.h"
#include "console/userguide.h"
#include "console/windowtools.h"
#include "core/handover.h"
#include "platform/shell.h"
#include "serial/replug.h"
#include "serial/writewait.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScopedValueRollback>

#include <functional>
#include <utility>

#include <limits>

TfrmMain* frmMain = nullptr;
bool ManyTimesSerial = false;
bool ManyTimesUDP = false;

namespace {

// The fixed measures of the layout, in pixels at 96 dpi.
constexpr int kToolsHeight = 145;            // pnlTools, docked at the top
constexpr int kPanelBorder = 1;              // pnlLog's border, around grpbxLog
constexpr int kGroupBorder = 2;              // grpbxLog's border, around its children
constexpr int kGroupCaptionTop = 15;         // grpbxLog's first child starts under the caption
constexpr int kSplitterHeight = 3;           // Splitter1
constexpr int kToolBarHeight = 29;           // ToolBar1, docked at the bottom
constexpr int kSmallestLowerPaneHeight = 30; // what the splitter leaves mmLogRec at least
constexpr int kClientWidth = 759;            // the fixed controls' full width
constexpr int kFirstUpperPaneHeight = 162;   // mmLog's height until the splitter moves
constexpr int kFourLinesHeight = 60;         // mmLogRec four lines tall

// The layout is fixed in pixels for 11-pixel faces; the first family of the list found is used.
QFont LayoutFont(const QStringList& families, QFont::StyleHint hint) {
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(hint);
    font.setPixelSize(11);
    return font;
}

template <class W, class... Args>
W* Make(QWidget* parent, const char* name, QRect geometry, Args&&... args) {
    auto* widget = new W(parent, std::forward<Args>(args)...);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const char* caption, QRect geometry) {
    auto* group = Make<QGroupBox>(parent, name, geometry);
    group->setTitle(QString::fromLatin1(caption));
    return group;
}

// A payload edit line: QLineEdit cuts a longer text at 32767 characters without a word, so a long
// typed or pasted payload would be sent cut short.
QLineEdit* MakePayloadEdit(QWidget* parent, const char* name, QRect geometry) {
    auto* edit = Make<QLineEdit>(parent, name, geometry);
    edit->setMaxLength(std::numeric_limits<int>::max());
    return edit;
}

// A button or check box with its caption.
template <class W>
W* MakeCaptioned(QWidget* parent, const char* name, const char* caption, QRect geometry) {
    auto* widget = Make<W>(parent, name, geometry);
    widget->setText(QString::fromLatin1(caption));
    return widget;
}

// Runs action when the application is told to quit, before the application closes its windows.
class QuitWatch : public QObject {
public:
    QuitWatch(QObject* owner, std::function<void()> action)
        : QObject(owner), action_(std::move(action)) {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == qApp && event->type() == QEvent::Quit)
            action_();
        return false;
    }

private:
    std::function<void()> action_;
};

QFrame* MakePanel(QWidget* parent, const char* name) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    return panel;
}

} // namespace

TfrmMain::TfrmMain(Dialogs& dialogs)
    : dialogs_(dialogs), errors_(dialogs),
      guideAddress_(UserGuideAddress(QCoreApplication::applicationDirPath())),
      mmLogHeight_(kFirstUpperPaneHeight) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Corvane"));
    setWindowIcon(ProgramIcon());
    setFont(
        LayoutFont({"MS Sans Serif", "Liberation Sans", "Arimo", "DejaVu Sans"}, QFont::SansSerif));
    CreateControls();
    SetTabOrder();

    // At log-off or shutdown the desktop ends the program with a Quit event to the application,
    // after its save step: the program agrees to end without asking. The mark lasts only while
    // this close runs: a log-off that another program cancels sends no Quit, and a later close
    // asks again.
    new QuitWatch(this, [this] {
        const QScopedValueRollback ending(sessionEnding_, true);
        close();
    });

    frmMain = this;
    // The repeat flags belong to the window: a new one starts with its check boxes unchecked.
    ManyTimesSerial = false;
    ManyTimesUDP = false;
    FormCreate();
    tools_ = new TWindowTools(*this, dialogs_);
    serialLines_ = new TSerialLineTools(*this);
    counters_ = new TCounterTools(*this);
    // The first stop of the Tab order takes the focus when the window is first activated.
    cmbxBaudRate->setFocus();
}

TfrmMain::~TfrmMain() {
    tools_->EndFileSends(); // they write through the links and to the panes
    // The plot follows the lower pane's lines, and writes its place to the settings file.
    tools_->Plot()->Close();
    corvane::OnDeviceBack(nullptr);
    // Leaving does not close the port, but a write held back would keep the program waiting.
    corvane::EndSerialWrite();
    IdUDPServer1.reset();
    frmMain = nullptr;
}

void TfrmMain::CreateControls() {
    CreateMenu();
    client = new QWidget(this);
    setCentralWidget(client);
    client->setAutoFillBackground(true);
    pnlTools = MakePanel(client, "pnlTools");
    pnlLog = MakePanel(client, "pnlLog");
    client->installEventFilter(this);
    CreateLogGroup();
    imgLogo = Make<TImage>(pnlTools, "imgLogo", QRect(272, 16, 151, 32), LogoPicture());
    CreateSerialGroup();
    CreateUdpGroup();
    CreateSerialSendGroup();
    CreateComponents();
    BindHandlers();

    // Outer size 767 x 563 at 317, 180; the client area under the menu bar is 759 x 509.
    move(317, 180);
    resize(759, 509 + MainMenu1->sizeHint().height());
    // The window shrinks no further than the full width of the fixed controls, and a height that
    // leaves the lower pane four lines under the upper pane at its first height.
    client->setMinimumSize(kClientWidth, kToolsHeight + 2 * kPanelBorder + kGroupCaptionTop +
                                             kFirstUpperPaneHeight + kSplitterHeight +
                                             kFourLinesHeight + kToolBarHeight + kGroupBorder);
}

void TfrmMain::CreateMenu() {
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    About1 = MainMenu1->addAction(QStringLiteral("About"));
    About1->setObjectName(QStringLiteral("About1"));
    Exit1 = MainMenu1->addAction(QStringLiteral("Exit"));
    Exit1->setObjectName(QStringLiteral("Exit1"));
}

void TfrmMain::CreateLogGroup() {
    grpbxLog = MakeGroup(pnlLog, "grpbxLog", "Log", QRect(kPanelBorder, kPanelBorder, 757, 362));
    pnlLog->installEventFilter(this);
    // Placed by LayOutLogGroup, here and whenever the group's size changes.
    mmLog = Make<TLogPane>(grpbxLog, "mmLog", QRect());
    Splitter1 = Make<TSplitter>(
        grpbxLog, "Splitter1", QRect(), [this] { return mmLog->height(); },
        [this] { return LogGroupMaxTopHeight(); });
    ToolBar1 = Make<QFrame>(grpbxLog, "ToolBar1", QRect());
    btnClearLog = MakeCaptioned<TButton>(ToolBar1, "btnClearLog", "Clear", QRect(0, 2, 75, 22));
    mmLogRec = Make<TLogPane>(grpbxLog, "mmLogRec", QRect());
    LayOutLogGroup();
    QFont paneFont =
        LayoutFont({"Lucida Console", "Liberation Mono", "DejaVu Sans Mono"}, QFont::Monospace);
    // The panes hold hex lines that can run to megabytes; shaping them glyph by glyph, which
    // Latin text does not need, would cost far more than the reception they show.
    paneFont.setStyleStrategy(QFont::PreferNoShaping);
    mmLog->setFont(paneFont);
    mmLogRec->setFont(paneFont);
    // Both panes sit in the group "Log", whose caption a screen reader would give both: the
    // lower one is named for what it holds, and each says what comes into it.
    mmLog->setAccessibleName(QStringLiteral("Log"));
    mmLog->setAccessibleDescription(QStringLiteral("Events, errors and sent data"));
    mmLogRec->setAccessibleName(QStringLiteral("Received data"));
    mmLogRec->setAccessibleDescription(
        QStringLiteral("Data received from the serial port and over UDP"));
    grpbxLog->installEventFilter(this);
}

void TfrmMain::CreateSerialGroup() {
    grpbxComPort = MakeGroup(pnlTools, "grpbxComPort", "Serial port", QRect(8, 8, 257, 49));
    cmbxComPorts = Make<QComboBox>(grpbxComPort, "cmbxComPorts", QRect(8, 16, 73, 21));
    cmbxComPorts->installEventFilter(this);
    cmbxBaudRate = Make<QComboBox>(grpbxComPort, "cmbxBaudRate", QRect(88, 16, 65, 21));
    cmbxBaudRate->setEditable(true);
    cmbxBaudRate->setInsertPolicy(QComboBox::NoInsert);
    cmbxBaudRate->addItems(
        {"115200", "57600", "28800", "19200", "14400", "7200", "3600", "2400", "1200"});
    cmbxBaudRate->setCurrentIndex(3);
    shpComPortState =
        Make<TShape>(grpbxComPort, "shpComPortState", QRect(160, 18, 17, 17), TShape::kRed);
    btnOpenComPort =
        MakeCaptioned<TButton>(grpbxComPort, "btnOpenComPort", "Open", QRect(182, 14, 65, 25));
}

void TfrmMain::CreateUdpGroup() {
    grpbxSendToUDPPort = MakeGroup(pnlTools, "grpbxSendToUDPPort", "Send data  to UDP port",
                                   QRect(432, 8, 321, 129));
    grpbxUDP = MakeGroup(grpbxSendToUDPPort, "grpbxUDP", "UDP", QRect(8, 16, 249, 49));
    edtUDPPort = Make<QLineEdit>(grpbxUDP, "edtUDPPort", QRect(8, 14, 41, 21));
    edtUDPPort->setText(QStringLiteral("4001"));
    shpUDPPortState =
        Make<TShape>(grpbxUDP, "shpUDPPortState", QRect(56, 16, 17, 17), TShape::kRed);
    edtHost = Make<QLineEdit>(grpbxUDP, "edtHost", QRect(80, 12, 89, 21));
    chkbxOnlyFromThis = MakeCaptioned<QCheckBox>(grpbxUDP, "chkbxOnlyFromThis", "Only from this",
                                                 QRect(80, 32, 89, 15));
    chkbxOnlyFromThis->setToolTip(QStringLiteral("Receive packet only from this host"));
    btnOpenUDPPort =
        MakeCaptioned<TButton>(grpbxUDP, "btnOpenUDPPort", "Open", QRect(174, 12, 65, 25));
    edtUDPData = MakePayloadEdit(grpbxSendToUDPPort, "edtUDPData", QRect(8, 68, 305, 21));
    chkbxManyTimesUDP = MakeCaptioned<QCheckBox>(grpbxSendToUDPPort, "chkbxManyTimesUDP",
                                                 "Many Times", QRect(8, 96, 81, 17));
    spnedtSendTimeUDP =
        Make<TSpinEdit>(grpbxSendToUDPPort, "spnedtSendTimeUDP", QRect(96, 96, 65, 22), 600, 0, 0);
    spnedtSendTimeUDP->setEnabled(false);
    chkbxRawDataUDP = MakeCaptioned<QCheckBox>(grpbxSendToUDPPort, "chkbxRawDataUDP", "Raw data",
                                               QRect(168, 96, 65, 17));
    btnSendUDP =
        MakeCaptioned<TButton>(grpbxSendToUDPPort, "btnSendUDP", "Send", QRect(246, 96, 65, 25));
    btnSendUDP->setEnabled(false);
}

void TfrmMain::CreateSerialSendGroup() {
    grpbxSendToComPort = MakeGroup(pnlTools, "grpbxSendToComPort", "Send data  to serial port",
                                   QRect(8, 56, 417, 81));
    edtData = MakePayloadEdit(grpbxSendToComPort, "edtData", QRect(8, 20, 401, 21));
    chkbxManyTimes = MakeCaptioned<QCheckBox>(grpbxSendToComPort, "chkbxManyTimes", "Many Times",
                                              QRect(8, 48, 81, 17));
    spnedtSendTime =
        Make<TSpinEdit>(grpbxSendToComPort, "spnedtSendTime", QRect(104, 48, 65, 22), 700, 0, 0);
    spnedtSendTime->setEnabled(false);
    chkbxRawData = MakeCaptioned<QCheckBox>(grpbxSendToComPort, "chkbxRawData", "Raw data",
                                            QRect(208, 48, 65, 17));
    btnWriteToPort = MakeCaptioned<TButton>(grpbxSendToComPort, "btnWriteToPort", "Send",
                                            QRect(342, 48, 65, 25));
    btnWriteToPort->setEnabled(false);
}

void TfrmMain::CreateComponents() {
    tmrSendSerial = new TTimer(this);
    tmrSendSerial->setObjectName(QStringLiteral("tmrSendSerial"));
    tmrSendUDP = new TTimer(this);
    tmrSendUDP->setObjectName(QStringLiteral("tmrSendUDP"));
    IdUDPServer1 = std::make_unique<corvane::TIdUDPServer>();
    IdUDPServer1->SetDefaultPort(4001);
    IdUDPServer1->SetOnUDPRead(
        [this](corvane::TIdUDPServer& sender, corvane::Stream& data,
               corvane::TIdSocketHandle& binding) { IdUDPServer1UDPRead(sender, data, binding); });
    IdUDPServer1->SetOnUDPLoss([this](corvane::TIdUDPServer& sender, std::uint64_t lost) {
        IdUDPServer1UDPLoss(sender, lost);
    });
}

void TfrmMain::BindHandlers() {
    using Source = ErrorDisplay::Source;
    Bind(About1, &QAction::triggered, &TfrmMain::About1Click);
    Bind(Exit1, &QAction::triggered, &TfrmMain::Exit1Click);
    Bind(btnClearLog, &QPushButton::clicked, &TfrmMain::btnClearLogClick);
    Bind(imgLogo, &TImage::Click, &TfrmMain::imgLogoClick);
    connect(Splitter1, &TSplitter::Moved, this, [this](int height) {
        mmLogHeight_ = height;
        LayOutLogGroup();
    });
    Bind(btnOpenComPort, &QPushButton::clicked, &TfrmMain::btnOpenComPortClick);
    Bind(chkbxManyTimes, &QCheckBox::clicked, &TfrmMain::chkbxManyTimesClick);
    Bind(btnWriteToPort, &QPushButton::clicked, &TfrmMain::btnWriteToPortClick);
    Bind(tmrSendSerial, &TTimer::Timer, &TfrmMain::tmrSendSerialTimer, Source::Repeating);
    Bind(btnOpenUDPPort, &QPushButton::clicked, &TfrmMain::btnOpenUDPPortClick);
    Bind(chkbxManyTimesUDP, &QCheckBox::clicked, &TfrmMain::chkbxManyTimesUDPClick);
    Bind(btnSendUDP, &QPushButton::clicked, &TfrmMain::btnSendUDPClick);
    Bind(tmrSendUDP, &TTimer::Timer, &TfrmMain::tmrSendUDPTimer, Source::Repeating);
}

void TfrmMain::SetTabOrder() {
    // Siblings in the order of their Tab column, parents before their children.
    const QWidget* chain[] = {
        cmbxBaudRate, cmbxComPorts,      btnOpenComPort,  chkbxManyTimesUDP, spnedtSendTimeUDP,
        btnSendUDP,   edtUDPData,        chkbxRawDataUDP, btnOpenUDPPort,    edtUDPPort,
        edtHost,      chkbxOnlyFromThis, chkbxManyTimes,  spnedtSendTime,    btnWriteToPort,
        edtData,      chkbxRawData,      mmLog,           btnClearLog,       mmLogRec,
    };
    for (std::size_t i = 1; i < std::size(chain); ++i)
        setTabOrder(const_cast<QWidget*>(chain[i - 1]), const_cast<QWidget*>(chain[i]));
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == cmbxComPorts && event->type() == QEvent::ToolTip)
        UpdateComPortHint();
    if (event->type() == QEvent::Resize) {
        if (watched == client) {
            // pnlTools is docked at the top at a fixed height; pnlLog takes the rest.
            pnlTools->setGeometry(0, 0, client->width(), kToolsHeight);
            pnlLog->setGeometry(0, kToolsHeight, client->width(),
                                std::max(0, client->height() - kToolsHeight));
        } else if (watched == pnlLog) {
            grpbxLog->setGeometry(kPanelBorder, kPanelBorder,
                                  std::max(0, pnlLog->width() - 2 * kPanelBorder),
                                  std::max(0, pnlLog->height() - 2 * kPanelBorder));
        } else if (watched == grpbxLog) {
            LayOutLogGroup();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

int TfrmMain::LogGroupMaxTopHeight() const {
    // Room for the smallest lower pane, the splitter and the tool bar.
    return grpbxLog->height() - (kSmallestLowerPaneHeight + kSplitterHeight + kToolBarHeight);
}

void TfrmMain::LayOutLogGroup() {
    // Inside the group's caption and two-pixel border: mmLog keeps its height at the top, the
    // splitter sits under it, the tool bar at the bottom, and mmLogRec fills what is left.
    const int left = kGroupBorder;
    const int top = kGroupCaptionTop;
    const int width = std::max(0, grpbxLog->width() - 2 * kGroupBorder);
    const int bottom = grpbxLog->height() - kGroupBorder;
    // An upper pane made taller before the window was made smaller gives way to the lower pane.
    const int upper = std::clamp(mmLogHeight_, 0, std::max(0, LogGroupMaxTopHeight()));
    mmLog->setGeometry(left, top, width, upper);
    Splitter1->setGeometry(left, top + upper, width, kSplitterHeight);
    ToolBar1->setGeometry(left, bottom - kToolBarHeight, width, kToolBarHeight);
    const int recTop = top + upper + kSplitterHeight;
    mmLogRec->setGeometry(left, recTop, width, std::max(0, bottom - kToolBarHeight - recTop));
}

void TfrmMain::FormCreate() {
    // An 8-bit counter from 1 that stops when it wraps to 0: COM1 .. COM255, item i is port i + 1.
    for (std::uint8_t n = 1; n != 0; ++n)
        cmbxComPorts->addItem(QStringLiteral("COM%1").arg(n));
    cmbxComPorts->setCurrentIndex(0);
    portListFacts_ = new PortListFacts(cmbxComPorts);
    // A device back after a re-plug may be another adapter: the tooltips describe what is there.
    corvane::OnDeviceBack([this] { portListFacts_->Refresh(); });
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (sessionEnding_) {
        event->accept();
        return;
    }
    bool exit = false;
    errors_.Run(this, ErrorDisplay::Source::Event, [&] { exit = dialogs_.Confirm("Exit?"); });
    if (exit)
        event->accept();
    else
        event->ignore();
}

void TfrmMain::AddToLog(const corvane::ByteString& line, std::int64_t time) {
    mmLog->Append(line, time);
}

void TfrmMain::AddToLogRec(const corvane::ByteString& line, std::int64_t time) {
    AppendReceived(corvane::PlotLink::Serial, {}, line, time, {});
}

void TfrmMain::AppendReceived(corvane::PlotLink link, std::string_view sender,
                              const corvane::ByteString& line, std::int64_t time,
                              std::span<const std::string_view> bytes) {
    mmLogRec->Append(line, time);
    if (receivedTap_)
        receivedTap_(link, sender, {&line, 1}, {&time, 1}, bytes);
}

void TfrmMain::AddLinesToLogRec(std::span<const corvane::ByteString> lines,
                                std::span<const std::int64_t> times,
                                std::span<const std::string_view> bytes) {
    mmLogRec->Append(lines, times);
    if (receivedTap_)
        receivedTap_(corvane::PlotLink::Serial, {}, lines, times, bytes);
}

void TfrmMain::btnClearLogClick() {
    mmLog->Clear();
    mmLogRec->Clear();
}

void TfrmMain::About1Click() {
    dialogs_.ShowInformation("Corvane\r\nVersion " + std::string(corvane::ProgramVersion()) +
                                 ", written by the Corvane developers, licensed under " +
                                 corvane::kLicence + "\r\n" + guideAddress_ +
                                 "\r\nE-mail: developers@corvane.org",
                             [this](const corvane::ByteString& address) { ShellOpen(address); });
}

void TfrmMain::Exit1Click() {
    close();
}

void TfrmMain::imgLogoClick() {
    ShellOpen(guideAddress_);
}

void TfrmMain::ShellOpen(const corvane::ByteString& address) {
    // Whether a handler could be started is not reported: the link is a courtesy.
    WriteCarriedGuideFor(address);
    ShellExecuteA(reinterpret_cast<HWND>(winId()), "open", address.c_str(), nullptr, nullptr,
                  SW_SHOWNORMAL);
}
