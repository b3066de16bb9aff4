// What the work area shows while there is nothing to work on (no database, or no dataset
// current, and no window open): the next step as buttons, and the recent databases.
#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;

namespace tamsel {

class EmptyState : public QWidget {
    Q_OBJECT

  public:
    explicit EmptyState(QWidget* parent = nullptr);

    // Says what to do next: create or open a database when none is open, add or choose a
    // dataset when one is.
    void ShowNextStep(bool databaseOpen);

  signals:
    void newDatabaseRequested();
    void openDatabaseRequested();
    void openSharedProjectRequested();
    void addDataSetRequested();
    void selectDataSetRequested();
    void recentDatabaseChosen(const QString& entry);

  private:
    QLabel* m_heading;
    QLabel* m_hint;
    QPushButton* m_addDataSet;
    QPushButton* m_selectDataSet;
    QLabel* m_recentHeading;
    QListWidget* m_recent;
};

}  // namespace tamsel
