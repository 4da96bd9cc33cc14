#include "app/desktop/window/MainDialog.h"

#include "app/desktop/commands/LHelpCommands.h"
#include "app/desktop/session/LSession.h"
#include "app/desktop/window/LAnnouncer.h"
#include "app/desktop/window/LDictationListView.h"
#include "app/desktop/window/LIcons.h"
#include "app/desktop/window/LListNotesKeys.h"
#include "app/desktop/window/LMenus.h"
#include "app/desktop/window/LStatusArea.h"
#include "app/desktop/window/LTransportBar.h"
#include "app/desktop/window/LWindowKeys.h"
#include "app/shared/input/LCommandRouter.h"
#include "ui/LAccessible.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {

namespace Keys = WindowKeys;
using namespace LControlIds;

} // namespace

MainDialog::MainDialog(LSession& session, LCommandRouter& router, QWidget* parent)
    : QMainWindow(parent)
    , m_session(session)
    , m_router(router)
{
    setWindowTitle(QStringLiteral("Tavrine Dictate"));
    setObjectName(QStringLiteral("MainDialog"));
    setWindowIcon(LIcons::AppIcon());
    m_nDividerY = Keys::kNotesDividerY.Get();
    RegisterCommands();
    m_pMenus = new LMenus(*this, m_router);

    auto* pCentral = new QWidget(this);
    auto* pLayout = new QVBoxLayout(pCentral);
    pLayout->setContentsMargins(2, 2, 2, 2);
    pLayout->setSpacing(3);
    m_pSplitter = new QSplitter(Qt::Vertical, pCentral);
    m_pSplitter->setChildrenCollapsible(false);
    m_pSplitter->setHandleWidth(5);
    m_pList = new LDictationListView(m_session, m_pSplitter);
    m_pNotes = new QPlainTextEdit(m_pSplitter);
    m_pNotes->setMinimumSize(60, 12);
    m_pNotes->setToolTip(QStringLiteral("Notes about the current dictation"));
    m_pNotes->setPlaceholderText(QStringLiteral("Notes"));
    LAccessible::Describe(
        { { m_pList, "Dictation list", "List of current dictations; F2 renames, Tab goes to the notes" },
            { m_pNotes, "Notes",
                "Notes about the current dictation; Tab selects the next field, Shift+Tab the one before" } });
    m_pSplitter->addWidget(m_pList);
    m_pSplitter->addWidget(m_pNotes);
    m_pSplitter->setStretchFactor(0, 1);
    m_pSplitter->setStretchFactor(1, 1);
    m_pSplitter->installEventFilter(this);
    pLayout->addWidget(m_pSplitter, 1);
    m_pTransportBar = new LTransportBar(m_session, m_router, pCentral);
    pLayout->addWidget(m_pTransportBar);
    setCentralWidget(pCentral);

    m_pStatus = new LStatusArea(m_session, this);
    m_pStatus->SetBeforeError([this] { OpenWindow(); });
    statusBar()->addWidget(m_pStatus, 1);
    statusBar()->setSizeGripEnabled(true);

    connect(m_pList, &QTreeWidget::customContextMenuRequested, this,
        [this](const QPoint& pos) { m_pMenus->ContextMenu()->popup(m_pList->viewport()->mapToGlobal(pos)); });
    connect(m_pList, &LDictationListView::PlayRequested, this, [this] {
        m_session.SetPosition(0);
        m_router.Trigger(LCommandId::kPlay);
    });
    connect(m_pNotes, &QPlainTextEdit::textChanged, this, &MainDialog::OnNotesChanged);
    connect(m_pSplitter, &QSplitter::splitterMoved, this, &MainDialog::OnSplitterMoved);
    connect(m_pStatus, &LStatusArea::Clicked, this, &MainDialog::ShowStatusMenu);
    m_notesTimer.setSingleShot(true);
    connect(&m_notesTimer, &QTimer::timeout, this, &MainDialog::SaveCurrentDictationNote);

    connect(&m_session, &LSession::CurrentChanged, this, &MainDialog::OnCurrentChanged);
    connect(&m_session, &LSession::FlushPendingEdits, this, &MainDialog::SaveCurrentDictationNote);
    connect(&m_session, &LSession::DropPendingEdits, this, [this] {
        m_notesTimer.stop();
        m_bNotesChanged = false;
    });
    connect(&m_session, &LSession::NotesReplaced, this, [this](int nId) {
        if (const LDictation* pDictation = m_session.Find(nId); pDictation && nId == m_session.CurrentId())
            ShowNotes(pDictation->GetNotes());
    });
    connect(&m_session, &LPlaybackModel::StateChanged, this, [this](LPlaybackModel::State state) {
        setWindowIcon(m_session.IsRecorderBusy() ? LIcons::RecordingAppIcon(state == LPlaybackModel::State::Recording)
                                                 : LIcons::AppIcon());
    });

    m_pAnnouncer = new LAnnouncer(*this, m_session, m_router);
    m_pKeys = std::make_unique<LListNotesKeys>(m_router, m_pList, m_pNotes);

    m_bViewNotes = Keys::kViewNotes.Get();
    m_pNotes->setVisible(m_bViewNotes);
    setWindowFlag(Qt::WindowStaysOnTopHint, Keys::kTopMost.Get());
    OnCurrentChanged(-1);
    m_pMenus->Refresh();
}

