#include "editing/widgets/PropertiesDialog.h"

#include "board/Messages.h"
#include "editing/widgets/StepButtons.h"
#include "platform/widgets/Dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QDate>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace qv {

namespace {

constexpr int kCountMax = 64000;
const char* const kAttributeCaptions[]
    = { "&Deleted", "&Unlisted", "&Free", "&Not available", "&Locked", "&Missing/Offline", "&No time" };

// Label, three date boxes with two separators between, and the stretching rest.
constexpr int kGridColumns = 7;

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

int numberIn(const QLineEdit* box)
{
    return box->text().trimmed().toInt();
}

void fitCharacters(QLineEdit* box, const QString& sample)
{
    box->setFixedWidth(box->fontMetrics().horizontalAdvance(sample) + 14);
}

} // namespace

PropertiesDialog::DateOrder PropertiesDialog::dateOrder(const QString& format)
{
    DateOrder order;
    const qsizetype at[]
        = { format.indexOf(QLatin1Char('M')), format.indexOf(QLatin1Char('d')), format.indexOf(QLatin1Char('y')) };
    if (at[0] < 0 || at[1] < 0 || at[2] < 0)
        return order;
    std::sort(order.parts.begin(), order.parts.end(), [&](int a, int b) { return at[a] < at[b]; });
    qsizetype i = at[order.parts[0]];
    while (i < format.size() && format[i].isLetter())
        ++i;
    qsizetype end = i;
    while (end < format.size() && !format[end].isLetter())
        ++end;
    const QString separator = format.mid(i, end - i).trimmed();
    if (!separator.isEmpty())
        order.separator = separator;
    return order;
}

QString PropertiesDialog::ruler()
{
    return QStringLiteral("123456789012345678901234567890123456789012345");
}

PropertiesDialog::PropertiesDialog(
    Dialogs& dialogs, const EntryFields& fields, const QFont& descriptionFont, Applier applier, QWidget* parent)
    : QDialog(parent)
    , m_dialogs(dialogs)
    , m_applier(std::move(applier))
    , m_comment(fields.comment)
{
    setObjectName("PropertiesDialog");
    setWindowTitle(m_comment ? QStringLiteral("Properties - Comment line")
                             : QStringLiteral("Properties - [") + fields.name + QStringLiteral("]"));
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName("tabProps");
    m_tabs->addTab(buildGeneral(), QStringLiteral("General"));
    m_tabs->addTab(buildSecurity(), QStringLiteral("Security"));
    m_tabs->addTab(buildDescription(descriptionFont), QStringLiteral("Description"));

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName("cmdOK");
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName("cmdCancel");
    m_apply = new QPushButton(QStringLiteral("&Apply"), this);
    m_apply->setObjectName("cmdApply");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : { m_ok, m_cancel, m_apply })
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_ok, &QPushButton::clicked, this, [this] {
        if (apply())
            accept();
    });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_apply, &QPushButton::clicked, this, [this] { apply(); });

    load(fields);
    if (m_comment) {
        // A comment line carries only its text.
        m_tabs->widget(0)->setEnabled(false);
        m_tabs->widget(1)->setEnabled(false);
    }
    showPage(Page::General);
}

QLineEdit* PropertiesDialog::numberBox(const char* name, int maxLength, PropertyField field)
{
    auto* box = new QLineEdit;
    box->setObjectName(name);
    box->setMaxLength(maxLength);
    static const QRegularExpression digits(QStringLiteral("[0-9]*"));
    box->setValidator(new QRegularExpressionValidator(digits, box));
    fitCharacters(box, QString(maxLength, QLatin1Char('0')));
    box->installEventFilter(this);
    m_rangeChecked.insert(box, field);
    return box;
}

