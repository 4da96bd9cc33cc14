#include "app/desktop/MainDialog.h"

#include "app/desktop/LDictationCommands.h"
#include "app/desktop/LTransport.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LDateTime.h"
#include "foundation/LPath.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"
#include "sound/LSoundTime.h"
#include "ui/LDBDisplay.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFrame>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {

constexpr int kIdRole = Qt::UserRole;
constexpr int kImageRole = Qt::UserRole + 1;
constexpr int kSortRole = Qt::UserRole + 2;

constexpr int kColumnWidths[] = { 120, 90, 70, 58, 70 };

// Status bar texts shown in turn while no send is reported.
const char* const kRotation[] = {
    "Tavrine Dictate - Orvane",
    "Press F5 to record and F9 to play back",
    "Ctrl+S sends the dictation to your typist",
    "tavrine-cli works with the same dictations from scripts",
};

struct WebLink {
    int nId;
    const char* szText;
    const char* szUrl;
};
const WebLink kWebLinks[] = {
    { 9010, "Tavrine Dictate Home Page", "https://www.orvane.com/tavrine/" },
    { 9011, "Support and Questions", "https://www.orvane.com/support/" },
};

// Menu items that act on the current dictation.
const int kNeedCurrent[] = { 1002, 1003, 1004, 1005, 1041, 1042, 1043, 1044, 1045, 1046, 2002, 2003, 2011, 2012, 2013,
    2021, 2022, 2023, 2024, 2054 };

class DictationRow : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;

    bool operator<(const QTreeWidgetItem& other) const override
    {
        int nColumn = treeWidget() ? treeWidget()->sortColumn() : 0;
        QVariant a = data(nColumn, kSortRole);
        QVariant b = other.data(nColumn, kSortRole);
        int nOrder = 0;
        if (a.typeId() == QMetaType::LongLong && b.typeId() == QMetaType::LongLong) {
            qlonglong x = a.toLongLong(), y = b.toLongLong();
            nOrder = x < y ? -1 : (x > y ? 1 : 0);
        } else {
            nOrder = QString::compare(text(nColumn), other.text(nColumn), Qt::CaseInsensitive);
            if (nOrder == 0)
                nOrder = QString::localeAwareCompare(text(nColumn), other.text(nColumn));
        }
        if (nOrder != 0)
            return nOrder < 0;
        return data(0, kIdRole).toInt() < other.data(0, kIdRole).toInt();
    }
};

QIcon PaintIcon(int nSize, const std::function<void(QPainter&)>& draw)
{
    QPixmap pixmap(nSize, nSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(nSize / 16.0, nSize / 16.0);
    draw(painter);
    return QIcon(pixmap);
}

QIcon DictationIcon(bool bAttachment)
{
    return PaintIcon(16, [bAttachment](QPainter& p) {
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(QColor(250, 250, 245));
        p.drawRect(QRectF(2.5, 1.5, 10, 13));
        p.setPen(QPen(QColor(31, 95, 139), 1.2));
        for (double y = 5; y < 13; y += 2.5)
            p.drawLine(QPointF(4.5, y), QPointF(10.5, y));
        if (bAttachment) {
            p.setPen(QPen(QColor(200, 40, 40), 1.6));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(QRectF(10, 6, 4.5, 9), 2, 2);
        }
    });
}

enum class Glyph { Play, Record, Stop, GoStart, Rewind, FastForward, GoEnd, New, Send, Dock };

QIcon GlyphIcon(Glyph glyph)
{
    return PaintIcon(32, [glyph](QPainter& p) {
        QColor ink(40, 40, 40);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        auto triangle = [&](double x, double dir) {
            QPainterPath path;
            path.moveTo(x, 4);
            path.lineTo(x + 6 * dir, 8);
            path.lineTo(x, 12);
            path.closeSubpath();
            p.drawPath(path);
        };
        switch (glyph) {
        case Glyph::Play:
            triangle(5, 1.3);
            break;
        case Glyph::Record:
            p.setBrush(QColor(210, 30, 30));
            p.drawEllipse(QRectF(4, 4, 8, 8));
            break;
        case Glyph::Stop:
            p.drawRect(QRectF(4.5, 4.5, 7, 7));
            break;
        case Glyph::GoStart:
            p.drawRect(QRectF(3, 4, 1.5, 8));
            triangle(11, -1);
            break;
        case Glyph::Rewind:
            triangle(8, -1);
            triangle(13, -1);
            break;
        case Glyph::FastForward:
            triangle(3, 1);
            triangle(8, 1);
            break;
        case Glyph::GoEnd:
            triangle(5, 1);
            p.drawRect(QRectF(11.5, 4, 1.5, 8));
            break;
        case Glyph::New:
            p.setPen(QPen(ink, 1));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(3.5, 1.5, 9, 13));
            p.setPen(QPen(QColor(31, 140, 60), 2));
            p.drawLine(QPointF(8, 5), QPointF(8, 11));
            p.drawLine(QPointF(5, 8), QPointF(11, 8));
            break;
        case Glyph::Send: {
            p.setBrush(QColor(31, 95, 139));
            QPainterPath path;
            path.moveTo(1.5, 7);
            path.lineTo(14.5, 2);
            path.lineTo(10, 14);
            path.lineTo(7.5, 9);
            path.closeSubpath();
            p.drawPath(path);
            break;
        }
        case Glyph::Dock:
            p.drawRoundedRect(QRectF(5, 1.5, 6, 10), 1.5, 1.5);
            p.drawRect(QRectF(2, 12, 12, 2.5));
            break;
        }
    });
}

} // namespace

