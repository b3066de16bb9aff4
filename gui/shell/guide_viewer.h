// Help > User Guide: the user guide (Markdown) rendered with its screenshots in a window of
// its own, beside the work rather than over it.
#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;

namespace tamsel {

// The installed guide beside the program (bin/../share/doc/...), else the one in the
// source tree, for a program run from its build directory. Empty when neither exists.
QString UserGuidePath();

class GuideViewer : public QWidget {
    Q_OBJECT

  public:
    explicit GuideViewer(QWidget* parent = nullptr);

    // Shows the guide from its start and raises the window; a guide that cannot be found is
    // reported instead.
    void ShowGuide();
    QTextBrowser* Browser() const { return m_browser; }

  private:
    QTextBrowser* m_browser;
};

}  // namespace tamsel