QWidget* PropertiesDialog::buildGeneral()
{
    auto* page = new QWidget;
    page->setObjectName("General");
    auto* grid = new QGridLayout(page);
    auto label = [&](const QString& text, int row, QWidget* buddy) {
        auto* l = new QLabel(text, page);
        l->setBuddy(buddy);
        grid->addWidget(l, row, 0);
    };
    m_name = new QLineEdit(page);
    m_name->setObjectName("txtName");
    m_name->setReadOnly(true);
    grid->addWidget(m_name, 0, 0, 1, kGridColumns);

    m_size = new QLineEdit(page);
    m_size->setObjectName("txtSize");
    m_size->setReadOnly(true);
    label(QStringLiteral("Size:"), 1, m_size);
    grid->addWidget(m_size, 1, 1, 1, kGridColumns - 1);
    m_fileDate = new QLineEdit(page);
    m_fileDate->setObjectName("txtFileDate");
    m_fileDate->setReadOnly(true);
    label(QStringLiteral("File date:"), 2, m_fileDate);
    grid->addWidget(m_fileDate, 2, 1, 1, kGridColumns - 1);

    // The boxes go in the order the list shows dates in, each under its caption, in columns 1, 3
    // and 5 of the grid with the separators between; boxes[] stays month, day, year.
    const DateOrder order = dateOrder(QLocale::system().dateFormat(QLocale::ShortFormat));
    const char* const parts[] = { "Month", "Day", "Year" };
    for (int k = 0; k < 3; ++k) {
        const QString part = QString::fromLatin1(parts[order.parts[size_t(k)]]);
        auto* name = new QLabel(part, page);
        name->setObjectName(QStringLiteral("lbl") + part);
        grid->addWidget(name, 3, 1 + 2 * k, Qt::AlignLeft | Qt::AlignBottom);
    }
    auto dateRow = [&](const QString& caption, int row, const char* stem, std::array<QLineEdit*, 3>& boxes,
                       std::array<PropertyField, 3> fields) {
        for (int k = 0; k < 3; ++k) {
            const int i = order.parts[size_t(k)];
            const QByteArray name = QByteArray(stem) + parts[i];
            boxes[size_t(i)] = numberBox(name.constData(), i == 2 ? 4 : 2, fields[size_t(i)]);
            boxes[size_t(i)]->setToolTip(QString::fromLatin1(parts[i]));
            if (k > 0)
                grid->addWidget(new QLabel(order.separator, page), row, 2 * k);
            grid->addWidget(boxes[size_t(i)], row, 1 + 2 * k);
        }
        label(caption, row, boxes[size_t(order.parts[0])]);
    };
    dateRow(QStringLiteral("Upload date:"), 4, "txtUpload", m_upload,
        { PropertyField::UploadMonth, PropertyField::UploadDay, PropertyField::UploadYear });
    dateRow(QStringLiteral("Last download:"), 5, "txtLastDownload", m_lastDownload,
        { PropertyField::LastDownloadMonth, PropertyField::LastDownloadDay, PropertyField::LastDownloadYear });

    auto countRow = [&](const QString& caption, int row, const char* box, const char* spinner, PropertyField field,
                        QLineEdit*& into, StepButtons*& steps) {
        into = numberBox(box, 5, field);
        steps = new StepButtons(into, 0, kCountMax, page);
        steps->setObjectName(spinner);
        auto* line = new QHBoxLayout;
        line->setSpacing(0);
        line->addWidget(into);
        line->addWidget(steps);
        line->addStretch(1);
        label(caption, row, into);
        grid->addLayout(line, row, 1, 1, kGridColumns - 1);
    };
    countRow(QStringLiteral("Downloads:"), 6, "txtDownloads", "spnDownloads", PropertyField::Downloads, m_downloads,
        m_downloadSteps);
    countRow(QStringLiteral("Cost:"), 7, "txtCost", "spnCost", PropertyField::Cost, m_cost, m_costSteps);

    m_uploader = new QLineEdit(page);
    m_uploader->setObjectName("txtUploader");
    m_uploader->setMaxLength(int(HeaderRecord::kUploaderWidth));
    fitCharacters(m_uploader, QString(int(HeaderRecord::kUploaderWidth), QLatin1Char('n')));
    label(QStringLiteral("Uploader:"), 8, m_uploader);
    grid->addWidget(m_uploader, 8, 1, 1, kGridColumns - 1);

    auto* attributes = new QGridLayout;
    for (int bit = 0; bit < 7; ++bit) {
        auto* box = new QCheckBox(QString::fromLatin1(kAttributeCaptions[bit]), page);
        box->setObjectName(QStringLiteral("chkAttribute%1").arg(bit));
        attributes->addWidget(box, bit % 4, bit / 4);
        m_attributes[size_t(bit)] = box;
    }
    auto* attributesLabel = new QLabel(QStringLiteral("Attributes:"), page);
    grid->addWidget(attributesLabel, 9, 0, Qt::AlignTop);
    grid->addLayout(attributes, 9, 1, 1, kGridColumns - 1);
    grid->setColumnStretch(kGridColumns - 1, 1);
    grid->setRowStretch(10, 1);
    return page;
}