QIcon MainDialog::AppIcon()
{
    QIcon icon;
    for (int nSize : { 16, 32, 64 })
        icon.addPixmap(PaintIcon(nSize, [](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(31, 95, 139));
            p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
            p.setBrush(QColor(242, 242, 242));
            p.drawRoundedRect(QRectF(5.75, 2.5, 4.5, 7.5), 2.25, 2.25);
            p.setPen(QPen(QColor(242, 242, 242), 1));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(4, 3.5, 8, 8), 180 * 16, 180 * 16);
            p.drawLine(QPointF(8, 11.5), QPointF(8, 13.5));
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(224, 58, 58));
            p.drawEllipse(QRectF(10.5, 2.5, 3, 3));
        }).pixmap(nSize));
    return icon;
}

MainDialog::MainDialog(LDictationEngineSettings& engine, LMainLoop& loop, LSendStatusSource* pQueue, QWidget* parent)
    : QMainWindow(parent)
    , m_engine(engine)
    , m_loop(loop)
    , m_pQueue(pQueue)
{
    m_pNotify = std::make_unique<Notify>(m_loop, *this);
    InitDialog();
}

MainDialog::~MainDialog()
{
    DestroyDialog();
}

void MainDialog::InitDialog()
{
    setWindowTitle(QStringLiteral("Tavrine Dictate"));
    setObjectName(QStringLiteral("MainDialog"));
    setWindowIcon(AppIcon());
    m_rowImages[0] = DictationIcon(false);
    m_rowImages[1] = DictationIcon(true);

    m_nDividerY = GetSettingInt("MainWindow", "NotesDividerY", 200);
    CreateToolBar();
    CreateMenus();
    m_pCommands = std::make_unique<LDictationCommands>(*this);

    auto* pCentral = new QWidget(this);
    auto* pLayout = new QVBoxLayout(pCentral);
    pLayout->setContentsMargins(2, 2, 2, 2);
    pLayout->setSpacing(3);

    m_pSplitter = new QSplitter(Qt::Vertical, pCentral);
    m_pSplitter->setChildrenCollapsible(false);
    m_pSplitter->setHandleWidth(5);
    m_pList = new QTreeWidget(m_pSplitter);
    m_pList->setColumnCount(kColumnCount);
    m_pList->setHeaderLabels({ "Dictation", "Date", "Time", "Dur", "Priority", "Notes" });
    m_pList->setRootIsDecorated(false);
    m_pList->setUniformRowHeights(true);
    m_pList->setAllColumnsShowFocus(true);
    m_pList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    m_pList->setContextMenuPolicy(Qt::CustomContextMenu);
    m_pList->setToolTip(QStringLiteral("List of current dictations"));
    for (int i = 0; i < kColNotes; ++i)
        m_pList->setColumnWidth(i, kColumnWidths[i]);
    // The last column takes what the other five leave of the list's width.
    m_pList->header()->setStretchLastSection(true);
    m_pList->header()->setSectionsClickable(true);
    m_pList->header()->setSortIndicatorShown(true);
    m_pList->header()->setSortIndicator(m_nSortColumn, Qt::AscendingOrder);
    // Small minimums, so that the window can shrink into its compact form.
    m_pList->setMinimumSize(60, 12);
    m_pNotes = new QPlainTextEdit(m_pSplitter);
    m_pNotes->setMinimumSize(60, 12);
    m_pNotes->setToolTip(QStringLiteral("Notes about the current dictation"));
    m_pNotes->setPlaceholderText(QStringLiteral("Notes"));
    m_pSplitter->addWidget(m_pList);
    m_pSplitter->addWidget(m_pNotes);
    m_pSplitter->setStretchFactor(0, 1);
    m_pSplitter->setStretchFactor(1, 1);
    m_pSplitter->installEventFilter(this);
    pLayout->addWidget(m_pSplitter, 1);
    pLayout->addWidget(CreateTransport());
    setCentralWidget(pCentral);

    m_pStatusLabel = new QLabel(this);
    m_pStatusLabel->setToolTip(QStringLiteral("Click for more information"));
    m_pStatusLabel->installEventFilter(this);
    statusBar()->addWidget(m_pStatusLabel, 1);
    statusBar()->setSizeGripEnabled(true);
    m_controls[kIdList] = m_pList;
    m_controls[kIdNotes] = m_pNotes;
    m_controls[kIdStatusBar] = statusBar();

    connect(m_pList, &QTreeWidget::itemSelectionChanged, this, &MainDialog::InitCurrentDictation);
    connect(m_pList, &QTreeWidget::itemChanged, this, &MainDialog::OnItemChanged);
    connect(m_pList, &QTreeWidget::customContextMenuRequested, this, &MainDialog::OnContextMenu);
    connect(m_pList->header(), &QHeaderView::sectionClicked, this, &MainDialog::OnHeaderClicked);
    connect(m_pList, &QTreeWidget::itemDoubleClicked, this, [this] {
        SetPosition(0);
        m_pTransport->CmPlay();
    });
    connect(m_pNotes, &QPlainTextEdit::textChanged, this, &MainDialog::OnNotesChanged);
    connect(m_pSplitter, &QSplitter::splitterMoved, this, &MainDialog::OnSplitterMoved);

    m_notesTimer.setSingleShot(true);
    connect(&m_notesTimer, &QTimer::timeout, this, &MainDialog::SaveCurrentDictationNote);
    m_statusTimer.setSingleShot(true);
    connect(&m_statusTimer, &QTimer::timeout, this, &MainDialog::OnStatusTimer);

    m_bViewNotes = GetSettingBool("Settings", "ViewNotes", true);
    m_pNotes->setVisible(m_bViewNotes);
    m_actions[6004]->setChecked(m_bViewNotes);
    bool bTopMost = GetSettingBool("Settings", "TopMost", false);
    m_actions[6031]->setChecked(bTopMost);
    setWindowFlag(Qt::WindowStaysOnTopHint, bTopMost);
    int nSpeed = std::clamp(GetSettingInt("Settings", "PlaySpeed", 1), 0, 2);
    m_actions[2011 + nSpeed]->setChecked(true);
    int nMode = std::clamp(GetSettingInt("Settings", "RecordMode", kRecordOverwrite), 0, 2);
    m_actions[2043 - nMode]->setChecked(true);
    m_pTransport = std::make_unique<LTransport>(*this, m_loop);
    m_pTransport->ConnectControls();
    for (int nId : { 2001, 2002, 2003, 2011, 2012, 2013, 2021, 2022, 2023, 2024, 2031, 2032, 2033, 2041, 2042, 2043 }) {
        m_available.push_back(nId);
        m_actions[nId]->setEnabled(true);
    }

    PlaceWindow();
    ListDictations();

    m_statusTimer.start(1000);
    if (m_pQueue && m_engine.IsUsable())
        m_pQueue->Start(FilePathCat(m_engine.GetSentFolder(), "sending.dat"), m_pNotify->GetNotifier());
}

