#include "shell/import_preview.h"

#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QSignalBlocker>
#include <QTableView>
#include <QTimeZone>
#include <QTimer>
#include <QtConcurrent>

#include "shell/qt_text.h"

namespace tamsel {
namespace {

// How long typing in the origin or the zone may pause before the file is read again.
constexpr int kTypingPauseMs = 400;

// The file read with options; when the column of failure times holds date-times that only
// want an origin, read again measured from origin (when given) in zone and unit. Other refusals
// of date-times (a spreadsheet's serial numbers, dates in a form not read) stand at once.
PreviewReading ReadPreview(const std::string& fileName, TableOptions options,
                           const std::string& origin, const std::string& zone, TimeUnit unit) {
    PreviewReading reading{options, ReadTableFile(fileName, options)};
    if (reading.result.refusal && reading.result.refusal->wantsOrigin) {
        reading.needsOrigin = origin.empty();
        if (!reading.needsOrigin) {
            reading.options.timestamps = TimestampOptions{origin, zone, unit};
            reading.result = ReadTableFile(fileName, reading.options);
        }
    }
    return reading;
}

// "2 'time' (numbers)", as `inspect` lists the columns.
QString ColumnText(const TableSummary& summary, std::size_t column) {
    QString text = QString::number(column + 1);
    const TableColumn& info = summary.columns[column];
    if (!info.name.empty()) text += QStringLiteral(" '%1'").arg(ToQString(info.name));
    return text + QStringLiteral(" (%1)").arg(ToQString(std::string(ColumnTypeName(info.type))));
}

QComboBox* ChoiceBox(QWidget* parent, const char* name,
                     std::initializer_list<std::pair<const char*, int>> items) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    for (const auto& [text, value] : items) box->addItem(QLatin1String(text), value);
    return box;
}

QLabel* BuddyLabel(const char* text, QWidget* buddy) {
    auto* label = new QLabel(QLatin1String(text), buddy->parentWidget());
    label->setBuddy(buddy);
    return label;
}

}  // namespace

void PreviewTableModel::SetSummary(const TableSummary& summary) {
    beginResetModel();
    m_summary = summary;
    std::size_t columns = m_summary.columns.size();
    for (const auto& row : m_summary.firstRows) columns = std::max(columns, row.size());
    m_columns = static_cast<int>(columns);
    endResetModel();
}

int PreviewTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_summary.firstRows.size());
}

int PreviewTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_columns;
}

QVariant PreviewTableModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
    const auto column = static_cast<std::size_t>(index.column());
    if (role == Qt::DisplayRole) {
        const auto& row = m_summary.firstRows[static_cast<std::size_t>(index.row())];
        return column < row.size() ? ToQString(row[column]) : QString();
    }
    if (role == Qt::BackgroundRole && m_summary.chosenColumn == column) {
        QColor highlight = QApplication::palette().color(QPalette::Highlight);
        highlight.setAlpha(60);
        return highlight;
    }
    return {};
}

QVariant PreviewTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (section < 0) return {};
    const auto column = static_cast<std::size_t>(section);
    if (orientation == Qt::Vertical) {
        if (role != Qt::DisplayRole || section >= rowCount()) return {};
        return section + 1;
    }
    if (section >= m_columns) return {};
    if (role == Qt::DisplayRole) {
        QString text = QString::number(section + 1);
        if (column < m_summary.columns.size() && !m_summary.columns[column].name.empty()) {
            text += QLatin1Char(' ') + ToQString(m_summary.columns[column].name);
        }
        return text;
    }
    if (role == Qt::FontRole && m_summary.chosenColumn == column) {
        QFont font;
        font.setBold(true);
        return font;
    }
    return {};
}

