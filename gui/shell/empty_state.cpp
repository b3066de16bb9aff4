#include "shell/empty_state.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/named_button.h"
#include "shell/qt_text.h"
#include "shell/recent_databases.h"
#include "tamsel/workbench/project.h"

namespace tamsel {

EmptyState::EmptyState(QWidget* parent)
    : QWidget(parent),
      m_heading(new QLabel(this)),
      m_hint(new QLabel(this)),
      m_addDataSet(
          MakeButton(QStringLiteral("Add Dataset..."), QStringLiteral("cmdAddDataset"), this)),
      m_selectDataSet(MakeButton(QStringLiteral("Select Dataset..."),
                                 QStringLiteral("cmdSelectDataset"), this)),
      m_recentHeading(new QLabel(QStringLiteral("Recent databases"), this)),
      m_recent(new QListWidget(this)) {
    setObjectName(QStringLiteral("EmptyState"));
    setAutoFillBackground(true);
    QFont headingFont = m_heading->font();
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.5);
    headingFont.setBold(true);
    m_heading->setFont(headingFont);
    m_hint->setWordWrap(true);
    QFont recentFont = m_recentHeading->font();
    recentFont.setBold(true);
    m_recentHeading->setFont(recentFont);
    m_recent->setObjectName(QStringLiteral("lstRecentDatabases"));
    m_recent->setMaximumHeight(180);

    QPushButton* newDatabase =
        MakeButton(QStringLiteral("New Database..."), QStringLiteral("cmdNewDatabase"), this);
    QPushButton* openDatabase =
        MakeButton(QStringLiteral("Open Database..."), QStringLiteral("cmdOpenDatabase"), this);
    QPushButton* openShared = MakeButton(QStringLiteral("Open Shared Project..."),
                                         QStringLiteral("cmdOpenSharedProject"), this);
    connect(newDatabase, &QPushButton::clicked, this, &EmptyState::newDatabaseRequested);
    connect(openDatabase, &QPushButton::clicked, this, &EmptyState::openDatabaseRequested);
    connect(openShared, &QPushButton::clicked, this, &EmptyState::openSharedProjectRequested);
    connect(m_addDataSet, &QPushButton::clicked, this, &EmptyState::addDataSetRequested);
    connect(m_selectDataSet, &QPushButton::clicked, this, &EmptyState::selectDataSetRequested);
    connect(m_recent, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        emit recentDatabaseChosen(item->data(Qt::UserRole).toString());
    });

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button :
         {newDatabase, openDatabase, openShared, m_addDataSet, m_selectDataSet}) {
        button->setMinimumHeight(button->sizeHint().height() * 3 / 2);
        buttons->addWidget(button);
    }
    buttons->addStretch();
    auto* column = new QVBoxLayout;
    column->addWidget(m_heading);
    column->addWidget(m_hint);
    column->addSpacing(12);
    column->addLayout(buttons);
    column->addSpacing(24);
    column->addWidget(m_recentHeading);
    column->addWidget(m_recent);
    column->addStretch();
    // The column keeps a readable width in the middle of a wide work area.
    auto* outer = new QHBoxLayout(this);
    outer->addStretch(1);
    outer->addLayout(column, 3);
    outer->addStretch(1);
    outer->setContentsMargins(24, 48, 24, 24);
    ShowNextStep(false);
}

void EmptyState::ShowNextStep(bool databaseOpen) {
    if (databaseOpen) {
        m_heading->setText(QStringLiteral("Choose a dataset"));
        m_hint->setText(QStringLiteral(
            "Add a dataset from a file of failure times, or choose one in the project browser "
            "on the left. Then apply models (Estimates > Apply Model) and plot them."));
    } else {
        m_heading->setText(QStringLiteral("Start with a project database"));
        m_hint->setText(QStringLiteral(
            "A database holds your datasets and every set of estimates made from them. Create "
            "a new one, open one, open a project your team shares on a server, or pick one you "
            "used lately."));
    }
    m_addDataSet->setEnabled(databaseOpen);
    m_selectDataSet->setEnabled(databaseOpen);
    m_recent->clear();
    for (const QString& entry : RecentDatabases()) {
        const QString shown = ShownLocation(entry);
        auto* item =
            new QListWidgetItem(IsServerLocation(ToStdString(entry))
                                    ? shown
                                    : QFileInfo(entry).fileName() + QStringLiteral("  —  ") + shown,
                                m_recent);
        item->setData(Qt::UserRole, entry);
    }
    const bool anyRecent = m_recent->count() > 0;
    m_recentHeading->setVisible(anyRecent);
    m_recent->setVisible(anyRecent);
}

}  // namespace tamsel