void MainDialog::CreateToolBar()
{
    m_pToolBar = addToolBar(QStringLiteral("Tools"));
    m_pToolBar->setMovable(false);
    m_pToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_pToolBar->setIconSize(QSize(24, 24));
    QAction* pNew = m_pToolBar->addAction(GlyphIcon(Glyph::New), QStringLiteral("New"));
    pNew->setToolTip(QStringLiteral("Start a new dictation (Ctrl+N)"));
    connect(pNew, &QAction::triggered, this, [this] { Command(101); });
    m_actions[101] = pNew;

    auto makeDrop = [this](int nId, Glyph glyph, const QString& text, const QString& tip) {
        auto* pButton = new QToolButton(m_pToolBar);
        auto* pAction = new QAction(GlyphIcon(glyph), text, pButton);
        pAction->setToolTip(tip);
        pAction->setEnabled(false);
        pButton->setDefaultAction(pAction);
        pButton->setPopupMode(QToolButton::MenuButtonPopup);
        pButton->setMenu(new QMenu(pButton));
        pButton->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        connect(pAction, &QAction::triggered, this, [this, nId] { Command(nId); });
        m_actions[nId] = pAction;
        return pButton;
    };
    m_pSendButton = makeDrop(
        102, Glyph::Send, QStringLiteral("Send"), QStringLiteral("Send dictation for transcription (Ctrl+S)"));
    m_pToolBar->addWidget(m_pSendButton);
    m_pToolBar->addSeparator();
    m_pToolBar->addWidget(makeDrop(300, Glyph::Dock, QStringLiteral("Dock"),
        QStringLiteral("Transfer dictation from Portable Recorder (Ctrl+D)")));
}

QAction* MainDialog::AddCommand(QMenu* pMenu, int nId, const QString& text, bool bAvailable)
{
    QString label = text;
    QString shortcut;
    if (int nTab = text.indexOf('\t'); nTab >= 0) {
        label = text.left(nTab);
        shortcut = text.mid(nTab + 1);
    }
    QAction* pAction = pMenu->addAction(label);
    if (!shortcut.isEmpty())
        pAction->setShortcut(QKeySequence(shortcut));
    pAction->setEnabled(bAvailable);
    connect(pAction, &QAction::triggered, this, [this, nId] { Command(nId); });
    m_actions[nId] = pAction;
    if (bAvailable)
        m_available.push_back(nId);
    return pAction;
}

