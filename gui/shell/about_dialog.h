// "About Tamsel": what the program is, its version, and the disclaimer.
#pragma once

#include <QDialog>

namespace tamsel {

class AboutDialog : public QDialog {
    Q_OBJECT

  public:
    explicit AboutDialog(QWidget* parent = nullptr);

    // The disclaimer, lines joined with CR LF.
    static std::string DisclaimerText();
};

}  // namespace tamsel