ImportPreview::ImportPreview(QWidget* parent)
    : QWidget(parent),
      m_typing(new QTimer(this)),
      m_model(new PreviewTableModel(this)),
      m_delimiter(ChoiceBox(this, "cboDelimiter",
                            {{"Detect", int(Delimiter::Auto)},
                             {"Comma", int(Delimiter::Comma)},
                             {"Semicolon", int(Delimiter::Semicolon)},
                             {"Tab", int(Delimiter::Tab)},
                             {"Blanks", int(Delimiter::Blanks)},
                             {"Pipe", int(Delimiter::Pipe)}})),
      m_header(ChoiceBox(this, "cboHeader",
                         {{"Detect", int(HeaderChoice::Auto)},
                          {"Yes", int(HeaderChoice::Present)},
                          {"No", int(HeaderChoice::Absent)}})),
      m_decimalMark(ChoiceBox(this, "cboDecimalMark",
                              {{"Detect", int(DecimalMark::Detect)},
                               {"Point", int(DecimalMark::Point)},
                               {"Comma", int(DecimalMark::Comma)}})),
      m_column(new QComboBox(this)),
      m_timestamps(new QWidget(this)),
      m_origin(new QLineEdit(m_timestamps)),
      m_unit(ChoiceBox(m_timestamps, "cboUnit",
                       {{"seconds", int(TimeUnit::Seconds)},
                        {"minutes", int(TimeUnit::Minutes)},
                        {"hours", int(TimeUnit::Hours)},
                        {"days", int(TimeUnit::Days)}})),
      m_zone(new QComboBox(m_timestamps)),
      m_table(new QTableView(this)),
      m_summary(new QLabel(this)),
      m_message(new QLabel(this)) {
    setObjectName(QStringLiteral("ImportPreview"));
    m_typing->setSingleShot(true);
    m_typing->setInterval(kTypingPauseMs);
    m_decimalMark->setToolTip(
        QStringLiteral("Detect reads decimal commas in a semicolon-separated file whose numbers "
                       "hold commas, and decimal points otherwise"));
    m_column->setObjectName(QStringLiteral("cboColumn"));
    m_column->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_timestamps->setObjectName(QStringLiteral("fraTimestamps"));
    m_origin->setObjectName(QStringLiteral("txtOrigin"));
    m_origin->setPlaceholderText(QStringLiteral("YYYY-MM-DD HH:MM"));
    m_origin->setMinimumWidth(
        m_origin->fontMetrics().horizontalAdvance(QStringLiteral("2024-03-01 08:00:00+01:00")) +
        12);
    m_unit->setCurrentIndex(m_unit->findData(int(TimeUnit::Hours)));
    m_zone->setObjectName(QStringLiteral("cboTimeZone"));
    m_zone->setEditable(true);
    m_zone->setInsertPolicy(QComboBox::NoInsert);
    for (const QByteArray& zone : QTimeZone::availableTimeZoneIds()) {
        m_zone->addItem(QString::fromLatin1(zone));
    }
    m_zone->setCurrentText(QStringLiteral("UTC"));
    m_table->setObjectName(QStringLiteral("tblPreview"));
    m_table->setModel(m_model);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setMinimumSectionSize(
        m_table->fontMetrics().horizontalAdvance(QStringLiteral("0000000")));
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->setMinimumHeight(m_table->verticalHeader()->defaultSectionSize() * 9);
    m_summary->setObjectName(QStringLiteral("lblPreviewSummary"));
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_message->setObjectName(QStringLiteral("lblPreviewMessage"));
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* stamps = new QHBoxLayout(m_timestamps);
    stamps->setContentsMargins(0, 0, 0, 0);
    stamps->addWidget(BuddyLabel("Origin (start of testing):", m_origin));
    stamps->addWidget(m_origin, 1);
    stamps->addWidget(BuddyLabel("Unit:", m_unit));
    stamps->addWidget(m_unit);
    stamps->addWidget(BuddyLabel("Time zone:", m_zone));
    stamps->addWidget(m_zone, 1);
    m_timestamps->hide();

    auto* reading = new QHBoxLayout;
    reading->addWidget(BuddyLabel("Delimiter:", m_delimiter));
    reading->addWidget(m_delimiter);
    reading->addSpacing(12);
    reading->addWidget(BuddyLabel("Header line:", m_header));
    reading->addWidget(m_header);
    reading->addSpacing(12);
    reading->addWidget(BuddyLabel("Decimal mark:", m_decimalMark));
    reading->addWidget(m_decimalMark);
    reading->addStretch(1);
    auto* column = new QHBoxLayout;
    column->addWidget(BuddyLabel("Column of failure times:", m_column));
    column->addWidget(m_column);
    column->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(reading);
    layout->addLayout(column);
    layout->addWidget(m_timestamps);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_summary);
    layout->addWidget(m_message);

    auto read = [this] { Read(); };
    connect(m_delimiter, &QComboBox::currentIndexChanged, this, [this] {
        // The columns split anew: a column number chosen before may name another one now.
        const QSignalBlocker blocker(m_column);
        m_column->setCurrentIndex(0);
        Read();
    });
    connect(m_header, &QComboBox::currentIndexChanged, this, read);
    connect(m_decimalMark, &QComboBox::currentIndexChanged, this, read);
    connect(m_column, &QComboBox::currentIndexChanged, this, read);
    connect(m_unit, &QComboBox::currentIndexChanged, this, read);
    connect(m_origin, &QLineEdit::textChanged, this, &ImportPreview::ReadSoon);
    connect(m_zone, &QComboBox::currentTextChanged, this, &ImportPreview::ReadSoon);
    connect(m_origin, &QLineEdit::editingFinished, this, [this] {
        if (m_pending) Read();
    });
    connect(m_typing, &QTimer::timeout, this, read);
    connect(&m_reading, &QFutureWatcher<PreviewReading>::finished, this,
            &ImportPreview::ReadingEnded);
    Read();
}

void ImportPreview::SetFile(const QString& fileName) {
    m_file = fileName;
    Read();
}

bool ImportPreview::ReadsCleanly() const { return m_clean && !m_pending; }