QWidget* PropertiesDialog::buildSecurity()
{
    auto* page = new QWidget;
    page->setObjectName("Security");
    auto* layout = new QVBoxLayout(page);
    auto* passwordFrame = new QGroupBox(QStringLiteral("Password"), page);
    auto* passwordGrid = new QGridLayout(passwordFrame);
    m_password = new QLineEdit(passwordFrame);
    m_password->setObjectName("txtPassword");
    m_password->setMaxLength(int(HeaderRecord::kPasswordWidth));
    fitCharacters(m_password, QString(int(HeaderRecord::kPasswordWidth), QLatin1Char('n')));
    auto* passwordLabel = new QLabel(QStringLiteral("Password:"), passwordFrame);
    passwordLabel->setBuddy(m_password);
    passwordGrid->addWidget(passwordLabel, 0, 0);
    passwordGrid->addWidget(m_password, 0, 1);
    passwordGrid->setColumnStretch(2, 1);

    auto* keywordFrame = new QGroupBox(QStringLiteral("Keywords"), page);
    auto* keywordGrid = new QGridLayout(keywordFrame);
    for (int k = 0; k < 5; ++k) {
        auto* box = new QLineEdit(keywordFrame);
        box->setObjectName(QStringLiteral("txtKeyword%1").arg(k + 1));
        box->setMaxLength(int(HeaderRecord::kKeywordWidth));
        fitCharacters(box, QString(int(HeaderRecord::kKeywordWidth), QLatin1Char('n')));
        auto* l = new QLabel(QStringLiteral("Keyword %1:").arg(k + 1), keywordFrame);
        l->setBuddy(box);
        keywordGrid->addWidget(l, k, 0);
        keywordGrid->addWidget(box, k, 1);
        m_keywords[size_t(k)] = box;
        connect(box, &QLineEdit::textChanged, this, [this] { m_keywordsChanged = true; });
    }
    keywordGrid->setColumnStretch(2, 1);
    layout->addWidget(passwordFrame);
    layout->addWidget(keywordFrame);
    layout->addStretch(1);
    return page;
}

QWidget* PropertiesDialog::buildDescription(const QFont& font)
{
    auto* page = new QWidget;
    page->setObjectName("Description");
    auto* layout = new QVBoxLayout(page);
    m_description = new QPlainTextEdit(page);
    m_description->setObjectName("txtDescription");
    m_description->setFont(font);
    m_description->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_description->setTabChangesFocus(true);
    // Room for the ruler's 45 characters beside the vertical scroll bar.
    const int text = QFontMetrics(font).horizontalAdvance(ruler());
    const int margins = 2 * (m_description->frameWidth() + int(m_description->document()->documentMargin()) + 2);
    m_description->setFixedWidth(text + margins + m_description->verticalScrollBar()->sizeHint().width());
    m_description->setMinimumHeight(QFontMetrics(font).lineSpacing() * 14);
    layout->addWidget(m_description);
    return page;
}