void MainDialog::CreateMenus()
{
    QMenu* pDictation = menuBar()->addMenu(QStringLiteral("&Dictation"));
    AddCommand(pDictation, 1001, "&New\tCtrl+N", true);
    AddCommand(pDictation, 1002, "&Send (Default Recipient)\tCtrl+S", false);
    AddCommand(pDictation, 1003, "Send... (Select Recipient)\tCtrl+R", false);
    AddCommand(pDictation, 1044, "Save As...", false);
    pDictation->addSeparator();
    AddCommand(pDictation, 1004, "&Rename\tF2", true);
    AddCommand(pDictation, 1005, "&Delete\tCtrl+Del", false);
    pDictation->addSeparator();
    AddCommand(pDictation, 1041, "Set High Priority", false);
    AddCommand(pDictation, 1042, "Set Normal Priority", false);
    AddCommand(pDictation, 1043, "Set Low Priority", false);
    pDictation->addSeparator();
    AddCommand(pDictation, 1045, "Attach File(s)...\tCtrl+H", false);
    AddCommand(pDictation, 1046, "Open Attachment List", false);
    pDictation->addSeparator();
    QMenu* pDock = pDictation->addMenu(QStringLiteral("Transfer from Portable (Dock)"));
    AddCommand(pDock, 1011, "Audio Cable Method", false);
    AddCommand(pDock, 1012, "Audio File Transfer Method", false);
    AddCommand(pDictation, 1051, "Load Audio File...", false);
    AddCommand(pDictation, 1052, "Load and Send Audio File...", false);
    pDictation->addSeparator();
    AddCommand(pDictation, 1021, "View Sent Work Progress...\tCtrl+W", false);
    AddCommand(pDictation, 1022, "Rec&over Sent Dictations...\tCtrl+O", false);
    pDictation->addSeparator();
    AddCommand(pDictation, 1099, "E&xit\tAlt+F4", true);

    QMenu* pEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
    AddCommand(pEdit, 2051, "Undo\tCtrl+Z", false);
    AddCommand(pEdit, 2053, "Redo", false);
    pEdit->addSeparator();
    AddCommand(pEdit, 2054, "Edit with Zantor", false);

    QMenu* pControl = menuBar()->addMenu(QStringLiteral("&Control"));
    AddCommand(pControl, 2001, "&Record\tF5", false);
    AddCommand(pControl, 2031, "Record Overwrite\tCtrl+F5", false);
    AddCommand(pControl, 2032, "Record Insert\tIns", false);
    AddCommand(pControl, 2033, "Record at End\tShift+F5", false);
    QMenu* pMode = pControl->addMenu(QStringLiteral("Default Record Mode"));
    auto* pModes = new QActionGroup(this);
    for (auto [nId, text] : { std::pair { 2041, "Record Overwrite" }, std::pair { 2042, "Record Insert" },
             std::pair { 2043, "Record at End" } }) {
        QAction* pAction = AddCommand(pMode, nId, text, false);
        pAction->setCheckable(true);
        pModes->addAction(pAction);
    }
    pControl->addSeparator();
    AddCommand(pControl, 2002, "&Play\tF9", false);
    auto* pSpeeds = new QActionGroup(this);
    for (auto [nId, text] : { std::pair { 2012, "Play Normal Speed\tF10" }, std::pair { 2011, "Play Slow Speed\tF11" },
             std::pair { 2013, "Play Fast Speed\tF12" } }) {
        QAction* pAction = AddCommand(pControl, nId, text, false);
        pAction->setCheckable(true);
        pSpeeds->addAction(pAction);
    }
    AddCommand(pControl, 2003, "&Stop\tEsc", false);
    pControl->addSeparator();
    AddCommand(pControl, 2021, "Go To Start\tHome", false);
    AddCommand(pControl, 2022, "Rewind\tF7", false);
    AddCommand(pControl, 2023, "Fast Forward\tF8", false);
    AddCommand(pControl, 2024, "Go To End\tEnd", false);

    QMenu* pView = menuBar()->addMenu(QStringLiteral("&View"));
    AddCommand(pView, 6004, "Show &Dictation Notes", true)->setCheckable(true);
    AddCommand(pView, 6031, "Always on &Top", true)->setCheckable(true);

    QMenu* pSettings = menuBar()->addMenu(QStringLiteral("&Settings"));
    AddCommand(pSettings, 3001, "Hardware Settings...", false);
    AddCommand(pSettings, 3002, "Recipient Send Settings...", false);
    AddCommand(pSettings, 3003, "User Settings...", false);

    QMenu* pHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    AddCommand(pHelp, 9001, "&Help Contents\tF1", false);
    QMenu* pLinks = pHelp->addMenu(QStringLiteral("&Internet Resources"));
    for (const WebLink& link : kWebLinks)
        AddCommand(pLinks, link.nId, link.szText, true);
    pHelp->addSeparator();
    AddCommand(pHelp, 9002, "&About...", true);

    for (QMenu* pMenu : { pDictation, pEdit, pControl })
        connect(pMenu, &QMenu::aboutToShow, this, &MainDialog::EnableMainMenu);

    m_pContextMenu = new QMenu(this);
    for (int nId : { 1001, 1002, 1003, 1004, 1005, 1041, 1042, 1043, 1044, 1045, 1046, 2051, 2053, 2054 })
        m_pContextMenu->addAction(m_actions[nId]);
    connect(m_pContextMenu, &QMenu::aboutToShow, this, &MainDialog::EnableMainMenu);
}