void ImportPreview::ReadSoon() {
    // OK waits for the reading of what is being typed.
    m_pending = true;
    m_typing->start();
    emit changed();
}

TableOptions ImportPreview::OptionsShown() const {
    TableOptions options;
    options.delimiter = static_cast<Delimiter>(m_delimiter->currentData().toInt());
    options.header = static_cast<HeaderChoice>(m_header->currentData().toInt());
    const auto mark = static_cast<DecimalMark>(m_decimalMark->currentData().toInt());
    options.decimalComma = mark == DecimalMark::Comma;
    options.decimalPoint = mark == DecimalMark::Point;
    options.column = ToStdString(m_column->currentData().toString());
    return options;
}

void ImportPreview::Read() {
    m_typing->stop();
    m_pending = true;
    if (m_reading.isRunning()) {
        m_readAgain = true;
    } else if (m_file.isEmpty()) {
        m_pending = false;
        m_options = OptionsShown();
        m_clean = false;
        ShowColumns({});
        m_timestamps->hide();
        ShowResult({}, false);
    } else {
        StartReading();
    }
    emit changed();
}

void ImportPreview::StartReading() {
    m_reading.setFuture(QtConcurrent::run(
        &ReadPreview, ToStdString(m_file), OptionsShown(), ToStdString(m_origin->text().trimmed()),
        ToStdString(m_zone->currentText()), static_cast<TimeUnit>(m_unit->currentData().toInt())));
}

void ImportPreview::ReadingEnded() {
    if (m_readAgain) {
        m_readAgain = false;
        Read();
        return;
    }
    const PreviewReading reading = m_reading.result();
    m_pending = m_typing->isActive();  // typed while this was read
    m_options = reading.options;
    m_clean = !reading.result.refusal && !reading.needsOrigin;
    ShowColumns(reading.result.summary);
    m_timestamps->setVisible(reading.needsOrigin || reading.options.timestamps);
    ShowResult(reading.result, reading.needsOrigin);
    emit changed();
}

void ImportPreview::ShowColumns(const TableSummary& summary) {
    const QSignalBlocker blocker(m_column);
    const QString chosen = ToQString(m_options.column);
    m_column->clear();
    QString detect = QStringLiteral("Detect");
    if (chosen.isEmpty() && summary.chosenColumn) {
        detect += QStringLiteral(": ") + ColumnText(summary, *summary.chosenColumn);
    }
    m_column->addItem(detect, QString());
    for (std::size_t c = 0; c < summary.columns.size(); ++c) {
        m_column->addItem(ColumnText(summary, c), QString::number(c + 1));
    }
    m_column->setCurrentIndex(std::max(0, m_column->findData(chosen)));
}

void ImportPreview::ShowResult(const TableResult& result, bool needsOrigin) {
    const TableSummary& summary = result.summary;
    m_model->SetSummary(summary);
    m_table->resizeColumnsToContents();
    if (m_file.isEmpty()) {
        m_summary->clear();
        m_message->setText(QStringLiteral("Choose a data file to see how it reads."));
        m_message->setStyleSheet({});
        return;
    }
    QStringList lines{
        QStringLiteral("Delimiter: %1    Header line: %2    Decimal mark: %3")
            .arg(ToQString(std::string(DelimiterName(summary.delimiter))),
                 summary.header ? QStringLiteral("yes") : QStringLiteral("no"),
                 summary.decimalComma ? QStringLiteral("comma") : QStringLiteral("point"))};
    if (!summary.timeBase.empty()) lines.append(ToQString("Times in " + summary.timeBase));
    const AutomaticType automatic = DetectAutomaticType(result.values);
    if (m_clean) {
        const bool interfailure = automatic.type == DataType::Interfailure;
        lines.append(QStringLiteral("Values: %1, read as %2")
                         .arg(result.values.size())
                         .arg(interfailure ? QStringLiteral("interfailure times")
                                           : QStringLiteral("cumulative failure times")));
    }
    m_summary->setText(lines.join(QLatin1Char('\n')));

    QStringList notes;
    for (const std::string& note : summary.notes) notes.append(ToQString("Note: " + note));
    if (m_clean && !automatic.note.empty()) notes.append(ToQString("Note: " + automatic.note));
    if (needsOrigin) {
        notes.append(
            QStringLiteral("The column of failure times holds date-times: enter the "
                           "start of testing as the origin to measure them from."));
    }
    // Without an origin the reader's refusal would name the command line's option.
    const bool refused = result.refusal && !needsOrigin;
    if (refused) {
        const TableRefusal& refusal = *result.refusal;
        notes = QStringList{
            ToDisplayText(DataFaultMessage(refusal.fault, refusal.whileReading, refusal.detail))};
    }
    m_message->setText(notes.join(QLatin1Char('\n')));
    // A refusal stands out from the notes.
    m_message->setStyleSheet(refused ? QStringLiteral("color: #b00020;") : QString());
}

}  // namespace tamsel