void PropertiesDialog::load(const EntryFields& f)
{
    m_keywordsChanged = false;
    m_name->setText(f.name);
    m_size->setText(QString::number(f.size));
    const auto fileDate = enc::decodeDate(f.fileDate);
    const QDate date = fileDate ? QDate(fileDate->year, fileDate->month, fileDate->day) : QDate();
    m_fileDate->setText(
        date.isValid() ? QLocale::system().toString(date, QLocale::LongFormat) : QStringLiteral("Invalid"));
    auto setDate = [](std::array<QLineEdit*, 3>& boxes, const DateBoxes& d) {
        boxes[0]->setText(twoDigits(d.month));
        boxes[1]->setText(twoDigits(d.day));
        boxes[2]->setText(QString::number(d.year));
    };
    setDate(m_upload, f.uploadDate);
    setDate(m_lastDownload, f.lastDownload);
    m_downloads->setText(QString::number(f.downloads));
    m_cost->setText(QString::number(f.cost));
    m_uploader->setText(f.uploader);
    for (int bit = 0; bit < 7; ++bit)
        m_attributes[size_t(bit)]->setChecked(f.attributes >> bit & 1);
    m_password->setText(f.password);
    for (size_t k = 0; k < m_keywords.size(); ++k)
        m_keywords[k]->setText(f.keywords[k]);
    m_description->setPlainText(f.description);

    // Any change after loading enables Apply.
    for (QLineEdit* box : findChildren<QLineEdit*>())
        if (!box->isReadOnly())
            connect(box, &QLineEdit::textChanged, this, &PropertiesDialog::fieldChanged);
    for (QCheckBox* box : m_attributes)
        connect(box, &QCheckBox::toggled, this, &PropertiesDialog::fieldChanged);
    connect(m_description, &QPlainTextEdit::textChanged, this, &PropertiesDialog::fieldChanged);
    m_apply->setEnabled(false);
    remember();
}

void PropertiesDialog::remember()
{
    m_loaded = shown();
    for (auto it = m_rangeChecked.cbegin(); it != m_rangeChecked.cend(); ++it)
        m_loadedTexts.insert(it.key(), static_cast<QLineEdit*>(it.key())->text());
}

void PropertiesDialog::fieldChanged()
{
    m_apply->setEnabled(true);
}

void PropertiesDialog::showPage(Page page)
{
    m_tabs->setCurrentIndex(int(page));
    if (page == Page::Description)
        m_description->setFocus(Qt::OtherFocusReason);
}

PropertyChanges PropertiesDialog::shown() const
{
    PropertyChanges c;
    c.description = m_description->toPlainText();
    if (m_comment)
        return c;
    c.uploader = m_uploader->text();
    c.uploadDate = DateBoxes { numberIn(m_upload[0]), numberIn(m_upload[1]), numberIn(m_upload[2]) };
    c.lastDownload
        = DateBoxes { numberIn(m_lastDownload[0]), numberIn(m_lastDownload[1]), numberIn(m_lastDownload[2]) };
    c.downloads = numberIn(m_downloads);
    c.cost = numberIn(m_cost);
    uint8_t bits = 0;
    for (int bit = 0; bit < 7; ++bit)
        if (m_attributes[size_t(bit)]->isChecked())
            bits |= uint8_t(1 << bit);
    c.attributes = bits;
    c.password = m_password->text();
    std::array<QString, 5> keywords;
    for (size_t k = 0; k < keywords.size(); ++k)
        keywords[k] = m_keywords[k]->text();
    c.keywords = keywords;
    return c;
}