QWidget* MainDialog::CreateTransport()
{
    m_pControlFrame = new QFrame(this);
    m_pControlFrame->setFrameShape(QFrame::StyledPanel);
    m_pControlFrame->setAccessibleName(QStringLiteral("Control"));
    auto* pGrid = new QGridLayout(m_pControlFrame);
    pGrid->setContentsMargins(2, 2, 2, 2);
    pGrid->setSpacing(2);
    m_controls[kIdControlFrame] = m_pControlFrame;

    m_pLevel = new LDBDisplay(m_pControlFrame);
    m_pLevel->setFixedHeight(14);
    m_pPositionBar = new QScrollBar(Qt::Horizontal, m_pControlFrame);
    m_pPositionBar->setRange(0, 100);
    m_pPositionText = new QLabel(m_pControlFrame);
    QFont font(QStringLiteral("Monospace"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(16);
    m_pPositionText->setFont(font);
    m_pPositionText->setAlignment(Qt::AlignCenter);
    pGrid->addWidget(m_pLevel, 0, 1, 1, 2);
    pGrid->addWidget(m_pPositionBar, 0, 3, 1, 2);
    pGrid->addWidget(m_pPositionText, 0, 5, 1, 2);
    m_controls[kIdLevel] = m_pLevel;
    m_controls[kIdPositionBar] = m_pPositionBar;
    m_controls[kIdPositionText] = m_pPositionText;

    struct Button {
        int nId;
        Glyph glyph;
        const char* szTip;
        bool bCheckable;
    };
    const Button kButtons[] = {
        { kIdPlay, Glyph::Play, "Play (F9)", true },
        { kIdRecord, Glyph::Record, "Record (F5)", true },
        { kIdStop, Glyph::Stop, "Stop (Escape)", false },
        { kIdGoStart, Glyph::GoStart, "Go to Start (Home)", false },
        { kIdRewind, Glyph::Rewind, "Rewind (F7)", false },
        { kIdFastForward, Glyph::FastForward, "Fast Forward (F8)", false },
        { kIdGoEnd, Glyph::GoEnd, "Go to End (End)", false },
    };
    int nColumn = 0;
    for (const Button& button : kButtons) {
        auto* pButton = new QToolButton(m_pControlFrame);
        pButton->setIcon(GlyphIcon(button.glyph));
        pButton->setIconSize(QSize(24, 24));
        pButton->setToolTip(QString::fromUtf8(button.szTip));
        pButton->setCheckable(button.bCheckable);
        pButton->setFixedHeight(36);
        pButton->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        // Rewind and Fast Forward act while held, on press and on release.
        pButton->setAutoRepeat(false);
        pGrid->addWidget(pButton, 1, nColumn);
        pGrid->setColumnStretch(nColumn, 1);
        m_controls[button.nId] = pButton;
        ++nColumn;
    }
    return m_pControlFrame;
}

QWidget* MainDialog::Control(int nId) const
{
    auto it = m_controls.find(nId);
    return it == m_controls.end() ? nullptr : it->second;
}

QAction* MainDialog::MenuAction(int nId) const
{
    auto it = m_actions.find(nId);
    return it == m_actions.end() ? nullptr : it->second;
}

void MainDialog::EnableMainMenu()
{
    LDictation* pCurrent = CurrentDictation();
    auto available
        = [this](int nId) { return std::find(m_available.begin(), m_available.end(), nId) != m_available.end(); };
    for (int nId : kNeedCurrent)
        m_actions[nId]->setEnabled(pCurrent && available(nId));
    std::string undo = "Undo", redo = "Redo";
    bool bUndo = pCurrent && pCurrent->GetUndoText(&undo);
    bool bRedo = pCurrent && pCurrent->GetRedoText(&redo);
    m_actions[2051]->setText(QString::fromStdString(undo));
    m_actions[2051]->setShortcut(QKeySequence(QStringLiteral("Ctrl+Z")));
    m_actions[2051]->setEnabled(bUndo && available(2051));
    m_actions[2053]->setText(QString::fromStdString(redo));
    m_actions[2053]->setEnabled(bRedo && available(2053));
}

bool MainDialog::Command(int nId)
{
    auto it = m_actions.find(nId);
    if (it != m_actions.end() && nId != 101 && nId != 102 && nId != 300
        && std::find(m_available.begin(), m_available.end(), nId) == m_available.end())
        return false;
    if (m_pTransport && LTransport::IsTransportCommand(nId))
        return m_pTransport->Command(nId);
    switch (nId) {
    case 101:
    case 1001:
        return CmNewFile() != nullptr;
    case 1004:
        if (QTreeWidgetItem* pItem = m_pList->currentItem(); pItem && CurrentDictation()) {
            m_pList->editItem(pItem, kColName);
            return true;
        }
        return false;
    case 1099:
        close();
        return true;
    case 6004:
        SetViewNotes(!m_bViewNotes);
        return true;
    case 6031:
        SetTopMost(!GetSettingBool("Settings", "TopMost", false));
        return true;
    case 9002:
        QMessageBox::about(this, QStringLiteral("About Tavrine Dictate"),
            QStringLiteral("Tavrine Dictate\nRecords dictations and sends them for transcription.\n\nOrvane"));
        return true;
    default:
        if (LDictationCommands::Handles(nId)) {
            const bool bDone = m_pCommands->Command(nId);
            EnableMainMenu();
            return bDone;
        }
        for (const WebLink& link : kWebLinks)
            if (link.nId == nId)
                return QDesktopServices::openUrl(QUrl(QString::fromUtf8(link.szUrl)));
        return false;
    }
}

void MainDialog::SetViewNotes(bool bView)
{
    SaveCurrentDictationNote();
    m_bViewNotes = bView;
    SetSettingBool("Settings", "ViewNotes", bView);
    m_actions[6004]->setChecked(bView);
    m_pNotes->setVisible(bView);
    LayoutControls();
}

void MainDialog::SetTopMost(bool bTopMost)
{
    SetSettingBool("Settings", "TopMost", bTopMost);
    m_actions[6031]->setChecked(bTopMost);
    bool bVisible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, bTopMost);
    if (bVisible)
        show(); // changing the flags hides the window
}

QRect MainDialog::ClampToDesktop(const QRect& window, const QRect& desktop)
{
    int w = std::clamp(window.width(), 1, std::max(desktop.width(), 1));
    int h = std::clamp(window.height(), 1, std::max(desktop.height(), 1));
    int x = std::max(window.x(), desktop.x());
    int y = std::max(window.y(), desktop.y());
    // Moved, not shrunk, to bring the right and bottom edges inside.
    if (int64_t { x } + w > int64_t { desktop.x() } + desktop.width())
        x = desktop.x() + desktop.width() - w;
    if (int64_t { y } + h > int64_t { desktop.y() } + desktop.height())
        y = desktop.y() + desktop.height() - h;
    return QRect(x, y, w, h);
}

void MainDialog::PlaceWindow()
{
    QRect stored(GetMachineInt("MainWindow", "X", 160), GetMachineInt("MainWindow", "Y", 80),
        GetMachineInt("MainWindow", "Width", 500), GetMachineInt("MainWindow", "Height", 400));
    QScreen* pScreen = QGuiApplication::primaryScreen();
    QRect desktop = pScreen ? pScreen->availableGeometry() : QRect(0, 0, 1024, 768);
    QRect placed = ClampToDesktop(stored, desktop);
    resize(placed.size());
    move(placed.topLeft());
    if (GetMachineBool("MainWindow", "Maximized", false))
        setWindowState(windowState() | Qt::WindowMaximized);
}

void MainDialog::OpenWindow()
{
    if (isMinimized() || !isVisible())
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void MainDialog::showEvent(QShowEvent* pEvent)
{
    QMainWindow::showEvent(pEvent);
    if (!m_bPlaced) {
        m_bPlaced = true;
        LayoutControls();
    }
}

void MainDialog::resizeEvent(QResizeEvent* pEvent)
{
    QMainWindow::resizeEvent(pEvent);
    if (!isMinimized())
        LayoutControls();
}

void MainDialog::LayoutControls()
{
    bool bCompact = height() < kCompactHeight;
    if (bCompact != m_bCompact || !m_bPlaced) {
        m_bCompact = bCompact;
        statusBar()->setVisible(!bCompact);
        m_pToolBar->setVisible(!bCompact);
        m_pList->setHeaderHidden(bCompact);
    }
    ApplyDivider();
}

int MainDialog::DividerFloor() const
{
    return m_bCompact ? 15 : m_pToolBar->sizeHint().height() + 35;
}

void MainDialog::ApplyDivider()
{
    if (!m_bViewNotes || !m_pNotes->isVisible())
        return;
    int nTop = m_pSplitter->mapTo(this, QPoint(0, 0)).y();
    int nAreaBottom = nTop + m_pSplitter->height();
    m_nDividerY = std::max(std::min(m_nDividerY, nAreaBottom - 20), DividerFloor());
    int nList
        = std::clamp(m_nDividerY + 2 - nTop, 1, std::max(1, m_pSplitter->height() - m_pSplitter->handleWidth() - 1));
    int nNotes = std::max(1, m_pSplitter->height() - m_pSplitter->handleWidth() - nList);
    m_pSplitter->setSizes({ nList, nNotes });
}

void MainDialog::OnSplitterMoved()
{
    int nTop = m_pSplitter->mapTo(this, QPoint(0, 0)).y();
    m_nDividerY = nTop + m_pList->height() - 2;
    ApplyDivider();
}

bool MainDialog::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == m_pSplitter && pEvent->type() == QEvent::Resize) {
        ApplyDivider();
    } else if (pWatched == m_pStatusLabel && pEvent->type() == QEvent::MouseButtonPress) {
        ShowStatusMenu(static_cast<QMouseEvent*>(pEvent)->globalPosition().toPoint());
        return true;
    }
    return QMainWindow::eventFilter(pWatched, pEvent);
}

