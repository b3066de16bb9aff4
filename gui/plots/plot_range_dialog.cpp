#include "plots/plot_range_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

namespace tamsel {

namespace {

const QString kDefaultCaption = QStringLiteral("Plotting minimum:");

}  // namespace

PlotRangeDialog::PlotRangeDialog(QWidget* parent)
    : QDialog(parent),
      m_text(new QLineEdit(this)),
      m_upDown(new QScrollBar(Qt::Vertical, this)),
      m_explanation(new QLabel(this)),
      m_caption(new QLabel(kDefaultCaption, this)) {
    setWindowTitle(QStringLiteral("Edit plot range"));
    m_text->setObjectName(QStringLiteral("Text1"));
    m_upDown->setObjectName(QStringLiteral("UpDown1"));
    m_explanation->setObjectName(QStringLiteral("Label1"));
    m_caption->setObjectName(QStringLiteral("Label2"));
    m_explanation->setWordWrap(true);
    // Up means a larger number.
    m_upDown->setInvertedAppearance(true);
    m_upDown->setInvertedControls(true);
    m_upDown->setFixedHeight(m_text->sizeHint().height());
    connect(m_upDown, &QScrollBar::valueChanged, this,
            [this](int value) { m_text->setText(QString::number(value)); });

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Command1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Command2"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QGridLayout(this);
    layout->addWidget(m_explanation, 0, 0, 1, 4);
    layout->addWidget(m_caption, 1, 0);
    layout->addWidget(m_text, 1, 1);
    layout->addWidget(m_upDown, 1, 2);
    layout->addWidget(ok, 2, 1);
    layout->addWidget(cancel, 2, 3);
    layout->setColumnStretch(3, 1);
    setMinimumWidth(420);
}

std::optional<int> PlotRangeDialog::NewRange(const PlotStartBounds& bounds,
                                             bool currentIsRecalibrated, PlotType kind) {
    m_explanation->clear();
    m_caption->setText(kDefaultCaption);
    if (kind == PlotType::RawYPlots || kind == PlotType::RawUPlots) {
        m_caption->setText(QStringLiteral("Range start"));
        // Recalibrated predictions begin bounds.mixedFrom: on a short dataset that can lie
        // beyond every allowed start.
        if (!currentIsRecalibrated) {
            const QString mixed =
                bounds.mixedFrom <= bounds.largest
                    ? QStringLiteral(
                          "For a graph with raw and recalibrated predictions, select a "
                          "value equal to or higher than %1.")
                          .arg(bounds.mixedFrom)
                    : QStringLiteral(
                          "Raw and recalibrated predictions cannot be mixed on this "
                          "dataset: that needs a start of %1 or more, and the largest "
                          "allowed start is %2.")
                          .arg(bounds.mixedFrom)
                          .arg(bounds.largest);
            m_explanation->setText(QStringLiteral("For a graph with raw predictions plots only, "
                                                  "select any allowed value.\n") +
                                   mixed);
        }
    }
    return Ask(bounds.proposed, bounds.smallest, bounds.largest);
}

std::optional<int> PlotRangeDialog::UpdateRange(int value, int smallest, int largest) {
    m_explanation->clear();
    m_caption->setText(kDefaultCaption);
    return Ask(value, smallest, largest);
}

std::optional<int> PlotRangeDialog::Ask(int value, int smallest, int largest) {
    const QSignalBlocker blocker(m_upDown);
    m_upDown->setRange(smallest, largest);
    m_upDown->setValue(value);
    m_text->setText(QString::number(value));
    m_text->selectAll();
    m_text->setFocus();
    if (exec() != QDialog::Accepted) return std::nullopt;
    return ClampRangeEntry(m_text->text().toStdString(), value, smallest, largest);
}

}  // namespace tamsel
