#include "shell/guide_viewer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "tamsel/workbench/project.h"

namespace tamsel {

QString UserGuidePath() {
    const QString name = QStringLiteral("user-guide.md");
    const QString places[] = {QDir(QCoreApplication::applicationDirPath())
                                  .filePath(QStringLiteral(TAMSEL_INSTALLED_DOCS_DIR "/") + name),
                              QDir(QStringLiteral(TAMSEL_DOCS_DIR)).filePath(name)};
    for (const QString& path : places) {
        if (QFileInfo::exists(path)) return QDir::cleanPath(path);
    }
    return {};
}

GuideViewer::GuideViewer(QWidget* parent)
    : QWidget(parent, Qt::Window), m_browser(new QTextBrowser(this)) {
    setObjectName(QStringLiteral("GuideViewer"));
    setWindowTitle(QStringLiteral("Tamsel User Guide"));
    m_browser->setObjectName(QStringLiteral("GuideText"));
    m_browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(900, 760);
}

void GuideViewer::ShowGuide() {
    const QString path = UserGuidePath();
    if (path.isEmpty()) {
        ShowMessage(
            "The user guide (user-guide.md) was not found beside the program or in its "
            "source tree. Please reinstall Tamsel.");
        return;
    }
    // The screenshots are found relative to the guide.
    m_browser->setSource(QUrl::fromLocalFile(path), QTextDocument::MarkdownResource);
    show();
    raise();
    activateWindow();
}

}  // namespace tamsel
