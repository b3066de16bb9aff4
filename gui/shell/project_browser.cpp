#include "shell/project_browser.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QSignalBlocker>

#include "shell/qt_text.h"
#include "tamsel/workbench/project_overview.h"

namespace tamsel {
namespace {

enum Column { kName, kRange, kFits, kRank, kColumns };
// Each item carries its dataset's name and, for a set, its key and kind.
constexpr int kDataSetRole = Qt::UserRole;
constexpr int kSetIdRole = Qt::UserRole + 1;
constexpr int kRecalibratedRole = Qt::UserRole + 2;

QString RankText(const std::optional<int>& rank, int count) {
    return rank ? QStringLiteral("%1 of %2").arg(*rank).arg(count) : QString();
}

QTreeWidgetItem* SetItem(const SetOverview& set, const DataSetOverview& dataSet) {
    auto* item = new QTreeWidgetItem;
    item->setText(kName, ToQString(set.label + "  " + set.model));
    item->setToolTip(kName, ToQString(set.model));
    item->setText(kRange, ToQString(set.range));
    item->setText(kFits, ToQString(set.fitBadge));
    item->setToolTip(kFits, ToQString(set.fitSummary));
    item->setText(kRank, RankText(set.rank, dataSet.setCount));
    item->setToolTip(kRank, QStringLiteral("Rank by prequential likelihood among the sets of ") +
                                ToQString(dataSet.name));
    item->setData(kName, kDataSetRole, ToQString(dataSet.name));
    item->setData(kName, kSetIdRole, set.set.id);
    item->setData(kName, kRecalibratedRole, set.set.recalibrated);
    return item;
}

}  // namespace

ProjectBrowser::ProjectBrowser(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("ProjectBrowser"));
    setColumnCount(kColumns);
    setHeaderLabels({QStringLiteral("Dataset / set"), QStringLiteral("Range"),
                     QStringLiteral("Fits"), QStringLiteral("Rank")});
    header()->setSectionResizeMode(kName, QHeaderView::Stretch);
    for (int column : {kRange, kFits, kRank}) {
        header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    header()->setStretchLastSection(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> chosen = selectedItems();
        if (!chosen.isEmpty()) Choose(chosen.front());
    });
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this] { emit tableRequested(); });
}

void ProjectBrowser::contextMenuEvent(QContextMenuEvent* event) {
    QTreeWidgetItem* item = itemAt(viewport()->mapFromGlobal(event->globalPos()));
    if (!item) return;
    // The menu acts on the current selection: the item becomes current first.
    if (!item->isSelected()) setCurrentItem(item);
    emit menuRequested(event->globalPos());
}

void ProjectBrowser::Follow(Database* db, const CurrentSelection& selection) {
    const QSignalBlocker quiet(this);
    if (db != m_db || m_stale) {
        m_db = db;
        m_stale = false;
        clear();
        if (db) Rebuild(*db);
    }
    QTreeWidgetItem* item = ItemOf(selection);
    setCurrentItem(item);
    if (!item) clearSelection();
}

void ProjectBrowser::Rebuild(Database& db) {
    const std::optional<std::vector<DataSetOverview>> overview = ProjectOverview(db);
    if (!overview) return;
    for (const DataSetOverview& dataSet : *overview) {
        auto* top = new QTreeWidgetItem(this);
        top->setText(kName, ToQString(dataSet.name));
        top->setText(kRange, QStringLiteral("%1 failures").arg(dataSet.failures));
        top->setData(kName, kDataSetRole, ToQString(dataSet.name));
        top->setData(kName, kSetIdRole, 0);
        for (const SetOverview& set : dataSet.sets) {
            QTreeWidgetItem* raw = SetItem(set, dataSet);
            top->addChild(raw);
            for (const SetOverview& made : set.recalibrated) raw->addChild(SetItem(made, dataSet));
        }
    }
    expandAll();
}

void ProjectBrowser::Choose(QTreeWidgetItem* item) {
    emit itemChosen(item->data(kName, kDataSetRole).toString(),
                    item->data(kName, kSetIdRole).toInt(),
                    item->data(kName, kRecalibratedRole).toBool());
}

QTreeWidgetItem* ProjectBrowser::ItemOf(const CurrentSelection& selection) const {
    const QString dataSet = ToQString(selection.dataSetName);
    const int id = selection.recalibrated ? selection.predictionsSetId : selection.estimatesSetId;
    for (QTreeWidgetItemIterator it(const_cast<ProjectBrowser*>(this)); *it; ++it) {
        const QTreeWidgetItem* item = *it;
        if (item->data(kName, kDataSetRole).toString() == dataSet &&
            item->data(kName, kSetIdRole).toInt() == id &&
            item->data(kName, kRecalibratedRole).toBool() == selection.recalibrated) {
            return *it;
        }
    }
    return nullptr;
}

}  // namespace tamsel
