#include "shell/background_run.h"

#include <QtConcurrent/QtConcurrentRun>

namespace tamsel {

BackgroundRun::BackgroundRun(QObject* parent) : QObject(parent) {
    connect(&m_watcher, &QFutureWatcher<void>::finished, this, [this] {
        m_running = false;
        emit finished();
    });
}

BackgroundRun::~BackgroundRun() {
    if (!m_running) return;
    RequestCancel();
    m_watcher.disconnect(this);
    m_watcher.waitForFinished();
}

void BackgroundRun::Start(std::function<void(const RunControl&)> work) {
    Q_ASSERT(!m_running);
    m_cancel = false;
    m_running = true;
    const RunControl control(this, &m_cancel);
    m_watcher.setFuture(QtConcurrent::run([work = std::move(work), control] { work(control); }));
}

void BackgroundRun::RequestCancel() { m_cancel = true; }

}  // namespace tamsel
