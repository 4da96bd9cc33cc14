#include "app/desktop/dialogs/RecoverDialog.h"

#include "app/desktop/dialogs/LRecoverKeys.h"
#include "app/shared/transport/LTransportKeys.h"
#include "dictation/LDictation.h"
#include "dictation/LDictationAudioSource.h"
#include "dictation/LDictationEngineSettings.h"
#include "dictation/LDictationList.h"
#include "foundation/LDateTime.h"
#include "send/LDictationRecover.h"
#include "send/LDictationStatusUpdate.h"
#include "send/LProcessListFile.h"
#include "send/LProcessListThread.h"
#include "sound/device/LChannelLevels.h"
#include "sound/device/LMixer.h"
#include "ui/LAccessible.h"
#include "ui/LProgressDialog.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <map>
#include <set>

using namespace RecoverKeys;
using namespace TransportKeys;

namespace {

// Rows the first screenful surely holds, and a slice's bounds.
constexpr size_t kFirstRows = 200;
constexpr size_t kSliceRows = 500;
constexpr int kSliceMs = 8;

constexpr int kPathRole = Qt::UserRole + 1;
constexpr int kSortRole = Qt::UserRole + 2;
// The send status as the header held it when the row was made.
constexpr int kSendStatusRole = Qt::UserRole + 3;
constexpr int kQueuePollMs = 500;

// Rows sort by the time sent in the date and time columns, by text elsewhere.
class Row : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override
    {
        const int nColumn = treeWidget() ? treeWidget()->sortColumn() : 0;
        if (nColumn == RecoverDialog::kColDate || nColumn == RecoverDialog::kColTime)
            return data(0, kSortRole).toLongLong() < other.data(0, kSortRole).toLongLong();
        return text(nColumn).compare(other.text(nColumn), Qt::CaseInsensitive) < 0;
    }
};

QRect ClipToDesktop(QRect placed, const QRect& desktop)
{
    placed.setWidth(std::clamp(placed.width(), 200, std::max(desktop.width(), 200)));
    placed.setHeight(std::clamp(placed.height(), 150, std::max(desktop.height(), 150)));
    placed.moveLeft(std::clamp(placed.x(), desktop.x(), std::max(desktop.x(), desktop.right() + 1 - placed.width())));
    placed.moveTop(std::clamp(placed.y(), desktop.y(), std::max(desktop.y(), desktop.bottom() + 1 - placed.height())));
    return placed;
}

QRect Desktop()
{
    QScreen* pScreen = QGuiApplication::primaryScreen();
    return pScreen ? pScreen->availableGeometry() : QRect(0, 0, 1024, 768);
}

} // namespace

