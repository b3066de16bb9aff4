// The preview of "Create a dataset": how the chosen data file reads with the chosen options,
// as `tamsel-cli inspect` shows it. The import then reads the file with Options().
#pragma once

#include <QAbstractTableModel>
#include <QFutureWatcher>
#include <QWidget>

#include "tamsel/workbench/project.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;
class QTimer;

namespace tamsel {

// The first rows of a table as read, the column of failure times highlighted.
class PreviewTableModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetSummary(const TableSummary& summary);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    TableSummary m_summary;
    int m_columns = 0;  // the widest of the header and the rows
};

// A reading of the preview: the options the file was read with and what came of them.
struct PreviewReading {
    TableOptions options;
    TableResult result;
    bool needsOrigin = false;  // the column holds date-times and no origin was given
};

// The choice between the reader's decimal comma and decimal point options, which exclude each
// other.
enum class DecimalMark { Detect, Point, Comma };

// Reads on a worker thread, so that a large file leaves the dialog responsive; a change made
// while a reading runs is read once that one has ended.
class ImportPreview : public QWidget {
    Q_OBJECT

  public:
    explicit ImportPreview(QWidget* parent = nullptr);

    // Reads fileName, again when it is the file already shown (it may have been edited).
    void SetFile(const QString& fileName);

    // True when the file reads without a refusal with the options shown.
    bool ReadsCleanly() const;
    // True until the reading of the options shown has ended.
    bool IsReading() const { return m_pending; }
    // The options of the reading shown; the import reads the file with exactly these.
    const TableOptions& Options() const { return m_options; }

  signals:
    // The preview was read again, or is about to be: ReadsCleanly() may have changed.
    void changed();

  private:
    void Read();
    void ReadSoon();
    void StartReading();
    void ReadingEnded();
    TableOptions OptionsShown() const;
    void ShowColumns(const TableSummary& summary);
    void ShowResult(const TableResult& result, bool needsOrigin);

    QString m_file;
    TableOptions m_options;
    bool m_clean = false;
    bool m_pending = false;  // the options shown have not been read yet
    bool m_readAgain = false;
    QFutureWatcher<PreviewReading> m_reading;
    QTimer* m_typing;
    PreviewTableModel* m_model;
    QComboBox* m_delimiter;
    QComboBox* m_header;
    QComboBox* m_decimalMark;
    QComboBox* m_column;
    QWidget* m_timestamps;
    QLineEdit* m_origin;
    QComboBox* m_unit;
    QComboBox* m_zone;
    QTableView* m_table;
    QLabel* m_summary;
    QLabel* m_message;
};

}  // namespace tamsel