void MainDialog::ShowStatusMenu(const QPoint& globalPos)
{
    QMenu menu(this);
    for (const WebLink& link : kWebLinks)
        menu.addAction(m_actions[link.nId]);
    menu.exec(globalPos);
}

QString MainDialog::DurationText(uint32_t uSeconds)
{
    return QString::fromStdString(
        tplprintf("%.2d:%.2d", static_cast<int32_t>(uSeconds / 60), static_cast<int32_t>(uSeconds % 60)));
}

int MainDialog::RowImage(const QTreeWidgetItem* pItem)
{
    return pItem->data(kColName, kImageRole).toInt();
}

int MainDialog::RowId(const QTreeWidgetItem* pItem)
{
    return pItem->data(kColName, kIdRole).toInt();
}

void MainDialog::ListDictation(QTreeWidgetItem* pItem, const LDictation& dictation)
{
    bool bWasFilling = m_bFilling;
    m_bFilling = true;
    const DictationHeader& h = dictation.Header();
    bool bAttached = h.nAttachments > 0 || dictation.GetAttachments().Count() > 0;
    pItem->setFlags(pItem->flags() | Qt::ItemIsEditable);
    pItem->setText(
        kColName, QString::fromUtf8(dictation.GetName().data(), static_cast<qsizetype>(dictation.GetName().size())));
    pItem->setData(kColName, kIdRole, dictation.nListIndex);
    pItem->setData(kColName, kImageRole, bAttached ? 1 : 0);
    pItem->setIcon(kColName, m_rowImages[bAttached ? 1 : 0]);
    LDateTime created(h.tCreated);
    pItem->setText(kColDate, QString::fromStdString(created.Date()));
    pItem->setData(kColDate, kSortRole, qlonglong { h.tCreated });
    pItem->setText(kColTime, QString::fromStdString(created.Time()));
    pItem->setData(kColTime, kSortRole, qlonglong { h.tCreated });
    pItem->setText(kColDuration, DurationText(h.uDuration));
    pItem->setData(kColDuration, kSortRole, qlonglong { h.uDuration });
    pItem->setText(kColPriority, QString::fromUtf8(PriorityText(h.uPriority)));
    pItem->setData(kColPriority, kSortRole, qlonglong { h.uPriority });
    pItem->setText(kColNotes, QString::fromStdString(dictation.GetNotesLine()));
    m_bFilling = bWasFilling;
}

QTreeWidgetItem* MainDialog::FindRow(int nId) const
{
    for (int i = 0; i < m_pList->topLevelItemCount(); ++i)
        if (RowId(m_pList->topLevelItem(i)) == nId)
            return m_pList->topLevelItem(i);
    return nullptr;
}