RecoverDialog::RecoverDialog(Mode mode, LDictationEngineSettings& engine, LProcessListThread& queue, LMainLoop& loop,
    QWidget* pParent, ProcessRunner runner)
    : QDialog(pParent)
    , m_mode(mode)
    , m_engine(engine)
    , m_queue(queue)
    , m_runner(std::move(runner))
    , m_player(loop)
{
    m_player.SetListener(this, 0);
    setWindowTitle(mode == Mode::View ? QStringLiteral("Work Progress") : QStringLiteral("Recover Sent Dictations"));
    m_pList = new QTreeWidget(this);
    LAccessible::Describe({ { m_pList, "Sent dictations", "Dictations sent and how far the typist has come" } });
    m_pList->setRootIsDecorated(false);
    m_pList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setHeaderLabels({ QStringLiteral("Date Sent"), QStringLiteral("Time"), QStringLiteral("Dictation"),
        QStringLiteral("Sent to Recipient"), QStringLiteral("Status"), QStringLiteral("Notes") });
    for (int i = 0; i < kColumns; ++i)
        m_pList->setColumnWidth(i, i == kColRecipient ? 120 : 100);
    m_pList->header()->setStretchLastSection(true);
    m_pList->header()->setMinimumSectionSize(80);
    // Qt's own header sorting: a click sorts by the column, the next reverses it.
    m_pList->setSortingEnabled(true);
    m_pList->sortByColumn(kColDate, Qt::AscendingOrder);

    const char* szLabels[] = { "&Recover", "&Play", mode == Mode::View ? "Close" : "Cancel", "Update Status" };
    auto* pButtons = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
        m_pButtons[i] = new QPushButton(QString::fromUtf8(szLabels[i]), this);
        m_pButtons[i]->setAutoDefault(false);
        pButtons->addWidget(m_pButtons[i]);
    }
    m_pUpdateAlways = new QCheckBox(QStringLiteral("Update Always"), this);
    pButtons->addWidget(m_pUpdateAlways);
    pButtons->addStretch();
    m_pStatusBar = new QStatusBar(this);
    m_pStatusBar->setSizeGripEnabled(false);
    m_pQueueLength = new QLabel(m_pStatusBar);
    m_pStatusBar->addPermanentWidget(m_pQueueLength);
    LAccessible::Describe({ { m_pQueueLength, "Send queue", "How many dictations wait to be sent" } });
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pList);
    pLayout->addLayout(pButtons);
    pLayout->addWidget(m_pStatusBar);
    Button(kIdRecover)->setDefault(true);
    Button(kIdRecover)->setVisible(mode == Mode::Recover);

    connect(Button(kIdRecover), &QPushButton::clicked, this, &RecoverDialog::CmRecover);
    connect(Button(kIdPlay), &QPushButton::clicked, this, &RecoverDialog::CmPlay);
    connect(Button(kIdCancel), &QPushButton::clicked, this, &QDialog::reject);
    connect(Button(kIdUpdate), &QPushButton::clicked, this, &RecoverDialog::CmUpdateStatus);
    // A key in the list acts on every sent dictation (Ctrl+A then Recover
    // must not leave out the rows still to come): the fill ends first.
    m_pList->installEventFilter(this);
    connect(m_pList, &QTreeWidget::itemSelectionChanged, this, &RecoverDialog::UpdateButtons);
    connect(m_pList, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (m_mode == Mode::Recover)
            CmRecover();
    });

    // A zero timer: each slice runs once the window system's events are handled.
    m_fillTimer.setInterval(0);
    connect(&m_fillTimer, &QTimer::timeout, this, [this] { FillSlice(kSliceRows, kSliceMs); });

    const QRect stored(kRecoverX.Get(), kRecoverY.Get(), kRecoverWidth.Get(), kRecoverHeight.Get());
    const QRect placed = ClipToDesktop(stored, Desktop());
    resize(placed.size());
    move(placed.topLeft());
    if (kRecoverMaximized.Get())
        setWindowState(windowState() | Qt::WindowMaximized);

    m_queueTimer.setInterval(kQueuePollMs);
    connect(&m_queueTimer, &QTimer::timeout, this, &RecoverDialog::ShowQueueStates);
    m_queueTimer.start();

    FillList();
    m_pUpdateAlways->setChecked(kUpdateStatusAlways.Get());
    if (m_pUpdateAlways->isChecked())
        CmUpdateStatus();
}

RecoverDialog::~RecoverDialog()
{
    m_player.Stop();
}

QPushButton* RecoverDialog::Button(int nId) const
{
    return nId >= kIdRecover && nId <= kIdUpdate ? m_pButtons[nId - kIdRecover] : nullptr;
}

std::vector<std::string> RecoverDialog::SelectedPaths() const
{
    std::vector<std::string> paths;
    for (int i = 0; i < m_pList->topLevelItemCount(); ++i)
        if (m_pList->topLevelItem(i)->isSelected())
            paths.push_back(m_pList->topLevelItem(i)->data(0, kPathRole).toString().toStdString());
    return paths;
}

void RecoverDialog::FillList()
{
    int nSelected = -1;
    for (int i = 0; i < m_pList->topLevelItemCount() && nSelected < 0; ++i)
        if (m_pList->topLevelItem(i)->isSelected())
            nSelected = i;
    m_fillTimer.stop();
    m_pRestored = nullptr;
    m_pList->clear();
    m_sent.Build(m_engine.GetSentFolder());
    m_rows.clear();
    for (const LDictation& dictation : m_sent)
        m_rows.push_back(&dictation);
    // The latest sent, at the end of the list's first order, show first.
    std::stable_sort(m_rows.begin(), m_rows.end(),
        [](const LDictation* a, const LDictation* b) { return a->Header().tSent > b->Header().tSent; });
    m_nNextRow = 0;
    m_nRestore = nSelected;
    FillSlice(kFirstRows, 0);
    SelectRestored();
    if (IsFilling())
        m_fillTimer.start();
}

bool RecoverDialog::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == m_pList && pEvent->type() == QEvent::KeyPress && IsFilling())
        FillSlice(m_rows.size(), 0);
    return QDialog::eventFilter(pWatched, pEvent);
}

