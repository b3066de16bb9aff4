// The project browser: a tree of the open project's datasets, their estimates sets and the
// recalibrated sets made from each, with range, fit outcomes and prediction-quality rank.
// Choosing an item asks for it to become current; the tree follows the current selection.
#pragma once

#include <QTreeWidget>

#include "tamsel/workbench/project.h"

namespace tamsel {

class Database;

class ProjectBrowser : public QTreeWidget {
    Q_OBJECT

  public:
    explicit ProjectBrowser(QWidget* parent = nullptr);

    // Rebuilds the tree when db is another one or the tree is stale, then marks the item of
    // selection without emitting anything.
    void Follow(Database* db, const CurrentSelection& selection);
    // The project's datasets or sets have changed: the next Follow rebuilds the tree.
    void Invalidate() { m_stale = true; }

  signals:
    // The user chose a dataset (set.id == 0) or a set of dataSetName.
    void itemChosen(const QString& dataSetName, int setId, bool recalibrated);
    // The user double-clicked an item: its table is wanted.
    void tableRequested();
    // The user asked for the context menu at globalPosition, with the item made current.
    void menuRequested(const QPoint& globalPosition);

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void Rebuild(Database& db);
    void Choose(QTreeWidgetItem* item);
    QTreeWidgetItem* ItemOf(const CurrentSelection& selection) const;

    Database* m_db = nullptr;
    // Ranks take an evaluation of every dataset: the tree is rebuilt only when it must be.
    bool m_stale = true;
};

}  // namespace tamsel