MainDialog::~MainDialog()
{
    DestroyDialog();
}

LKeyFilterWidgets& MainDialog::KeyWidgets() const
{
    return *m_pKeys;
}

void MainDialog::Start()
{
    PlaceWindow();
    m_session.Rebuild();
}

void MainDialog::RegisterCommands()
{
    using Id = LCommandId;
    auto add = [this](Id id, std::function<bool()> run, std::function<bool()> checked = {}) {
        LCommandRouter::Handler handler;
        handler.trigger = std::move(run);
        handler.checked = std::move(checked);
        m_router.Register(id, std::move(handler));
    };
    LCommandRouter::Handler rename;
    rename.trigger = [this] { return m_pList->StartRename(); };
    rename.enabled = [this] { return m_session.Current() != nullptr; };
    rename.bNeedsSelection = true;
    m_router.Register(Id::kRename, std::move(rename));
    add(Id::kExit, [this] { return close(); });
    add(Id::kSetOpen, [this] {
        OpenWindow();
        return true;
    });
    add(Id::kSetMinimize, [this] {
        showMinimized();
        return true;
    });
    add(
        Id::kViewNotes,
        [this] {
            SetViewNotes(!m_bViewNotes);
            return true;
        },
        [this] { return m_bViewNotes; });
    add(
        Id::kTopMost,
        [this] {
            SetTopMost(!Keys::kTopMost.Get());
            return true;
        },
        [] { return Keys::kTopMost.Get(); });
}

QWidget* MainDialog::Control(int nId) const
{
    switch (nId) {
    case kIdList:
        return m_pList;
    case kIdNotes:
        return m_pNotes;
    case kIdStatusBar:
        return statusBar();
    default:
        return m_pTransportBar->Control(nId);
    }
}

QAction* MainDialog::MenuAction(LCommandId id) const
{
    return m_pMenus->Action(id);
}

QString MainDialog::GetStatusBarText() const
{
    return m_pStatus->text();
}

void MainDialog::OnCurrentChanged(int nId)
{
    const LDictation* pDictation = m_session.Find(nId);
    ShowNotes(pDictation ? pDictation->GetNotes() : std::string());
    m_pNotes->setEnabled(pDictation != nullptr);
    m_pTransportBar->SetCurrent(pDictation != nullptr);
}

void MainDialog::ShowNotes(const std::string& notes)
{
    // Shown without counting as a fresh edit.
    m_notesTimer.stop();
    m_bSettingNotes = true;
    m_pNotes->setPlainText(QString::fromStdString(notes));
    m_bSettingNotes = false;
    m_bNotesChanged = false;
}