void RecoverDialog::FillSlice(size_t nMax, int nMs)
{
    QElapsedTimer spent;
    spent.start();
    // With sorting on, each row goes in at its place in the order shown.
    for (size_t n = 0; IsFilling() && n < nMax && (nMs == 0 || spent.elapsed() < nMs); ++n) {
        const LDictation& dictation = *m_rows[m_nNextRow++];
        const DictationHeader& h = dictation.Header();
        const LDateTime when(h.tSent);
        const std::string recipient
            = h.uSendTo == kNoRecipient ? std::string() : LDictationEngineSettings::GetSendToName(h.uSendTo);
        auto* pRow = new Row();
        const std::string texts[kColumns] = { when.Date(), when.Time(), std::string(dictation.GetName()), recipient,
            std::string(dictation.GetSendStatus()), dictation.GetNotesLine() };
        for (int i = 0; i < kColumns; ++i)
            pRow->setText(i, QString::fromStdString(texts[i]));
        pRow->setData(0, kPathRole, QString::fromStdString(dictation.GetPath()));
        pRow->setData(0, kSortRole, static_cast<qlonglong>(h.tSent));
        pRow->setData(0, kSendStatusRole, pRow->text(kColStatus));
        m_pList->addTopLevelItem(pRow);
    }
    ShowQueueStates();
    if (IsFilling())
        return;
    m_fillTimer.stop();
    // A selection the user made while rows arrived stays.
    const QList<QTreeWidgetItem*> selected = m_pList->selectedItems();
    if (m_pRestored && selected.size() == 1 && selected.front() == m_pRestored && m_pList->currentItem() == m_pRestored)
        SelectRestored();
}

void RecoverDialog::SelectRestored()
{
    const int nCount = m_pList->topLevelItemCount();
    if (nCount > 0) {
        m_pRestored = m_pList->topLevelItem(m_nRestore >= 0 && m_nRestore < nCount ? m_nRestore : nCount - 1);
        m_pList->setCurrentItem(m_pRestored);
        m_pRestored->setSelected(true);
    }
    UpdateButtons();
}

void RecoverDialog::UpdateButtons()
{
    const bool bSelected = !m_pList->selectedItems().isEmpty();
    Button(kIdRecover)->setEnabled(bSelected);
    Button(kIdPlay)->setEnabled(bSelected || IsPlaying());
}

JobResult RecoverDialog::RunProcess(const char* szTitle, const std::function<JobResult(LProgressReporter&)>& body)
{
    if (m_runner)
        return m_runner(szTitle, body);
    return RunJobInProgressDialog(this, QString::fromUtf8(szTitle), body);
}

void RecoverDialog::CmUpdateStatus()
{
    const std::string sent = m_engine.GetSentFolder();
    std::map<std::string, std::string> before;
    for (const LDictation& dictation : m_sent)
        before[dictation.GetPath()] = std::string(dictation.GetSendStatus());
    const JobResult nResult = RunProcess(LDictationStatusUpdate::kTitle,
        [&sent](LProgressReporter& progress) { return LDictationStatusUpdate::Process(progress, sent); });
    FillList();
    // A status file that brought nothing must not look like an update that never ran.
    int nChanged = 0;
    for (const LDictation& dictation : m_sent) {
        auto it = before.find(dictation.GetPath());
        nChanged += it != before.end() && it->second != dictation.GetSendStatus() ? 1 : 0;
    }
    if (nResult != JobResult::kDone)
        m_pStatusBar->showMessage(QStringLiteral("Status update cancelled"));
    else if (nChanged == 0)
        m_pStatusBar->showMessage(QStringLiteral("Status updated: nothing new from the typists"));
    else
        m_pStatusBar->showMessage(QStringLiteral("Status updated: %1 dictation%2 changed")
                                      .arg(nChanged)
                                      .arg(nChanged == 1 ? QString() : QStringLiteral("s")));
}

QString RecoverDialog::StateText(bool bQueued, bool bSending, int nPercent, const QString& sendStatus)
{
    if (bSending)
        return QStringLiteral("Sending %1%").arg(std::clamp(nPercent, 0, 100));
    if (bQueued)
        return QStringLiteral("Waiting to be sent");
    return sendStatus;
}

