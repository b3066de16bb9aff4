#include "shell/about_dialog.h"

#include <QApplication>
#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "shell/app_icon.h"
#include "shell/qt_text.h"
#include "tamsel/version.h"
#include "tamsel/workbench/project.h"

namespace tamsel {

std::string AboutDialog::DisclaimerText() {
    return JoinLines({"Disclaimer:",
                      "This software is for personal use only. It is provided 'as is' without any "
                      "liability or warranty.",
                      "It is a research prototype which has not been thoroughly tested. Please "
                      "report bugs to:",
                      TAMSEL_CONTACT});
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
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
        QStringLiteral("A workbench for software reliability growth modelling.\n\n"
                       "Tamsel fits eight published reliability growth models to the failure\n"
                       "data of software under test, one failure at a time, recalibrates their\n"
                       "predictions, and shows which model predicts the next failures best."),
        this);
    description->setObjectName(QStringLiteral("lblDescription"));

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto* disclaimer = new QLabel(ToDisplayText(DisclaimerText()), this);
    disclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    // Its lines are broken where they are meant to be; a long one widens the dialog.
    disclaimer->setWordWrap(false);
    disclaimer->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    for (QLabel* label : {titleLabel, version, description}) {
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    auto* heading = new QVBoxLayout;
    heading->setSpacing(4);
    heading->addWidget(titleLabel);
    heading->addWidget(version);
    heading->addSpacing(8);
    heading->addWidget(description);
    heading->addStretch();
    auto* top = new QHBoxLayout;
    top->setSpacing(18);
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(heading, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(line);
    layout->addWidget(disclaimer);
    layout->addWidget(buttons);
    // The dialog takes the size its texts need and keeps it.
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace tamsel