PropertyChanges PropertiesDialog::changes() const
{
    // Only what the user changed: an untouched field keeps its stored bytes, even a value the
    // boxes would refuse (a download count above 64000) or a zero byte an edit would not keep.
    PropertyChanges c = shown();
    auto keep = [](auto& now, const auto& loaded) {
        if (now == loaded)
            now.reset();
    };
    keep(c.description, m_loaded.description);
    keep(c.uploader, m_loaded.uploader);
    keep(c.uploadDate, m_loaded.uploadDate);
    keep(c.lastDownload, m_loaded.lastDownload);
    keep(c.downloads, m_loaded.downloads);
    keep(c.cost, m_loaded.cost);
    keep(c.attributes, m_loaded.attributes);
    keep(c.password, m_loaded.password);
    if (!m_keywordsChanged)
        c.keywords.reset();
    for (std::optional<QString>* text : { &c.description, &c.uploader, &c.password })
        if (*text)
            (*text)->remove(QChar(0));
    if (c.keywords)
        for (QString& k : *c.keywords)
            k.remove(QChar(0));
    return c;
}

bool PropertiesDialog::apply()
{
    m_apply->setEnabled(false);
    const PropertiesResult result = m_applier(changes());
    switch (result.outcome) {
    case PropertiesResult::Outcome::Written:
        m_keywordsChanged = false;
        remember();
        emit applied(result);
        return true;
    case PropertiesResult::Outcome::NothingToWrite:
        return true;
    case PropertiesResult::Outcome::Refused:
        refuse(result.field, result.message);
        break;
    case PropertiesResult::Outcome::Failed:
        m_dialogs.message(this, QStringLiteral("Quorvex"), result.message, Dialogs::Icon::Warning);
        // The entry is no longer what the dialog shows: it closes, and the list is read again.
        if (result.rowsChanged) {
            reject();
            return false;
        }
        break;
    }
    // Nothing was written: the change still waits to be applied.
    m_apply->setEnabled(true);
    return false;
}

void PropertiesDialog::refuse(PropertyField field, const QString& message)
{
    QWidget* target = nullptr;
    for (auto it = m_rangeChecked.cbegin(); it != m_rangeChecked.cend(); ++it)
        if (it.value() == field)
            target = static_cast<QWidget*>(it.key());
    if (field == PropertyField::Uploader)
        target = m_uploader;
    else if (field == PropertyField::Password)
        target = m_password;
    else if (field >= PropertyField::Keyword1 && field <= PropertyField::Keyword5)
        target = m_keywords[size_t(int(field) - int(PropertyField::Keyword1))];
    else if (field == PropertyField::Description)
        target = m_description;
    if (target) {
        const int page = target == m_description                                                                    ? 2
            : (target == m_password || m_keywords.end() != std::find(m_keywords.begin(), m_keywords.end(), target)) ? 1
                                                                                                                    : 0;
        m_tabs->setCurrentIndex(page);
    }
    m_dialogs.message(this, messages::rangeErrorTitle(), message, Dialogs::Icon::Exclamation);
    if (target)
        target->setFocus(Qt::OtherFocusReason);
}

bool PropertiesDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut && m_rangeChecked.contains(watched)) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        auto* box = static_cast<QLineEdit*>(watched);
        // Leaving the window (for the message box itself, say) is not leaving the box; OK and
        // Apply check every box themselves, and Cancel keeps nothing.
        const QWidget* next = QApplication::focusWidget();
        const bool button = next == m_ok || next == m_apply || next == m_cancel;
        // A value nobody changed is not checked: it stays as stored.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && !button
            && !box->text().trimmed().isEmpty() && box->text() != m_loadedTexts.value(watched)) {
            const QString problem = EntryProperties::rangeProblem(m_rangeChecked.value(watched), numberIn(box));
            if (!problem.isEmpty()) {
                m_dialogs.message(this, messages::rangeErrorTitle(), problem, Dialogs::Icon::Exclamation);
                QTimer::singleShot(0, box, [box] { box->setFocus(Qt::OtherFocusReason); });
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace qv