QString RecoverDialog::QueueLengthText(int nWaiting)
{
    if (nWaiting <= 0)
        return QStringLiteral("No dictations waiting to be sent");
    return QStringLiteral("%1 dictation%2 waiting to be sent")
        .arg(nWaiting)
        .arg(nWaiting == 1 ? QString() : QStringLiteral("s"));
}

void RecoverDialog::ShowQueueStates()
{
    // The queue's file says what waits; its thread's lines say whether the
    // head is being sent now.
    std::vector<std::string> queued;
    const std::string& queuePath = m_queue.GetListFilePath();
    if (!queuePath.empty()) {
        LProcessListHeader header;
        LProcessListFile::Walk(queuePath, &header, [&queued](const SendJobItem& item) {
            if (!item.IsNotice())
                queued.emplace_back(item.DictationPath());
            return true;
        });
    }
    const bool bHeadSending = !queued.empty() && !m_queue.Status().PeekText(0).empty();
    const int nPercent = static_cast<int>(std::clamp(m_queue.Status().GetProgress(), 0.0, 1.0) * 100.0);
    const std::set<std::string> waiting(queued.begin(), queued.end());
    for (int i = 0; i < m_pList->topLevelItemCount(); ++i) {
        QTreeWidgetItem* pRow = m_pList->topLevelItem(i);
        const std::string path = pRow->data(0, kPathRole).toString().toStdString();
        const bool bQueued = waiting.count(path) != 0;
        QString sendStatus = pRow->data(0, kSendStatusRole).toString();
        // A job that ended meanwhile left its status in the header.
        if (!bQueued && pRow->text(kColStatus) != sendStatus) {
            const LDictation now(path, LDictation::Reading::Row);
            sendStatus = now.IsValid() ? QString::fromStdString(std::string(now.GetSendStatus()))
                                       : QStringLiteral("Returned to the list of dictations");
            pRow->setData(0, kSendStatusRole, sendStatus);
        }
        const QString text = StateText(bQueued, bHeadSending && path == queued.front(), nPercent, sendStatus);
        if (pRow->text(kColStatus) != text)
            pRow->setText(kColStatus, text);
    }
    m_pQueueLength->setText(QueueLengthText(static_cast<int>(queued.size())));
}

void RecoverDialog::CmPlay()
{
    if (IsPlaying()) {
        m_player.Stop();
        return;
    }
    const std::vector<std::string> paths = SelectedPaths();
    if (paths.empty())
        return;
    m_pPlaying = std::make_unique<LDictation>(paths.front());
    if (!m_pPlaying->IsValid())
        return;
    LSoundSourceRef source(LDictationAudioSource::Make(*m_pPlaying));
    const int nDevice = std::max(kPlayDevice.Get(), 0);
    (void)LMixer::SetPlayVolume(nDevice, 0, LChannelLevels::Clamp(kPlayVolume.Get()));
    m_player.SetPlayDevice(LSoundPlayDevice { nDevice });
    if (source && source->IsUsable() && m_player.Start(source))
        Button(kIdPlay)->setText(QStringLiteral("&Stop"));
}

void RecoverDialog::OnStopped(uint32_t)
{
    Button(kIdPlay)->setText(QStringLiteral("&Play"));
    UpdateButtons();
}

void RecoverDialog::CmRecover()
{
    if (m_mode != Mode::Recover)
        return;
    m_player.Stop();
    kUpdateStatusAlways.Set(m_pUpdateAlways->isChecked());
    bool bFailed = false;
    for (const std::string& path : SelectedPaths()) {
        const JobResult nResult = RunProcess(LDictationRecover::kTitle,
            [&](LProgressReporter& progress) { return LDictationRecover::Process(progress, path, true, m_queue); });
        bFailed = bFailed || nResult != JobResult::kDone;
    }
    if (bFailed)
        FillList();
    else
        accept();
}

void RecoverDialog::StorePlacement()
{
    if (m_bPlacementStored)
        return;
    m_bPlacementStored = true;
    const Qt::WindowStates state = windowState();
    kRecoverMaximized.Set((state & Qt::WindowMaximized) != 0);
    if ((state & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) != 0)
        return;
    const QRect desktop = Desktop();
    kRecoverX.Set(x());
    kRecoverY.Set(y());
    kRecoverWidth.Set(std::min(width(), desktop.width()));
    kRecoverHeight.Set(height());
}

void RecoverDialog::done(int nResult)
{
    m_fillTimer.stop();
    m_queueTimer.stop();
    m_player.Stop();
    StorePlacement();
    QDialog::done(nResult);
}
