#include "outside/basecore/progress_window.h"

#include <algorithm>
#include <cmath>

#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWidget>

#include "outside/basecore/basecore_strings.h"
#include "outside/basecore/cmeter_info.h"
#include "platform/window/modal.h"

namespace basecore {
namespace {

constexpr int kBarSteps = 1000;
constexpr int kRefreshMs = 50;

UINT StateTextId(int state)
{
    switch (state) {
        case TASK_PROCESSING:
            return IDS_TASK_PROCESSING;
        case TASK_COMPLETE:
            return IDS_TASK_COMPLETE;
        case TASK_ERROR:
            return IDS_TASK_ERROR;
        case TASK_SKIPPED:
            return IDS_TASK_SKIPPED;
        case TASK_NOPROCESS:
            return IDS_TASK_NOPROCESS;
        default:
            return IDS_TASK_WAITING;
    }
}

}  // namespace

struct CProgressWnd::Parts {
    QLabel* title = nullptr;
    QTreeWidget* tasks = nullptr;
    QLabel* text = nullptr;
    QProgressBar* bar = nullptr;
    QPushButton* stop = nullptr;
    QTimer* timer = nullptr;
};

BEGIN_MESSAGE_MAP(CProgressWnd, CWnd)
    ON_COMMAND(IDCANCEL, OnStop)
    ON_WM_CLOSE()
END_MESSAGE_MAP()

CProgressWnd::CProgressWnd(CMeterInfo* meter) : m_meter(meter) {}

CProgressWnd::~CProgressWnd()
{
    if (m_hWnd) DestroyWindow();
    delete m_parts;
}

BOOL CProgressWnd::Create(const CString& title)
{
    if (!CreateEx(0, nullptr, title, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT,
                  360, 260, nullptr, nullptr))
        return FALSE;
    m_parts->title->setText(QString::fromUtf8(title.c_str()));
    Refresh();
    ShowWindow(SW_SHOW);
    return TRUE;
}

QWidget* CProgressWnd::CreateWidget(const CREATESTRUCT&, QWidget*)
{
    auto* widget = new QWidget(nullptr, Qt::Window);
    widget->setObjectName(kProgressWindowName);
    delete m_parts;
    m_parts = new Parts;
    Parts& p = *m_parts;
    auto* layout = new QVBoxLayout(widget);
    p.title = new QLabel;
    p.title->setObjectName("title");
    p.tasks = new QTreeWidget;
    p.tasks->setObjectName("tasks");
    p.tasks->setColumnCount(2);
    p.tasks->setHeaderHidden(true);
    p.tasks->setRootIsDecorated(false);
    p.tasks->header()->setStretchLastSection(false);
    p.tasks->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    p.tasks->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    p.text = new QLabel;
    p.text->setObjectName("text");
    p.bar = new QProgressBar;
    p.bar->setObjectName("progress");
    p.bar->setRange(0, kBarSteps);
    p.stop = new QPushButton(QString::fromUtf8(LoadText(IDS_PROGRESS_STOP).c_str()));
    p.stop->setObjectName("stop");
    layout->addWidget(p.title);
    layout->addWidget(p.tasks);
    layout->addWidget(p.text);
    layout->addWidget(p.bar);
    layout->addWidget(p.stop, 0, Qt::AlignRight);
    // The button sends the command a click sends, so that the window handles Stop in one place.
    QObject::connect(p.stop, &QPushButton::clicked, widget, [this] { SendMessage(WM_COMMAND, IDCANCEL, 0); });
    p.timer = new QTimer(widget);
    QObject::connect(p.timer, &QTimer::timeout, widget, [this] {
        if (m_meter->Revision() != m_shownRevision) Refresh();
    });
    p.timer->start(kRefreshMs);
    return widget;
}

void CProgressWnd::OnStop()
{
    m_meter->RequestStop();
    Refresh();
}

// Closing the window by its frame is the same request as Stop; the runner closes it when
// the job has ended.
void CProgressWnd::OnClose()
{
    OnStop();
}

void CProgressWnd::Refresh()
{
    if (!m_parts || !m_hWnd) return;
    Parts& p = *m_parts;
    m_shownRevision = m_meter->Revision();
    const MeterSnapshot s = m_meter->Snapshot();
    p.text->setText(QString::fromUtf8(s.text.c_str()));
    const double span = s.high - s.low;
    double fraction = span != 0.0 ? (s.pos - s.low) / span : 0.0;
    if (!std::isfinite(fraction)) fraction = 0.0;
    p.bar->setValue(static_cast<int>(std::clamp(fraction, 0.0, 1.0) * kBarSteps));
    p.stop->setEnabled(!s.stopRequested);

    const int count = static_cast<int>(s.tasks.size());
    while (p.tasks->topLevelItemCount() > count)
        delete p.tasks->takeTopLevelItem(p.tasks->topLevelItemCount() - 1);
    while (p.tasks->topLevelItemCount() < count) p.tasks->addTopLevelItem(new QTreeWidgetItem);
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem* item = p.tasks->topLevelItem(i);
        const MeterTask& task = s.tasks[static_cast<size_t>(i)];
        item->setText(0, QString::fromUtf8(task.text.c_str()));
        item->setText(1, QString::fromUtf8(LoadText(StateTextId(task.state)).c_str()));
        QFont font = item->font(0);
        font.setBold(i == s.currentTask);
        item->setFont(0, font);
    }
}

}  // namespace basecore