void MainDialog::ListDictations()
{
    // The notes go to their dictation before the list's objects are rebuilt.
    SaveCurrentDictationNote();
    m_nCurrentId = -1;
    m_bFilling = true;
    {
        const QSignalBlocker block(m_pList);
        m_pList->clear();
        if (m_engine.IsUsable())
            m_list.Build(m_engine.GetCurrentFolder());
        QList<QTreeWidgetItem*> rows;
        rows.reserve(static_cast<qsizetype>(m_list.Count()));
        for (const LDictation& dictation : m_list) {
            auto* pItem = new DictationRow();
            ListDictation(pItem, dictation);
            rows.push_back(pItem);
        }
        m_pList->addTopLevelItems(rows);
        SortList();
        if (int n = m_pList->topLevelItemCount(); n > 0) {
            QTreeWidgetItem* pLast = m_pList->topLevelItem(n - 1);
            m_pList->setCurrentItem(pLast);
            m_pList->scrollToItem(pLast);
        }
    }
    m_bFilling = false;
    InitCurrentDictation();
}

void MainDialog::SortList()
{
    m_pList->sortItems(m_nSortColumn, m_bSortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
    m_pList->header()->setSortIndicator(m_nSortColumn, m_bSortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void MainDialog::OnHeaderClicked(int nColumn)
{
    if (nColumn == m_nSortColumn)
        m_bSortAscending = !m_bSortAscending;
    else
        m_bSortAscending = true;
    m_nSortColumn = nColumn;
    SortList();
    if (QTreeWidgetItem* pItem = m_pList->currentItem())
        m_pList->scrollToItem(pItem);
}

LDictation* MainDialog::CurrentDictation() const
{
    return m_nCurrentId < 0 ? nullptr : m_list.FindDictation(m_nCurrentId);
}

void MainDialog::InitCurrentDictation()
{
    if (m_bFilling)
        return;
    SaveCurrentDictationNote();
    QTreeWidgetItem* pFirst = nullptr;
    for (int i = 0; i < m_pList->topLevelItemCount() && !pFirst; ++i)
        if (m_pList->topLevelItem(i)->isSelected())
            pFirst = m_pList->topLevelItem(i);
    LDictation* pDictation = pFirst ? m_list.FindDictation(RowId(pFirst)) : nullptr;
    // The transport works on the current dictation only.
    if (m_pTransport && (pDictation ? pDictation->nListIndex : -1) != m_nCurrentId)
        m_pTransport->CmStop();
    m_nCurrentId = pDictation ? pDictation->nListIndex : -1;
    m_notesTimer.stop();
    m_bSettingNotes = true;
    m_pNotes->setPlainText(pDictation ? QString::fromStdString(pDictation->GetNotes()) : QString());
    m_bSettingNotes = false;
    m_bNotesChanged = false;
    m_nLengthMs = pDictation ? LengthMs(pDictation->GetTotalSamples(), pDictation->Header().uSampleRate) : 0;
    SetPosition(m_nLengthMs);
    bool bCurrent = pDictation != nullptr;
    for (int nId : { int { kIdNotes }, int { kIdPlay }, int { kIdStop }, int { kIdGoStart }, int { kIdRewind },
             int { kIdFastForward }, int { kIdGoEnd }, int { kIdPositionText }, int { kIdPositionBar },
             int { kIdControlFrame } })
        m_controls[nId]->setEnabled(bCurrent);
    // Sending arrives with its own commands.
    m_actions[102]->setEnabled(false);
    m_pList->setFocus();
    // A disabled action takes no shortcut, so the menu state cannot wait for
    // a menu to open: Ctrl+Z must work straight after a selection.
    EnableMainMenu();
}

void MainDialog::OnNotesChanged()
{
    if (m_bSettingNotes || m_nCurrentId < 0)
        return;
    m_bNotesChanged = true;
    m_notesTimer.start(kNotesSaveDelayMs);
}

void MainDialog::SaveCurrentDictationNote()
{
    m_notesTimer.stop();
    if (!m_bNotesChanged)
        return;
    m_bNotesChanged = false;
    LDictation* pDictation = CurrentDictation();
    if (!pDictation)
        return;
    pDictation->SetNotes(m_pNotes->toPlainText().toStdString());
    if (QTreeWidgetItem* pRow = FindRow(m_nCurrentId))
        ListDictation(pRow, *pDictation);
}

bool MainDialog::RenameDictation(QTreeWidgetItem* pItem, const QString& text)
{
    LDictation* pDictation = pItem ? m_list.FindDictation(RowId(pItem)) : nullptr;
    if (!pDictation)
        return false;
    bool bDone = false;
    if (!text.isEmpty()) {
        std::string name = text.toStdString();
        bDone = pDictation->SetName(CutUtf8(name, 96));
    }
    // A refused or empty name puts the stored one back in the row.
    ListDictation(pItem, *pDictation);
    SortList();
    m_pList->scrollToItem(pItem);
    return bDone;
}

void MainDialog::OnItemChanged(QTreeWidgetItem* pItem, int nColumn)
{
    if (m_bFilling || nColumn != kColName)
        return;
    RenameDictation(pItem, pItem->text(kColName));
}

void MainDialog::OnContextMenu(const QPoint& pos)
{
    m_pContextMenu->popup(m_pList->viewport()->mapToGlobal(pos));
}

LDictation* MainDialog::CmNewFile()
{
    return m_pCommands->CmNewFile();
}

QTreeWidgetItem* MainDialog::AddNewRow(const LDictation& dictation)
{
    auto* pItem = new DictationRow();
    ListDictation(pItem, dictation);
    m_bFilling = true;
    m_pList->addTopLevelItem(pItem);
    SortList();
    m_pList->clearSelection();
    m_bFilling = false;
    m_pList->setCurrentItem(pItem);
    m_pList->scrollToItem(pItem);
    return pItem;
}

int32_t MainDialog::LengthMs(uint64_t uSamples, uint32_t uRate)
{
    if (uRate == 0 || uRate > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()))
        return 0;
    uint64_t uMs = uSamples / uRate * 1000 + (uSamples % uRate) * 1000 / uRate;
    return static_cast<int32_t>(std::min<uint64_t>(uMs, std::numeric_limits<int32_t>::max()));
}

int MainDialog::PositionPercent(int32_t nPositionMs, int32_t nLengthMs)
{
    if (nLengthMs < 1)
        return 0;
    int64_t nPercent = int64_t { 100 } * std::max(nPositionMs, 0) / nLengthMs;
    return static_cast<int>(std::min<int64_t>(nPercent, 100));
}

void MainDialog::SetPosition(int32_t nMs)
{
    m_nPositionMs = std::max(nMs, 0);
    m_pPositionText->setText(QString::fromStdString(LSoundTime(m_nPositionMs).ToTextHourTenths()));
    m_pPositionBar->setValue(PositionPercent(m_nPositionMs, m_nLengthMs));
}

void MainDialog::SetLength(int32_t nMs)
{
    m_nLengthMs = std::max(nMs, 0);
    m_pPositionBar->setValue(PositionPercent(m_nPositionMs, m_nLengthMs));
}

void MainDialog::RefreshRow(int nId)
{
    QTreeWidgetItem* pRow = FindRow(nId);
    LDictation* pDictation = m_list.FindDictation(nId);
    if (pRow && pDictation)
        ListDictation(pRow, *pDictation);
    EnableMainMenu();
}

QString MainDialog::GetStatusBarText() const
{
    return m_pStatusLabel->text();
}

void MainDialog::ShowStatus(const QString& text)
{
    m_pStatusLabel->setText(text);
}

void MainDialog::OnStatusTimer()
{
    ShowStatus(QString::fromUtf8(kRotation[m_nRotation]));
    m_nRotation = (m_nRotation + 1) % std::size(kRotation);
    m_statusTimer.start(5000);
}

void MainDialog::EvNotify()
{
    if (!m_pQueue)
        return;
    // Everything is copied or taken off the block under its lock inside
    // TakeStatus; nothing here runs with the lock held.
    LSendStatusSource::Status status = m_pQueue->TakeStatus();
    QString text;
    if (!status.szText[0].empty()) {
        double fPercent = std::clamp(status.fProgress, 0.0, 1.0) * 100.0;
        text = QString::fromStdString(
            tplprintf("%s %s %d%%", status.szText[0], status.szText[1], static_cast<int32_t>(fPercent)));
    }
    for (std::unique_ptr<LDictation>& pFailed : status.failed) {
        LDictation* pRaw = pFailed.get();
        // One the list holds already is freed with the unique_ptr.
        if (pRaw && m_list.AddDictation(pFailed)) {
            auto* pItem = new DictationRow();
            ListDictation(pItem, *pRaw);
            m_bFilling = true;
            m_pList->addTopLevelItem(pItem);
            SortList();
            m_bFilling = false;
        }
    }
    if (text != m_statusText) {
        m_statusText = text;
        if (!text.isEmpty()) {
            ShowStatus(text);
            m_statusTimer.start(20000);
        } else {
            m_statusTimer.start(1000);
        }
    }
    if (status.error)
        ShowError(QString::fromStdString(*status.error));
}

void MainDialog::ShowError(const QString& text)
{
    // The box runs its own event loop; errors arriving meanwhile wait and are
    // shown one after another instead of stacking boxes.
    m_waitingErrors.push_back(text);
    if (m_bInErrorBox)
        return;
    m_bInErrorBox = true;
    while (!m_waitingErrors.empty()) {
        QString next = m_waitingErrors.front();
        m_waitingErrors.erase(m_waitingErrors.begin());
        m_shownErrors.push_back(next);
        OpenWindow();
        if (m_errorBox)
            m_errorBox(next);
        else
            QMessageBox::critical(this, QStringLiteral("Tavrine Dictate"), next);
    }
    m_bInErrorBox = false;
}

void MainDialog::closeEvent(QCloseEvent* pEvent)
{
    DestroyDialog();
    pEvent->accept();
}

void MainDialog::DestroyDialog()
{
    if (m_bDestroyed)
        return;
    m_bDestroyed = true;
    Qt::WindowStates state = windowState();
    SetMachineBool("MainWindow", "Maximized", (state & Qt::WindowMaximized) != 0);
    if ((state & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) == 0) {
        QScreen* pScreen = QGuiApplication::primaryScreen();
        QRect desktop = pScreen ? pScreen->availableGeometry() : QRect();
        int nRight = x() + width();
        if (pScreen)
            nRight = std::min(nRight, desktop.x() + desktop.width());
        SetMachineInt("MainWindow", "X", x());
        SetMachineInt("MainWindow", "Y", y());
        SetMachineInt("MainWindow", "Width", std::max(nRight - x(), 1));
        SetMachineInt("MainWindow", "Height", height());
    }
    SetSettingInt("MainWindow", "NotesDividerY", m_nDividerY);
    if (m_pQueue)
        m_pQueue->Stop(5000);
    m_statusTimer.stop();
    if (m_pTransport)
        m_pTransport->CmStop();
    SaveCurrentDictationNote();
    m_pNotify.reset();
}
