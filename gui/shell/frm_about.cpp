#include "shell/frm_about.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "shell/app_icon.h"
#include "shell/qt_text.h"
#include "tamsel/support/messages.h"

namespace tamsel {

std::string frmAbout::DisclaimerText() {
    return JoinLines({"Disclaimer:",
                      "This software is for personal use only. It is provided 'as is' without any "
                      "liability or warranty.",
                      "It is a research prototype which has not been thoroughly tested. Please "
                      "report bugs to:",
                      TAMSEL_CONTACT});
}

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    const QString title = QStringLiteral("Tamsel");
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ") + title);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("picIcon"));
    icon->setPixmap(TamselPixmap(64));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* titleLabel = new QLabel(title, this);
    titleLabel->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = titleLabel->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.8);
    titleFont.setBold(true);
    titleLabel->setFont(titleFont);

    auto* version = new QLabel(QStringLiteral("Version ") + QStringLiteral(TAMSEL_VERSION), this);
    version->setObjectName(QStringLiteral("lblVersion"));

    auto* description = new QLabel(
        QStringLiteral(
            "A workbench for software reliability growth modelling.\n"
            "Tamsel fits eight published reliability growth models to the failure data of "
            "software under test, one failure at a time, recalibrates their predictions, "
            "and shows which model predicts the next failures best."),
        this);
    description->setObjectName(QStringLiteral("lblDescription"));
    description->setWordWrap(true);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto* disclaimer = new QLabel(ToDisplayText(DisclaimerText()), this);
    disclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    disclaimer->setWordWrap(true);
    disclaimer->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->setHorizontalSpacing(18);
    layout->addWidget(icon, 0, 0, 3, 1);
    layout->addWidget(titleLabel, 0, 1);
    layout->addWidget(version, 1, 1);
    layout->addWidget(description, 2, 1);
    layout->addWidget(line, 3, 0, 1, 2);
    layout->addWidget(disclaimer, 4, 0, 1, 2);
    layout->addWidget(buttons, 5, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    // A fixed size lets the wrapped labels take the height they need.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    description->setFixedWidth(440);
    disclaimer->setFixedWidth(520);
}

}  // namespace tamsel
