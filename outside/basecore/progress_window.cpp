#include "outside/basecore/progress_window.h"

#include <algorithm>
#include <cmath>

#include <QCloseEvent>
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

namespace basecore {
namespace {

constexpr int kBarSteps = 1000;
constexpr int kRefreshMs = 50;

UINT StateTextId(int state)
{
    switch (state) {
    case TASK_PROCESSING: return IDS_TASK_PROCESSING;
    case TASK_COMPLETE: return IDS_TASK_COMPLETE;
    case TASK_ERROR: return IDS_TASK_ERROR;
    case TASK_SKIPPED: return IDS_TASK_SKIPPED;
    case TASK_NOPROCESS: return IDS_TASK_NOPROCESS;
    default: return IDS_TASK_WAITING;
    }
}

// Closing the window by its frame is the same request as Stop: the job ends at its
// next progress call and the runner then closes the window.
class ProgressWidget : public QWidget {
public:
    explicit ProgressWidget(CMeterInfo* meter) : m_meter(meter) {}

protected:
    void closeEvent(QCloseEvent* event) override
    {
        m_meter->RequestStop();
        event->ignore();
    }

private:
    CMeterInfo* m_meter;
};

}  // namespace

struct CProgressWnd::Impl {
    CMeterInfo* meter = nullptr;
    std::unique_ptr<ProgressWidget> widget;
    QLabel* title = nullptr;
    QTreeWidget* tasks = nullptr;
    QLabel* text = nullptr;
    QProgressBar* bar = nullptr;
    QPushButton* stop = nullptr;
    QTimer* timer = nullptr;
    unsigned shownRevision = ~0u;
};

CProgressWnd::CProgressWnd(const CString& title, CMeterInfo* meter) : m_impl(std::make_unique<Impl>())
{
    Impl& d = *m_impl;
    d.meter = meter;
    d.widget = std::make_unique<ProgressWidget>(meter);
    d.widget->setObjectName(kProgressWindowName);
    d.widget->setWindowTitle(QString::fromUtf8(title.c_str()));
    auto* layout = new QVBoxLayout(d.widget.get());
    d.title = new QLabel(QString::fromUtf8(title.c_str()));
    d.title->setObjectName("title");
    d.tasks = new QTreeWidget;
    d.tasks->setObjectName("tasks");
    d.tasks->setColumnCount(2);
    d.tasks->setHeaderHidden(true);
    d.tasks->setRootIsDecorated(false);
    d.tasks->header()->setStretchLastSection(false);
    d.tasks->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    d.tasks->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    d.text = new QLabel;
    d.text->setObjectName("text");
    d.bar = new QProgressBar;
    d.bar->setObjectName("progress");
    d.bar->setRange(0, kBarSteps);
    d.stop = new QPushButton(QString::fromUtf8(LoadText(IDS_PROGRESS_STOP).c_str()));
    d.stop->setObjectName("stop");
    layout->addWidget(d.title);
    layout->addWidget(d.tasks);
    layout->addWidget(d.text);
    layout->addWidget(d.bar);
    layout->addWidget(d.stop, 0, Qt::AlignRight);
    QObject::connect(d.stop, &QPushButton::clicked, d.widget.get(), [this] {
        m_impl->meter->RequestStop();
        Refresh();
    });
    d.timer = new QTimer(d.widget.get());
    QObject::connect(d.timer, &QTimer::timeout, d.widget.get(), [this] {
        if (m_impl->meter->Revision() != m_impl->shownRevision)
            Refresh();
    });
    d.timer->start(kRefreshMs);
    d.widget->resize(360, 260);
    Refresh();
    d.widget->show();
}

CProgressWnd::~CProgressWnd() = default;

QWidget* CProgressWnd::Widget() const { return m_impl->widget.get(); }

CWnd* CProgressWnd::Wnd() const { return nullptr; }

void CProgressWnd::Refresh()
{
    Impl& d = *m_impl;
    d.shownRevision = d.meter->Revision();
    const MeterSnapshot s = d.meter->Snapshot();
    d.text->setText(QString::fromUtf8(s.text.c_str()));
    const double span = s.high - s.low;
    double fraction = span != 0.0 ? (s.pos - s.low) / span : 0.0;
    if (!std::isfinite(fraction))
        fraction = 0.0;
    d.bar->setValue(static_cast<int>(std::clamp(fraction, 0.0, 1.0) * kBarSteps));
    d.stop->setEnabled(!s.stopRequested);

    const int count = static_cast<int>(s.tasks.size());
    while (d.tasks->topLevelItemCount() > count)
        delete d.tasks->takeTopLevelItem(d.tasks->topLevelItemCount() - 1);
    while (d.tasks->topLevelItemCount() < count)
        d.tasks->addTopLevelItem(new QTreeWidgetItem);
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem* item = d.tasks->topLevelItem(i);
        const MeterTask& task = s.tasks[static_cast<size_t>(i)];
        item->setText(0, QString::fromUtf8(task.text.c_str()));
        item->setText(1, QString::fromUtf8(LoadText(StateTextId(task.state)).c_str()));
        QFont font = item->font(0);
        font.setBold(i == s.currentTask);
        item->setFont(0, font);
    }
}

}  // namespace basecore