void MainDialog::OnNotesChanged()
{
    if (m_bSettingNotes || m_session.CurrentId() < 0)
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
    LDictation* pDictation = m_session.Current();
    if (!pDictation)
        return;
    pDictation->SetNotes(m_pNotes->toPlainText().toStdString());
    m_session.Changed(pDictation->nListIndex);
}

void MainDialog::SetViewNotes(bool bView)
{
    SaveCurrentDictationNote();
    m_bViewNotes = bView;
    Keys::kViewNotes.Set(bView);
    m_pNotes->setVisible(bView);
    LayoutControls();
}

void MainDialog::SetTopMost(bool bTopMost)
{
    Keys::kTopMost.Set(bTopMost);
    bool bVisible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, bTopMost);
    if (bVisible)
        show(); // changing the flags hides the window
}

void MainDialog::ShowStatusMenu(const QPoint& globalPos)
{
    QMenu menu(this);
    // The Help menu's "&Internet Resources": the manual's pages.
    for (const LHelpCommands::Page& page : LHelpCommands::Pages())
        menu.addAction(m_pMenus->Action(page.id));
    menu.exec(globalPos);
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

QRect MainDialog::FirstStartRect(const QRect& available)
{
    QRect placed(0, 0, std::min(900, available.width()), std::min(600, available.height()));
    placed.moveCenter(available.center());
    return placed;
}

void MainDialog::PlaceWindow()
{
    QScreen* pScreen = QGuiApplication::primaryScreen();
    QRect desktop = pScreen ? pScreen->availableGeometry() : QRect(0, 0, 1024, 768);
    // The stored defaults fit a screen of long ago: without a stored size the
    // window opens sized for today's.
    const int kUnset = std::numeric_limits<int>::min();
    const bool bStored = GetMachineInt(Keys::kWindowWidth.szSection, Keys::kWindowWidth.szName, kUnset) != kUnset;
    QRect stored(Keys::kWindowX.Get(), Keys::kWindowY.Get(), Keys::kWindowWidth.Get(), Keys::kWindowHeight.Get());
    QRect placed = bStored ? ClampToDesktop(stored, desktop) : FirstStartRect(desktop);
    // The list gets the larger share of the taller window too.
    if (!bStored && GetSettingInt(Keys::kNotesDividerY.szSection, Keys::kNotesDividerY.szName, kUnset) == kUnset)
        m_nDividerY = placed.height() * 11 / 20;
    resize(placed.size());
    move(placed.topLeft());
    if (Keys::kWindowMaximized.Get())
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
        m_pMenus->ToolBar()->setVisible(!bCompact);
        m_pList->setHeaderHidden(bCompact);
    }
    ApplyDivider();
}

int MainDialog::DividerFloor() const
{
    return m_bCompact ? 15 : m_pMenus->ToolBar()->sizeHint().height() + 35;
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
    if (pWatched == m_pSplitter && pEvent->type() == QEvent::Resize)
        ApplyDivider();
    return QMainWindow::eventFilter(pWatched, pEvent);
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
    Keys::kWindowMaximized.Set((state & Qt::WindowMaximized) != 0);
    if ((state & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) == 0) {
        QScreen* pScreen = QGuiApplication::primaryScreen();
        QRect desktop = pScreen ? pScreen->availableGeometry() : QRect();
        int nRight = x() + width();
        if (pScreen)
            nRight = std::min(nRight, desktop.x() + desktop.width());
        Keys::kWindowX.Set(x());
        Keys::kWindowY.Set(y());
        Keys::kWindowWidth.Set(std::max(nRight - x(), 1));
        Keys::kWindowHeight.Set(height());
    }
    Keys::kNotesDividerY.Set(m_nDividerY);
    m_pStatus->Shutdown();
    if (m_closing)
        m_closing();
    SaveCurrentDictationNote();
}
