#include "tools/widgets/FindWindow.h"

#include "board/Board.h"
#include "platform/widgets/Dialogs.h"
#include "tools/widgets/AreaNumberField.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDate>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QThread>
#include <QTreeView>
#include <QVBoxLayout>

namespace qv {

namespace {
constexpr int kTwipsPerInch = 1440;

QRadioButton* radio(const char* name, const QString& text, QWidget* parent)
{
    auto* b = new QRadioButton(text, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}
}

FindWindow::FindWindow(const Board& board, Dialogs& dialogs, bool useLongNames, ResultRowLook look, QWidget* parent)
    // A tool window stays above the browser window it serves, never behind it.
    : QWidget(parent, parent ? Qt::Tool : Qt::Window)
    , m_board(board)
    , m_dialogs(dialogs)
    , m_useLongNames(useLongNames)
    , m_search(std::make_unique<FileSearch>(board))
{
    setObjectName("Form5");
    setWindowTitle(QStringLiteral("Search File"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_highestArea = m_search->highestArea();
    m_selectorItems = int(board.numberedAreaItems().size());

    auto* frame = new QGroupBox(QStringLiteral("Search"), this);
    frame->setObjectName("Frame1");
    m_text = new QLineEdit(frame);
    m_text->setObjectName("Text1");
    m_keyword = radio("search0", QStringLiteral("&Keyword"), frame);
    m_filename = radio("search1", QStringLiteral("File&name"), frame); // Alt+F is "&Find"
    m_keyword->setChecked(true);

    m_begin = radio("optBegin", QStringLiteral("&Begin"), frame);
    m_fromOption = radio("optFrom", QString(), frame);
    m_end = radio("optEnd", QStringLiteral("&End"), frame);
    m_toOption = radio("optTo", QString(), frame);
    for (auto [a, b] : { std::pair { m_begin, m_fromOption }, std::pair { m_end, m_toOption } }) {
        auto* group = new QButtonGroup(frame);
        group->addButton(a);
        group->addButton(b);
    }
    m_begin->setChecked(true);
    m_end->setChecked(true);
    m_from = new AreaNumberField(frame);
    m_from->setObjectName("txtFrom");
    m_to = new AreaNumberField(frame);
    m_to->setObjectName("txtTo");
    m_from->setValue(1);
    m_to->setValue(m_highestArea);
    m_from->setEnabled(false);
    m_to->setEnabled(false);
    for (AreaNumberField* f : { m_from, m_to })
        f->setMinimumWidth(f->fontMetrics().horizontalAdvance(QStringLiteral("65534")) + 36);
    // The spinners' own rules, kept as they were drawn.
    m_from->setStepRule([this] {
        QAbstractSpinBox::StepEnabled s = QAbstractSpinBox::StepNone;
        const int v = m_from->value();
        if (v > 2)
            s |= QAbstractSpinBox::StepDownEnabled;
        if (v < m_to->value() && v < m_selectorItems - 1)
            s |= QAbstractSpinBox::StepUpEnabled;
        return s;
    });
    m_to->setStepRule([this] {
        QAbstractSpinBox::StepEnabled s = QAbstractSpinBox::StepNone;
        const int v = m_to->value();
        if (v > 2 && v > m_from->value())
            s |= QAbstractSpinBox::StepDownEnabled;
        if (v < m_selectorItems - 1)
            s |= QAbstractSpinBox::StepUpEnabled;
        return s;
    });
    connect(m_fromOption, &QRadioButton::toggled, m_from, &QWidget::setEnabled);
    connect(m_toOption, &QRadioButton::toggled, m_to, &QWidget::setEnabled);
    connect(m_from, &QAbstractSpinBox::editingFinished, this, [this] { checkNumberField(m_from); });
    connect(m_to, &QAbstractSpinBox::editingFinished, this, [this] { checkNumberField(m_to); });

    m_find = new QPushButton(QStringLiteral("&Find"), frame);
    m_find->setObjectName("Command3");
    m_find->setDefault(true);
    m_close = new QPushButton(QStringLiteral("&Close"), frame);
    m_close->setObjectName("Command2");
    connect(m_find, &QPushButton::clicked, this, &FindWindow::find);
    // Not a dialog, so neither the default button nor Escape work by themselves.
    connect(m_text, &QLineEdit::returnPressed, this, &FindWindow::find);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    connect(m_close, &QPushButton::clicked, this, &FindWindow::closeOrStop);

    auto* modes = new QHBoxLayout;
    modes->addWidget(m_keyword);
    modes->addWidget(m_filename);
    modes->addStretch(1);
    auto* range = new QHBoxLayout;
    auto* rangeLabel = new QLabel(QStringLiteral("Range:"), frame);
    rangeLabel->setObjectName("Label1");
    auto* toLabel = new QLabel(QStringLiteral("to"), frame);
    toLabel->setObjectName("Label2");
    range->addWidget(rangeLabel);
    range->addWidget(m_begin);
    range->addWidget(m_fromOption);
    range->addWidget(m_from);
    range->addSpacing(8);
    range->addWidget(toLabel);
    range->addSpacing(8);
    range->addWidget(m_end);
    range->addWidget(m_toOption);
    range->addWidget(m_to);
    range->addStretch(1);
    auto* fields = new QVBoxLayout;
    fields->addWidget(m_text);
    fields->addLayout(modes);
    fields->addLayout(range);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_find);
    buttons->addWidget(m_close);
    buttons->addStretch(1);
    auto* frameLayout = new QHBoxLayout(frame);
    frameLayout->addLayout(fields, 1);
    frameLayout->addLayout(buttons);

    m_model = new FindResultsModel(board.codePage(), std::move(look), this);
    m_view = new QTreeView(this);
    m_view->setObjectName("ListView1");
    m_view->setModel(m_model);
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->setItemsExpandable(false);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->header()->setStretchLastSection(false);
    const int dpi = logicalDpiX();
    for (int c = 0; c < FindResultsModel::ColumnCount; ++c)
        m_view->setColumnWidth(c, FindResultsModel::columnWidthTwips(c) * dpi / kTwipsPerInch);
    // The twip widths were made for a narrow DOS-era face; a date or a count must still fit.
    const QFontMetrics fm = m_view->fontMetrics();
    const int dateWidth
        = fm.horizontalAdvance(QLocale::system().toString(QDate(2000, 12, 28), QLocale::ShortFormat)) + 16;
    for (int c : { FindResultsModel::FileDate, FindResultsModel::UploadDate, FindResultsModel::DownloadDate })
        m_view->setColumnWidth(c, std::max(m_view->columnWidth(c), dateWidth));
    m_view->setColumnWidth(FindResultsModel::Downloads,
        std::max(m_view->columnWidth(FindResultsModel::Downloads), fm.horizontalAdvance(QStringLiteral("99999")) + 12));
    connect(m_view, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        if (!index.isValid())
            return;
        const FindResultsModel::Row& row = m_model->row(index.row());
        const QByteArray record = row.position > 0
            ? QByteArray(reinterpret_cast<const char*>(row.entry.record.data()), qsizetype(row.entry.record.size()))
            : QByteArray();
        emit goTo(row.area, row.position, record);
    });

    auto* status = new QStatusBar(this);
    status->setObjectName("StatusBar1");
    status->setSizeGripEnabled(false);
    m_panel1 = new QLabel(status);
    m_panel1->setObjectName("StatusPanel1");
    m_panel1->setMinimumWidth(160);
    m_panel2 = new QLabel(status);
    m_panel2->setObjectName("StatusPanel2");
    status->addWidget(m_panel1);
    status->addWidget(m_panel2, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(m_view, 1);
    layout->addWidget(status);
    layout->setContentsMargins(6, 6, 6, 0);

    resize(11500 * dpi / kTwipsPerInch, 6000 * logicalDpiY() / kTwipsPerInch);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

FindWindow::~FindWindow()
{
    // The fields lose the focus while the children go; there is nothing to check by then.
    m_from->disconnect(this);
    m_to->disconnect(this);
    m_stop = true;
    joinWorker();
}

void FindWindow::joinWorker()
{
    if (m_worker.joinable())
        m_worker.join();
}

void FindWindow::waitForSearch()
{
    while (searching()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    QCoreApplication::processEvents();
}

void FindWindow::setStatus(const QString& first, const QString& second)
{
    m_panel1->setText(first);
    m_panel2->setText(second);
}

void FindWindow::checkNumberField(AreaNumberField* field)
{
    if (m_checking)
        return;
    const qint64 v = field->typedValue();
    if (v < 1 || v > AreaNumberField::kMaximum) {
        m_checking = true;
        m_dialogs.message(this, QStringLiteral("Error!"), QStringLiteral("Value out of range (1 - 65534)"),
            Dialogs::Icon::Exclamation);
        field->setFocus();
        m_checking = false;
        return;
    }
    field->setValue(int(v));
}

void FindWindow::find()
{
    const QString text = m_text->text().trimmed();
    if (text.isEmpty() || searching())
        return;
    m_model->clear();
    setStatus({}, {});
    const int first = m_begin->isChecked() ? 1 : m_from->value();
    const int last = std::min(m_end->isChecked() ? m_highestArea : m_to->value(), m_highestArea);
    if (last < first) {
        m_dialogs.message(
            this, QStringLiteral("Error!"), QStringLiteral("Invalid range specified!"), Dialogs::Icon::Exclamation);
        return;
    }
    m_find->setEnabled(false);
    m_close->setText(QStringLiteral("&Stop"));
    m_stop = false;
    SearchQuery query;
    query.mode = m_filename->isChecked() ? SearchQuery::Mode::FileName : SearchQuery::Mode::Keyword;
    query.text = text;
    query.firstArea = first;
    query.lastArea = last;
    query.useLongNames = m_useLongNames;
    query.rowLimit = kRowLimit;
    // Rows travel to this thread as queued calls; they are dropped if the window is gone.
    m_worker = std::thread([this, query] {
        const FileSearch::Callbacks callbacks {
            [this](int area) {
                QMetaObject::invokeMethod(
                    this,
                    [this, area] {
                        if (!m_stop)
                            setStatus(QStringLiteral("Searching area ") + QString::number(area), {});
                    },
                    Qt::QueuedConnection);
            },
            [this](const SearchHit& hit) {
                QMetaObject::invokeMethod(
                    this, [this, hit] { onHit(hit); }, Qt::QueuedConnection);
            },
        };
        const SearchOutcome outcome = m_search->run(query, m_stop, callbacks);
        QMetaObject::invokeMethod(
            this, [this, outcome] { onFinished(outcome); }, Qt::QueuedConnection);
    });
}

void FindWindow::setQuery(const QString& text, bool byName)
{
    m_text->setText(text);
    (byName ? m_filename : m_keyword)->setChecked(true);
}

QString FindWindow::queryText() const
{
    return m_text->text();
}

bool FindWindow::queryByName() const
{
    return m_filename->isChecked();
}

void FindWindow::onHit(const SearchHit& hit)
{
    if (hit.firstOfArea)
        m_model->addAreaRow(hit.area, m_board.areaName(hit.area));
    m_model->addHit(hit.area, hit.position, hit.row);
}

void FindWindow::onFinished(SearchOutcome outcome)
{
    joinWorker();
    if (m_closed)
        return;
    if (outcome == SearchOutcome::RowLimit)
        m_dialogs.message(this, QStringLiteral("Find file"), QStringLiteral("Maximum of 1500 found files exeeded!"),
            Dialogs::Icon::Warning);
    m_find->setEnabled(true);
    m_close->setText(QStringLiteral("&Close"));
    const int rows = m_model->rowCount();
    setStatus(QString::number(rows) + QStringLiteral(" Object(s) found"),
        rows > 0 ? QStringLiteral("Double-click on item to go to area") : QString());
}

void FindWindow::closeOrStop()
{
    if (searching()) {
        m_stop = true;
        setStatus({}, {});
        return;
    }
    close();
}

void FindWindow::closeEvent(QCloseEvent* event)
{
    m_stop = true;
    joinWorker();
    m_closed = true;
    emit closed();
    event->accept();
}

} // namespace qv
